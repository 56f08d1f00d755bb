// The built kestro run as a process, and the JSON lines its run command prints.
#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <vector>

namespace kvtest {

inline QString sourcePath(const QString& relative) {
    return QString::fromLocal8Bit(qgetenv("KV_SOURCE_DIR")) + "/" + relative;
}

inline QString kestroProgram() {
    return QString::fromLocal8Bit(qgetenv("KV_BINARY_DIR")) + "/bin/kestro";
}

struct KestroResult {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

//! smallFiles: a file of the process holds at most 512 bytes, so a longer write fails midway.
inline KestroResult runKestro(const QStringList& args, const QString& workDir = QString(),
                              const QString& stdoutFile = QString(), bool smallFiles = false) {
    QProcess process;
    process.setWorkingDirectory(workDir);
    if (!stdoutFile.isEmpty()) {
        process.setStandardOutputFile(stdoutFile);
    }
    if (smallFiles) {
        const QString limited = "trap '' XFSZ; ulimit -f 1; exec \"$0\" \"$@\"";
        process.start("/bin/sh", QStringList{"-c", limited, kestroProgram()} + args);
    } else {
        process.start(kestroProgram(), args);
    }
    KestroResult result;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "kestro " << args.join(' ').toStdString() << " did not finish";
        return result;
    }
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

inline std::vector<QJsonObject> jsonLines(const QByteArray& out) {
    std::vector<QJsonObject> lines;
    for (const QByteArray& line : out.split('\n')) {
        if (!line.isEmpty()) {
            lines.push_back(QJsonDocument::fromJson(line).object());
        }
    }
    return lines;
}

} // namespace kvtest
