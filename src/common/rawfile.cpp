// SPDX-License-Identifier: GPL-3.0-or-later
#include "rawfile.h"

#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace talvence {

namespace {

// Reads until end of file into `data` from `filled` on, growing it up to
// cap + 1 bytes; the extra byte tells a file that grew past the cap.
bool read_all(int fd, QByteArray &data, qsizetype filled, qint64 cap, int *error)
{
    for (;;) {
        if (filled == data.size()) {
            if (data.size() > cap) {
                *error = EFBIG;
                return false;
            }
            const qint64 grown = qMin<qint64>(cap + 1, qMax<qint64>(data.size() * 2, 64 * 1024));
            data.resize(qsizetype(grown));
        }
        const ssize_t n = ::read(fd, data.data() + filled, std::size_t(data.size() - filled));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *error = errno;
            return false;
        }
        if (n == 0)
            break;
        filled += n;
    }
    if (filled > cap) {
        *error = EFBIG;
        return false;
    }
    data.truncate(filled);
    return true;
}

} // namespace

void Descriptor::reset()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

Result<RegularFile> open_regular_file(const QByteArray &path)
{
    if (path.isEmpty())
        return Result<RegularFile>::failure(ENOENT);
    if (path.contains('\0'))
        return Result<RegularFile>::failure(EINVAL);
    Descriptor fd(::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd.valid())
        return Result<RegularFile>::failure(errno);
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        return Result<RegularFile>::failure(errno);
    if (S_ISDIR(st.st_mode))
        return Result<RegularFile>::failure(EISDIR);
    if (!S_ISREG(st.st_mode))
        return Result<RegularFile>::failure(EINVAL);
    return RegularFile{std::move(fd), qint64(st.st_size)};
}

Result<QByteArray> read_raw_file(const QByteArray &path, qint64 cap)
{
    using Bytes = Result<QByteArray>;
    Result<RegularFile> file = open_regular_file(path);
    if (!file)
        return Bytes::failure(file.error());
    const Descriptor &fd = file->fd;
    if (file->size > cap)
        return Bytes::failure(EFBIG);

    // One allocation of the size the file says it has; files that report
    // no size (some kernel files) or change while read still come out whole.
    int err = 0;
    QByteArray data;
    try {
        data.resize(qsizetype(file->size) + 1);
        if (!read_all(fd.get(), data, 0, cap, &err))
            return Bytes::failure(err);
    } catch (const std::bad_alloc &) {
        return Bytes::failure(ENOMEM);
    }
    return data;
}

} // namespace talvence
