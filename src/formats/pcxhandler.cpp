// SPDX-License-Identifier: GPL-3.0-or-later
#include "pcxhandler.h"

#include <algorithm>
#include <optional>

#include <QIODevice>
#include <QImage>
#include <QVariant>

namespace talvence {

namespace {

constexpr int header_size = 128;
constexpr int vga_palette_size = 769; // 0x0C, then 256 RGB triples

struct Header {
    int version;
    int encoding;
    int bits; // per pixel and plane
    int planes;
    int bytes_per_line; // of each plane
    int width;
    int height;
    const unsigned char *palette; // 16 RGB triples
};

int word(const unsigned char *p)
{
    return p[0] | p[1] << 8;
}

bool plausible_start(const unsigned char *p)
{
    return p[0] == 0x0A && (p[1] == 0 || (p[1] >= 2 && p[1] <= 5)) && p[2] <= 1 &&
           (p[3] == 1 || p[3] == 2 || p[3] == 4 || p[3] == 8);
}

// The header, when it describes a picture this decoder can show and whose
// scanlines hold all of its pixels.
std::optional<Header> parse_header(const unsigned char *p)
{
    if (!plausible_start(p))
        return std::nullopt;
    Header h;
    h.version = p[1];
    h.encoding = p[2];
    h.bits = p[3];
    const int xmin = word(p + 4), ymin = word(p + 6), xmax = word(p + 8), ymax = word(p + 10);
    h.planes = p[65];
    h.bytes_per_line = word(p + 66);
    h.palette = p + 16;
    if (xmax < xmin || ymax < ymin)
        return std::nullopt;
    // The window need not start at 0,0; only its size matters here.
    h.width = xmax - xmin + 1;
    h.height = ymax - ymin + 1;
    const bool known = (h.bits == 1 && h.planes >= 1 && h.planes <= 4) ||
                       ((h.bits == 2 || h.bits == 4) && h.planes == 1) ||
                       (h.bits == 8 && (h.planes == 1 || h.planes == 3 || h.planes == 4));
    if (!known)
        return std::nullopt;
    // Odd lengths occur in real files and are fine; lines too short for the
    // width are not.
    if (qint64(h.bytes_per_line) * 8 < qint64(h.width) * h.bits)
        return std::nullopt;
    return h;
}

QImage::Format format_of(const Header &h)
{
    if (h.bits == 8 && h.planes == 3)
        return QImage::Format_RGB32;
    if (h.bits == 8 && h.planes == 4)
        return QImage::Format_ARGB32;
    return QImage::Format_Indexed8;
}

// Yields the decoded bytes of the image data, run after run; a run may go
// on into the next line, as some writers let it. Reads the device a block
// at a time, and never more than `size` bytes of it.
class Runs {
public:
    Runs(QIODevice *device, qint64 size, bool encoded)
        : device_(device), left_(size), encoded_(encoded)
    {
    }
    // Fills `line` completely, or returns false when the data ends first.
    bool fill(unsigned char *line, qsizetype size)
    {
        qsizetype filled = 0;
        while (filled < size) {
            if (count_ == 0) {
                int b = next();
                if (b < 0)
                    return false;
                if (encoded_ && (b & 0xC0) == 0xC0) {
                    count_ = b & 0x3F;
                    b = next();
                    if (b < 0)
                        return false;
                    value_ = uchar(b);
                } else {
                    count_ = 1;
                    value_ = uchar(b);
                }
                continue;
            }
            const qsizetype n = std::min<qsizetype>(count_, size - filled);
            std::fill_n(line + filled, n, value_);
            filled += n;
            count_ -= int(n);
        }
        return true;
    }

private:
    // The next byte of the data, or -1 at its end.
    int next()
    {
        if (at_ == block_.size()) {
            const qint64 want = std::min<qint64>(left_, 64 * 1024);
            block_ = want > 0 ? device_->read(want) : QByteArray();
            left_ -= block_.size();
            at_ = 0;
            if (block_.isEmpty())
                return -1;
        }
        return static_cast<unsigned char>(block_[at_++]);
    }

