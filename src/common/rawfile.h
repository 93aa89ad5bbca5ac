// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Opening and reading a file by its raw path. A path is bytes, like the names
// in it: it goes to open() exactly as the folder listing produced it, so a
// name that is not UTF-8 opens the file it names.

#include <QByteArray>

#include "result.h"

namespace talvence {

// An open file descriptor, closed when it goes.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(Descriptor &&other) noexcept : fd_(other.release()) {}
    Descriptor &operator=(Descriptor &&other) noexcept
    {
        if (this != &other) {
            reset();
            fd_ = other.release();
        }
        return *this;
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Hands the descriptor over to whoever closes it from now on.
    int release()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset();

private:
    int fd_ = -1;
};

struct RegularFile {
    Descriptor fd;
    qint64 size = 0;
};

// The regular file at `path`, opened for reading. Non-blocking, so that a
// FIFO handed over by mistake cannot hang the window, and refused: EISDIR
// for a folder, EINVAL for anything else that is not a regular file (a FIFO,
// a device), ENOENT for an empty path and EINVAL for one that holds a NUL,
// which would cut it short and open some other file.
Result<RegularFile> open_regular_file(const QByteArray &path);

// The whole content of the regular file at `path`, or the errno value of
// why not: those of open_regular_file, EFBIG when the file holds more than
// `cap` bytes, ENOMEM when the memory for it cannot be had.
Result<QByteArray> read_raw_file(const QByteArray &path, qint64 cap);

} // namespace talvence
