// The files a command reads and writes.
#include "tools/kestro/files.h"

#include <QBuffer>
#include <QFile>
#include <QSaveFile>
#include <QString>

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kestro::cli {

namespace {

std::string reasonOf(int error) {
    return std::strerror(error);
}

} // namespace

bool isStandardStream(const std::string& path) {
    return path.empty() || path == "-";
}

bool isDevice(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

bool writeOutput(const std::string& path, const QByteArray& bytes, std::string* error) {
    if (isStandardStream(path)) {
        const size_t size = static_cast<size_t>(bytes.size());
        errno = 0;
        if (std::fwrite(bytes.constData(), 1, size, stdout) != size) {
            *error = "cannot write the standard output: " + reasonOf(errno ? errno : EIO);
            return false;
        }
        return finishStandardOutput(error);
    }
    // A device or a pipe is written to as it is: replacing it by a rename would be wrong.
    if (isDevice(path)) {
        QFile device(QString::fromStdString(path));
        if (!device.open(QIODevice::WriteOnly) || device.write(bytes) != bytes.size() ||
            !device.flush()) {
            *error = "cannot write " + path + ": " + device.errorString().toStdString();
            return false;
        }
        return true;
    }
    QSaveFile file(QString::fromStdString(path));
    errno = 0;
    const bool written = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    if (!written || !file.commit()) {
        // The system's reason is the useful one; Qt does not always keep it.
        const int code = errno;
        const std::string reason = code ? reasonOf(code) : file.errorString().toStdString();
        file.cancelWriting();
        *error = "cannot write " + path + ": " + reason;
        return false;
    }
    return true;
}

bool checkInput(const std::string& path, std::string* error) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        *error = "cannot read " + path + ": " + reasonOf(errno);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        *error = "cannot read " + path + ": it is a folder, not a file";
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        *error = "cannot read " + path + ": " + reasonOf(errno);
        return false;
    }
    std::fclose(file);
    return true;
}

bool readInput(const std::string& path, QByteArray* bytes, std::string* error) {
    if (!checkInput(path, error)) {
        return false;
    }
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        *error = "cannot read " + path + ": " + file.errorString().toStdString();
        return false;
    }
    *bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = "cannot read " + path + ": " + file.errorString().toStdString();
        return false;
    }
    return true;
}

bool checkNotAnInput(const std::string& output, const std::vector<std::string>& inputs,
                     std::string* error) {
    struct stat out {};
    if (isStandardStream(output) || ::stat(output.c_str(), &out) != 0 || !S_ISREG(out.st_mode)) {
        return true;
    }
    for (const std::string& input : inputs) {
        struct stat in {};
        if (!isStandardStream(input) && ::stat(input.c_str(), &in) == 0 &&
            in.st_dev == out.st_dev && in.st_ino == out.st_ino) {
            *error = "the output " + output + " is the input " + input +
                     "; it would be overwritten (write to another file)";
            return false;
        }
    }
    return true;
}

QByteArray pngBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    return image.save(&buffer, "PNG") ? bytes : QByteArray();
}

bool finishStandardOutput(std::string* error) {
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        *error = "cannot write the standard output: " + reasonOf(errno ? errno : EIO);
        return false;
    }
    return true;
}

} // namespace kestro::cli