    QIODevice *device_;
    qint64 left_;
    bool encoded_;
    QByteArray block_;
    qsizetype at_ = 0;
    int count_ = 0;
    unsigned char value_ = 0;
};

QList<QRgb> ega_default_palette()
{
    return {0xFF000000, 0xFF0000AA, 0xFF00AA00, 0xFF00AAAA, 0xFFAA0000, 0xFFAA00AA,
            0xFFAA5500, 0xFFAAAAAA, 0xFF555555, 0xFF5555FF, 0xFF55FF55, 0xFF55FFFF,
            0xFFFF5555, 0xFFFF55FF, 0xFFFFFF55, 0xFFFFFFFF};
}

// `tail` holds the last vga_palette_size bytes of the data (fewer when the
// data is shorter), where an 8-bit picture keeps its palette.
QList<QRgb> colour_table(const Header &h, const QByteArray &tail, qint64 *pixel_bytes)
{
    const int colours = 1 << (h.bits * h.planes);
    QList<QRgb> table;
    if (h.bits == 8) {
        const auto *d = reinterpret_cast<const unsigned char *>(tail.constData());
        if (tail.size() == vga_palette_size && d[0] == 0x0C) {
            const unsigned char *pal = d + 1;
            for (int i = 0; i < 256; ++i)
                table.append(qRgb(pal[3 * i], pal[3 * i + 1], pal[3 * i + 2]));
            *pixel_bytes -= vga_palette_size;
        } else {
            for (int i = 0; i < 256; ++i)
                table.append(qRgb(i, i, i)); // no palette: a grey picture
        }
        return table;
    }
    if (colours == 2) {
        return {0xFF000000, 0xFFFFFFFF};
    }
    // Versions 0 and 3 carry no palette, and some writers leave it empty:
    // the display's default colours then.
    const bool empty =
        std::all_of(h.palette, h.palette + 48, [](unsigned char c) { return c == 0; });
    if (h.version == 0 || h.version == 3 || empty) {
        if (colours == 4)
            return {0xFF000000, 0xFF55FFFF, 0xFFFF55FF, 0xFFFFFFFF};
        table = ega_default_palette();
    } else {
        for (int i = 0; i < 16; ++i)
            table.append(qRgb(h.palette[3 * i], h.palette[3 * i + 1], h.palette[3 * i + 2]));
    }
    table.resize(colours);
    return table;
}

} // namespace

bool PcxHandler::canRead(QIODevice *device)
{
    if (!device)
        return false;
    const QByteArray head = device->peek(4);
    return head.size() == 4 &&
           plausible_start(reinterpret_cast<const unsigned char *>(head.data()));
}

bool PcxHandler::canRead() const
{
    if (!canRead(device()))
        return false;
    setFormat("pcx");
    return true;
}

bool PcxHandler::read(QImage *image)
{
    QIODevice *dev = device();
    if (!dev)
        return false;
    const QByteArray head = dev->read(header_size);
    if (head.size() != header_size)
        return false;
    const std::optional<Header> h =
        parse_header(reinterpret_cast<const unsigned char *>(head.constData()));
    if (!h)
        return false;
    // The data is read as it is decoded, not held whole beside the picture.
    const qint64 start = dev->pos();
    qint64 pixel_bytes = dev->isSequential() ? dev->bytesAvailable() : dev->size() - start;
    const QImage::Format format = format_of(*h);
    QList<QRgb> colours;
    if (format == QImage::Format_Indexed8) {
        QByteArray tail;
        if (h->bits == 8 && pixel_bytes >= vga_palette_size && !dev->isSequential() &&
            dev->seek(start + pixel_bytes - vga_palette_size)) {
            tail = dev->read(vga_palette_size);
            if (!dev->seek(start))
                return false;
        }
        colours = colour_table(*h, tail, &pixel_bytes);
    }
    // The data must be able to hold the picture before the picture is
    // allocated: a run gives at most 63 bytes for its two.
    const qint64 needed = qint64(h->bytes_per_line) * h->planes * h->height;
    if ((h->encoding == 1 ? pixel_bytes / 2 * 63 + pixel_bytes % 2 : pixel_bytes) < needed)
        return false;

    QImage out;
    if (!QImageIOHandler::allocateImage(QSize(h->width, h->height), format, &out))
        return false;
    if (format == QImage::Format_Indexed8)
        out.setColorTable(colours);

    const qsizetype bpl = h->bytes_per_line;
    QByteArray buffer(bpl * h->planes, Qt::Uninitialized);
    auto *line = reinterpret_cast<unsigned char *>(buffer.data());
    Runs runs(dev, pixel_bytes, h->encoding == 1);
    for (int y = 0; y < h->height; ++y) {
        if (!runs.fill(line, buffer.size()))
            return false; // truncated: the picture is not all there
        uchar *row = out.scanLine(y);
        if (format == QImage::Format_RGB32 || format == QImage::Format_ARGB32) {
            auto *px = reinterpret_cast<QRgb *>(row);
            const unsigned char *r = line, *g = line + bpl, *b = line + 2 * bpl;
            const unsigned char *a = h->planes == 4 ? line + 3 * bpl : nullptr;
            for (int x = 0; x < h->width; ++x)
                px[x] = qRgba(r[x], g[x], b[x], a ? a[x] : 255);
        } else if (h->planes == 1) {
            // Packed pixels, the leftmost in the highest bits of a byte.
            const int bits = h->bits;
            const int per_byte = 8 / bits;
            const int mask = (1 << bits) - 1;
            for (int x = 0; x < h->width; ++x) {
                const int shift = 8 - bits * (x % per_byte + 1);
                row[x] = uchar((line[x / per_byte] >> shift) & mask);
            }
        } else {
            // Planes of one bit each, plane 0 giving the lowest bit of the index.
            for (int x = 0; x < h->width; ++x) {
                const int bit = 7 - (x & 7);
                int index = 0;
                for (int p = 0; p < h->planes; ++p)
                    index |= ((line[p * bpl + (x >> 3)] >> bit) & 1) << p;
                row[x] = uchar(index);
            }
        }
    }
    *image = std::move(out);
    return true;
}

QVariant PcxHandler::option(ImageOption option) const
{
    if (!device() || (option != Size && option != ImageFormat))
        return {};
    const QByteArray head = device()->peek(header_size);
    if (head.size() != header_size)
        return {};
    const std::optional<Header> h =
        parse_header(reinterpret_cast<const unsigned char *>(head.constData()));
    if (!h)
        return {};
    if (option == Size)
        return QSize(h->width, h->height);
    return format_of(*h);
}

bool PcxHandler::supportsOption(ImageOption option) const
{
    return option == Size || option == ImageFormat;
}

} // namespace talvence
