// SPDX-License-Identifier: GPL-3.0-or-later
// The PCX decoder over files of every bit layout it reads, written here by a
// small encoder of the test's own (and one byte by byte), and over
// truncated, inconsistent and absurd ones, which must fail and never read
// beyond their bytes.

#include <vector>

#include <QBuffer>
#include <QImageReader>
#include <QtTest>

#include "pcxhandler.h"

using namespace talvence;

namespace {

struct Pcx {
    int version = 5;
    int bits = 8;
    int planes = 1;
    int width = 13;
    int height = 5;
    int xmin = 0;
    int ymin = 0;
    int bytes_per_line = 0; // 0: the least even number that holds a line
    bool rle = true;
    bool runs_cross_lines = false;
    QList<QRgb> header_palette; // up to 16 colours
    QList<QRgb> vga_palette;    // 256 colours after the data, when set
};

} // namespace

Q_DECLARE_METATYPE(Pcx)

namespace {

void put_word(QByteArray &h, int at, int value)
{
    h[at] = char(value & 0xFF);
    h[at + 1] = char((value >> 8) & 0xFF);
}

void put_runs(QByteArray &out, const QByteArray &bytes)
{
    for (qsizetype i = 0; i < bytes.size();) {
        qsizetype n = 1;
        while (i + n < bytes.size() && n < 63 && bytes[i + n] == bytes[i])
            ++n;
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (n > 1 || b >= 0xC0)
            out.append(char(0xC0 | n));
        out.append(char(b));
        i += n;
    }
}

// `pixels` holds a palette index per pixel, or an ARGB value for 24 and 32 bits.
QByteArray encode(const Pcx &p, const std::vector<QRgb> &pixels)
{
    const int bpl = p.bytes_per_line ? p.bytes_per_line : ((p.width * p.bits + 15) / 16) * 2;
    QByteArray h(128, '\0');
    h[0] = 0x0A;
    h[1] = char(p.version);
    h[2] = p.rle ? 1 : 0;
    h[3] = char(p.bits);
    put_word(h, 4, p.xmin);
    put_word(h, 6, p.ymin);
    put_word(h, 8, p.xmin + p.width - 1);
    put_word(h, 10, p.ymin + p.height - 1);
    for (int i = 0; i < p.header_palette.size(); ++i) {
        h[16 + 3 * i] = char(qRed(p.header_palette[i]));
        h[17 + 3 * i] = char(qGreen(p.header_palette[i]));
        h[18 + 3 * i] = char(qBlue(p.header_palette[i]));
    }
    h[65] = char(p.planes);
    put_word(h, 66, bpl);
    put_word(h, 68, 1);

    QByteArray lines;
    for (int y = 0; y < p.height; ++y) {
        QByteArray line(bpl * p.planes, '\0');
        for (int x = 0; x < p.width; ++x) {
            const QRgb v = pixels[std::size_t(y * p.width + x)];
            if (p.bits == 8 && p.planes >= 3) {
                const int channel[4] = {qRed(v), qGreen(v), qBlue(v), qAlpha(v)};
                for (int k = 0; k < p.planes; ++k)
                    line[k * bpl + x] = char(channel[k]);
            } else if (p.planes == 1) {
                const int bit = x * p.bits;
                line[bit / 8] = char(line[bit / 8] | (v << (8 - p.bits - bit % 8)));
            } else {
                for (int k = 0; k < p.planes; ++k) {
                    if ((v >> k) & 1)
                        line[k * bpl + x / 8] = char(line[k * bpl + x / 8] | (0x80 >> (x % 8)));
                }
            }
        }
        if (p.rle && !p.runs_cross_lines)
            put_runs(h, line);
        else
            lines.append(line);
    }
    if (p.rle && p.runs_cross_lines)
        put_runs(h, lines);
    else
        h.append(lines);
    if (!p.vga_palette.isEmpty()) {
        h.append(char(0x0C));
        for (const QRgb c : p.vga_palette) {
            h.append(char(qRed(c)));
            h.append(char(qGreen(c)));
            h.append(char(qBlue(c)));
        }
    }
    return h;
}

std::optional<QImage> decode(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    PcxHandler handler;
    handler.setDevice(&buffer);
    QImage image;
    if (!handler.read(&image))
        return std::nullopt;
    return image;
}

QList<QRgb> some_colours(int n)
{
    QList<QRgb> out;
    for (int i = 0; i < n; ++i)
        out.append(qRgb((i * 37 + 11) % 256, (i * 91 + 5) % 256, (i * 53 + 200) % 256));
    return out;
}

} // namespace

