// kvimgdiff EXPECTED.png ACTUAL.png [--tolerance N] [--max-differing N] [--diff OUT.png]
// Exit 0 when the pictures match, 1 when they differ, 2 on wrong usage or an unreadable picture.
#include "tools/kvimgdiff/imagediff.h"

#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char* const kUsage =
    "usage: kvimgdiff EXPECTED.png ACTUAL.png [--tolerance N] [--max-differing N] "
    "[--diff OUT.png]\n";

bool parseCount(const char* text, int* out) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 0 || value > 1000000000) {
        return false;
    }
    *out = static_cast<int>(value);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const char* files[2] = {nullptr, nullptr};
    int fileCount = 0;
    int tolerance = 0;
    int maxDiffering = 0;
    const char* diffPath = nullptr;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--tolerance") == 0 && hasValue) {
            if (!parseCount(argv[++i], &tolerance)) {
                std::fputs(kUsage, stderr);
                return 2;
            }
        } else if (std::strcmp(argv[i], "--max-differing") == 0 && hasValue) {
            if (!parseCount(argv[++i], &maxDiffering)) {
                std::fputs(kUsage, stderr);
                return 2;
            }
        } else if (std::strcmp(argv[i], "--diff") == 0 && hasValue) {
            diffPath = argv[++i];
        } else if (argv[i][0] != '-' && fileCount < 2) {
            files[fileCount++] = argv[i];
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    if (fileCount != 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    QImage images[2];
    for (int i = 0; i < 2; ++i) {
        if (!images[i].load(QString::fromLocal8Bit(files[i]))) {
            std::fprintf(stderr, "kvimgdiff: cannot read %s\n", files[i]);
            return 2;
        }
    }
    const kestro::ImageDiff diff = kestro::compareImages(images[0], images[1], tolerance);
    if (!diff.sameSize) {
        std::printf("%s is %dx%d, %s is %dx%d\n", files[0], images[0].width(), images[0].height(),
                    files[1], images[1].width(), images[1].height());
        return 1;
    }
    if (diffPath && diff.differing > 0 && !diff.marked.save(QString::fromLocal8Bit(diffPath))) {
        std::fprintf(stderr, "kvimgdiff: cannot write %s\n", diffPath);
    }
    if (diff.differing > maxDiffering) {
        std::printf("%d pixels differ by more than %d (largest difference %d, first at %d,%d)\n",
                    diff.differing, tolerance, diff.largestDelta, diff.first.x(), diff.first.y());
        return 1;
    }
    std::printf("match: %d pixels differ by more than %d, largest difference %d\n", diff.differing,
                tolerance, diff.largestDelta);
    return 0;
}
