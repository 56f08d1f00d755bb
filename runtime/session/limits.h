// What a session and the tools that drive it accept, in one place, so that every refusal can
// say the limit it applies. Each bounds work or memory that would otherwise grow with a number
// the user typed: the virtual time of one step, the refresh rate, the pixels of a picture.
#pragma once

#include <QSize>

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestro::limits {

//! The most virtual time one step may cover (`advance`, `--at`): a week.
constexpr double kMaxStepSeconds = 7 * 24 * 3600.0;
//! The shortest refresh period: a millisecond.
constexpr double kMinRefreshSeconds = 0.001;
//! The longest side of a requested picture (`--size`).
constexpr int kMaxSide = 16384;
//! The most memory one picture of a window may take: 8192 x 8192 at 4 bytes a pixel.
constexpr int64_t kMaxImageBytes = int64_t{256} << 20;

//! The records of each kind the player keeps while it runs (a `run` keeps one event's).
constexpr size_t kPlayerRecords = 1000;

//! Whether a picture of that size may be made; else why not, with the memory it would need.
inline bool imageFits(QSize size, std::string* why) {
    const int64_t bytes = int64_t{size.width()} * size.height() * 4;
    if (bytes <= kMaxImageBytes) {
        return true;
    }
    *why = "a picture of " + std::to_string(size.width()) + "x" + std::to_string(size.height()) +
           " needs " + std::to_string((bytes + (1 << 20) - 1) >> 20) + " MiB, more than the " +
           std::to_string(kMaxImageBytes >> 20) + " MiB allowed";
    return false;
}

} // namespace kestro::limits