class tst_pcxhandler : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void layouts_data()
    {
        QTest::addColumn<Pcx>("pcx");
        QTest::addColumn<QList<QRgb>>("colours"); // empty: the pixels are colours
        const QList<QRgb> black_white = {qRgb(0, 0, 0), qRgb(255, 255, 255)};
        Pcx mono;
        mono.bits = 1;
        QTest::newRow("1 bit monochrome") << mono << black_white;
        Pcx cga;
        cga.bits = 2;
        cga.header_palette = some_colours(4);
        QTest::newRow("2 bits, 1 plane") << cga << some_colours(4);
        Pcx packed;
        packed.bits = 4;
        packed.header_palette = some_colours(16);
        QTest::newRow("4 bits, 1 plane") << packed << some_colours(16);
        Pcx ega;
        ega.bits = 1;
        ega.planes = 4;
        ega.header_palette = some_colours(16);
        QTest::newRow("EGA: 4 planes of 1 bit") << ega << some_colours(16);
        Pcx eight = ega;
        eight.planes = 3;
        QTest::newRow("3 planes of 1 bit") << eight << some_colours(8);
        Pcx four = ega;
        four.planes = 2;
        QTest::newRow("2 planes of 1 bit") << four << some_colours(4);
        Pcx vga;
        vga.vga_palette = some_colours(256);
        QTest::newRow("8 bits, palette at the end") << vga << some_colours(256);
        Pcx grey;
        QList<QRgb> greys;
        for (int i = 0; i < 256; ++i)
            greys.append(qRgb(i, i, i));
        QTest::newRow("8 bits without a palette: grey") << grey << greys;
        Pcx rgb;
        rgb.planes = 3;
        QTest::newRow("24 bits as three planes") << rgb << QList<QRgb>();
        Pcx rgba;
        rgba.planes = 4;
        QTest::newRow("32 bits as four planes") << rgba << QList<QRgb>();
        Pcx window = vga;
        window.xmin = 100;
        window.ymin = 200;
        QTest::newRow("picture window not at 0,0") << window << some_colours(256);
        Pcx odd = rgb;
        odd.bytes_per_line = 13;
        QTest::newRow("odd bytes per line") << odd << QList<QRgb>();
        Pcx padded = vga;
        padded.bytes_per_line = 40;
        QTest::newRow("lines longer than the width") << padded << some_colours(256);
        Pcx across = rgb;
        across.runs_cross_lines = true;
        across.width = 1;
        across.height = 200;
        QTest::newRow("runs across lines") << across << QList<QRgb>();
        Pcx raw = packed;
        raw.rle = false;
        QTest::newRow("not run-length encoded") << raw << some_colours(16);
        Pcx tall = mono;
        tall.width = 1;
        tall.height = 3000;
        QTest::newRow("one pixel wide") << tall << black_white;
    }
    void layouts()
    {
        QFETCH(Pcx, pcx);
        QFETCH(QList<QRgb>, colours);
        std::vector<QRgb> pixels;
        const int count = pcx.bits == 8 && pcx.planes >= 3 ? 0 : 1 << (pcx.bits * pcx.planes);
        for (int y = 0; y < pcx.height; ++y) {
            for (int x = 0; x < pcx.width; ++x) {
                if (count)
                    pixels.push_back(QRgb((x * 7 + y * 3 + x * y) % count));
                else
                    pixels.push_back(qRgba(x * 13 % 256, y * 29 % 256, (x + y) * 5 % 256,
                                           pcx.planes == 4 ? (x * y * 41) % 256 : 255));
            }
        }
        const QByteArray bytes = encode(pcx, pixels);
        const std::optional<QImage> image = decode(bytes);
        QVERIFY(image);
        QCOMPARE(image->size(), QSize(pcx.width, pcx.height));
        for (int y = 0; y < pcx.height; ++y) {
            for (int x = 0; x < pcx.width; ++x) {
                const QRgb v = pixels[std::size_t(y * pcx.width + x)];
                const QRgb expected = count ? colours[int(v)] : v;
                QCOMPARE(image->pixel(x, y), expected);
            }
        }

        // The same bytes through Qt's reader interface: size before reading.
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        PcxHandler handler;
        handler.setDevice(&buffer);
        QVERIFY(handler.canRead());
        QCOMPARE(handler.option(QImageIOHandler::Size).toSize(), QSize(pcx.width, pcx.height));
        QCOMPARE(buffer.pos(), 0);
    }

    // Written byte by byte, not by the encoder above: plane 0 holds the
    // lowest bit of a colour number, the leftmost pixel is the highest bit,
    // and version 3 files take the EGA colours, having no palette.
    void planes_by_hand()
    {
        QByteArray h(128, '\0');
        h[0] = 0x0A;
        h[1] = 3;  // version 3: no palette
        h[2] = 1;  // run-length encoded
        h[3] = 1;  // one bit per plane
        h[8] = 7;  // Xmax: 8 pixels wide
        h[10] = 1; // Ymax: 2 lines
        h[65] = 4; // four planes
        h[66] = 1; // one byte per plane and line (odd)
        // Line 0: planes 0..3 = FF, 00, F0, 0F -> colours 5 (1+4), then 9 (1+8).
        // Bytes with both top bits set can only be written as runs (C1 FF).
        // Line 1: a run of four 0xC3 -> bits 0 and 1 in pixels 0, 1, 6, 7.
        h.append(QByteArray::fromHex("c1ff"
                                     "00"
                                     "c1f0"
                                     "0f"
                                     "c4c3"));
        const std::optional<QImage> image = decode(h);
        QVERIFY(image);
        const QRgb magenta = qRgb(0xAA, 0x00, 0xAA), light_blue = qRgb(0x55, 0x55, 0xFF),
                   white = qRgb(0xFF, 0xFF, 0xFF), black = qRgb(0, 0, 0);
        for (int x = 0; x < 8; ++x) {
            QCOMPARE(image->pixel(x, 0), x < 4 ? magenta : light_blue);
            QCOMPARE(image->pixel(x, 1), x < 2 || x >= 6 ? white : black);
        }
    }

    void broken_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        Pcx vga;
        vga.vga_palette = some_colours(256);
        const QByteArray good = encode(vga, std::vector<QRgb>(13 * 5, 7));
        QByteArray header = good.left(128);
        auto with = [&header](int at, int value) {
            QByteArray h = header;
            put_word(h, at, value);
            return h + QByteArray(4000, '\0');
        };
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("header cut off") << good.left(100);
        QTest::newRow("header without data") << header;
        QTest::newRow("data cut off") << good.left(130);
        QTest::newRow("count without its value") << header + QByteArray("\xc5", 1);
        QTest::newRow("not PCX") << QByteArray("GIF89a") + QByteArray(200, '\0');
        QTest::newRow("unknown version") << [&] {
            QByteArray h = good;
            h[1] = 1;
            return h;
        }();
        QTest::newRow("3 bits per pixel") << [&] {
            QByteArray h = good;
            h[3] = 3;
            return h;
        }();
        QTest::newRow("8 bits, 2 planes") << [&] {
            QByteArray h = good;
            h[65] = 2;
            return h;
        }();
        QTest::newRow("no planes") << [&] {
            QByteArray h = good;
            h[65] = 0;
            return h;
        }();
        QTest::newRow("lines too short for the width") << with(66, 12);
        QTest::newRow("no bytes per line") << with(66, 0);
        QTest::newRow("Xmax before Xmin") << with(4, 20);
        QTest::newRow("Ymax before Ymin") << with(6, 20);
        // 65535 x 65535 in 32 bits: far beyond Qt's allocation limit; the
        // lines would fit, so only the limit stops it.
        QByteArray huge = header;
        put_word(huge, 8, 0xFFFE);
        put_word(huge, 10, 0xFFFE);
        huge[65] = 4;
        put_word(huge, 66, 0xFFFF);
        QTest::newRow("absurd size") << huge + QByteArray(4000, '\0');
    }
    void broken()
    {
        QFETCH(QByteArray, bytes);
        // Refused before any allocation: the data cannot hold such a picture.
        QTest::failOnWarning(QRegularExpression("allocation limit"));
        QVERIFY(!decode(bytes));
    }

    // Cut anywhere, a file fails as long as pixel data is missing; only the
    // palette at the end may go (the picture is then grey).
    void every_prefix()
    {
        Pcx vga;
        vga.width = 9;
        vga.height = 7;
        vga.vga_palette = some_colours(256);
        std::vector<QRgb> pixels;
        for (int i = 0; i < 63; ++i)
            pixels.push_back(QRgb(i * i % 256));
        const QByteArray bytes = encode(vga, pixels);
        const qsizetype data_end = bytes.size() - 769;
        for (qsizetype n = 0; n <= bytes.size(); ++n) {
            const std::optional<QImage> image = decode(bytes.left(n));
            QCOMPARE(bool(image), n >= data_end);
        }
    }

    // Qt's limit is what decides: raised, the same picture is read.
    void allocation_limit()
    {
        Pcx wide;
        wide.width = 3000;
        wide.height = 3000;
        wide.planes = 3;
        const QByteArray bytes = encode(wide, std::vector<QRgb>(3000 * 3000, qRgb(1, 2, 3)));
        const int before = QImageReader::allocationLimit();
        QImageReader::setAllocationLimit(20); // MB; the picture needs 36
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("allocation limit"));
        const bool refused = !decode(bytes);
        QImageReader::setAllocationLimit(before);
        QVERIFY(refused);
        QVERIFY(decode(bytes));
    }
};

QTEST_GUILESS_MAIN(tst_pcxhandler)
#include "tst_pcxhandler.moc"
