// SPDX-License-Identifier: GPL-3.0-or-later
#include "pictureloader.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include "jpegdecoder.h"
#include "pcxhandler.h"
#include "rawfile.h"

namespace talvence {

namespace {

bool within_bound(QSize size)
{
    return size.isValid() && qint64(size.width()) * size.height() <= max_picture_pixels;
}

} // namespace

std::optional<QImage> decode_picture(QIODevice *device)
{
    // Qt's limit, raised from its 128 MB to the bound, for its readers and
    // the PCX decoder alike (one setting for the whole program).
    if (QImageReader::allocationLimit() != max_picture_mib)
        QImageReader::setAllocationLimit(max_picture_mib);
    QImage image;
    if (PcxHandler::canRead(device)) {
        PcxHandler pcx;
        pcx.setDevice(device);
        if (!within_bound(pcx.option(QImageIOHandler::Size).toSize()) || !pcx.read(&image))
            return std::nullopt;
    } else {
        QImageReader reader(device);
        // Photos stand the way the camera says they were taken.
        reader.setAutoTransform(true);
        // The size from the header, where the format tells it without
        // decoding: beyond the bound, nothing is allocated at all.
        const QSize size = reader.size();
        if (size.isValid() && !within_bound(size))
            return std::nullopt;
        // A JPEG that stands as it is is decoded once, at three bytes a
        // pixel. Qt's reader has read the header; where this fails, it goes
        // on from where it stood.
        if (reader.format() == "jpeg" &&
            reader.transformation() == QImageIOHandler::TransformationNone) {
            const qint64 at = device->pos();
            if (device->seek(0)) {
                if (std::optional<QImage> direct = decode_jpeg(device, max_picture_pixels))
                    return direct;
            }
            device->seek(at);
        }
        image = reader.read();
    }
    if (image.isNull() || !within_bound(image.size()))
        return std::nullopt;
    return image;
}

std::optional<QImage> decode_picture(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return std::nullopt;
    return decode_picture(&buffer);
}

Result<QImage> load_picture(const QByteArray &path)
{
    using Picture = Result<QImage>;
    Result<RegularFile> opened = open_regular_file(path);
    if (!opened)
        return Picture::failure(opened.error());
    if (opened->size > max_picture_file_size)
        return Picture::failure(EFBIG);
    QFile file;
    if (!file.open(opened->fd.get(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return Picture::failure(EIO);
    opened->fd.release();
    std::optional<QImage> picture = decode_picture(&file);
    if (!picture)
        return Picture::failure(0);
    return std::move(*picture);
}

} // namespace talvence
