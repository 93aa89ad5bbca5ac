// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes for the PCX decoder, read through a device as the picture
// loader reads a file (here a QBuffer). It must refuse what it cannot read, never read
// beyond the data, and make only images its header describes.

#include <cstddef>
#include <cstdint>

#include <QBuffer>
#include <QImage>
#include <QImageReader>

#include "pcxhandler.h"

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Small pictures only: the limit, not the fuzzer's memory, refuses large ones.
    QImageReader::setAllocationLimit(64);
    // Qt warns of every picture it refuses; the fuzzer's own output is what counts.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // A copy that ends exactly where the input does, so a look past the end is caught.
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    talvence::PcxHandler handler;
    handler.setDevice(&buffer);
    const QSize announced = handler.option(QImageIOHandler::Size).toSize();
    check(buffer.pos() == 0);
    QImage image;
    if (!handler.read(&image))
        return 0;
    check(image.size() == announced);
    check(size >= 128 && announced.width() <= 65536 && announced.height() <= 65536);
    if (image.format() == QImage::Format_Indexed8) {
        const int colours = image.colorCount();
        for (int y = 0; y < image.height(); ++y) {
            const uchar *line = image.constScanLine(y);
            for (int x = 0; x < image.width(); ++x)
                check(line[x] < colours);
        }
    }
    return 0;
}
