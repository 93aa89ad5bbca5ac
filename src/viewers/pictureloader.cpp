#include "pictureloader.h"

#include <QBuffer>
#include <QImageReader>

#include "pcxhandler.h"
#include "rawfile.h"

namespace talvence {

std::optional<QImage> decode_picture(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return std::nullopt;
    QImage image;
    if (PcxHandler::canRead(&buffer)) {
        PcxHandler pcx;
        pcx.setDevice(&buffer);
        if (!pcx.read(&image))
            return std::nullopt;
    } else {
        QImageReader reader(&buffer);
        // Photos stand the way the camera says they were taken.
        reader.setAutoTransform(true);
        image = reader.read();
    }
    if (image.isNull())
        return std::nullopt;
    return image;
}

std::optional<QImage> load_picture(const QByteArray &path, int *error)
{
    const std::optional<QByteArray> bytes = read_raw_file(path, max_picture_file_size, error);
    if (!bytes)
        return std::nullopt;
    return decode_picture(*bytes);
}

} // namespace talvence
