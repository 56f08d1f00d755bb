// The files a command reads and writes: an output replaces the old file only once it is
// complete, an output never overwrites one of the command's inputs, and a file that cannot be
// read or written is named with the reason.
#pragma once

#include <QByteArray>
#include <QImage>

#include <string>
#include <vector>

namespace kestro::cli {

//! True when path is "-" or empty: the standard output (or input).
bool isStandardStream(const std::string& path);

//! True when path names an existing device or pipe, which is written to in place.
bool isDevice(const std::string& path);

//! Writes bytes to path through a temporary file in the same folder, renamed into place when
//! every byte is written, so that a failure leaves the old file as it was; to stdout for "-" or
//! "". False with "cannot write PATH: reason" in error.
bool writeOutput(const std::string& path, const QByteArray& bytes, std::string* error);

//! Reads a whole file; false with "cannot read PATH: reason" (a folder, a missing or unreadable
//! file) in error.
bool readInput(const std::string& path, QByteArray* bytes, std::string* error);

//! Checks that path names a readable regular file before a loader opens it; false with the
//! message readInput gives.
bool checkInput(const std::string& path, std::string* error);

//! False with the message when output is the same file as one of inputs (by device and inode,
//! so that other spellings and links of the same file are caught). Standard streams and files
//! that do not exist yet are never the same.
bool checkNotAnInput(const std::string& output, const std::vector<std::string>& inputs,
                     std::string* error);

//! The image encoded as PNG; empty when it cannot be.
QByteArray pngBytes(const QImage& image);

//! Flushes stdout; false with "cannot write the standard output: reason" when any write to it
//! failed.
bool finishStandardOutput(std::string* error);

} // namespace kestro::cli
