// SPDX-License-Identifier: GPL-3.0-or-later
// The picture loader over real files in a temporary folder: formats found
// by content whatever the name, PCX by the program's own decoder, raw names
// that are not UTF-8, pictures above Qt's default allocation limit, and
// clean failures for text, vanished files, folders and pictures beyond the
// largest one shown.

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QtTest>

#include "pictureloader.h"
#include "testfolder.h"

using namespace talvence;

namespace {

QImage test_picture()
{
    QImage image(40, 30, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, x < 20 ? qRgb(200, 30, 30) : qRgb(30, 30, 200));
    }
    return image;
}

QByteArray encoded(const QImage &image, const char *format, int rotation = 0)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (rotation == 90)
        writer.setTransformation(QImageIOHandler::TransformationRotate90);
    writer.write(image);
    return bytes;
}

// 2 x 1 pixels, 8 bits, not run-length encoded, palette at the end.
QByteArray small_pcx()
{
    QByteArray h(128, '\0');
    h[0] = 0x0A;
    h[1] = 5;
    h[3] = 8;
    h[8] = 1;  // Xmax
    h[65] = 1; // planes
    h[66] = 2; // bytes per line
    h.append(QByteArray::fromHex("0102"));
    QByteArray palette(768, '\0');
    palette[3] = char(255); // colour 1: red
    palette[8] = char(255); // colour 2: blue
    return h + char(0x0C) + palette;
}

// A 1 x 1 GIF whose only colour is red.
const QByteArray gif = QByteArray::fromHex("474946383961010001008000"
                                           "00ff0000000000"
                                           "2c00000000010001000002024401003b");

void put32(QByteArray &b, int at, quint32 v)
{
    for (int k = 0; k < 4; ++k)
        b[at + k] = char(v >> (8 * k));
}

// The header of an uncompressed BMP of `width` x `height` pixels.
QByteArray bmp_header(int width, int height, int bits)
{
    QByteArray b = QByteArray::fromHex("424d"
                                       "36000000"
                                       "00000000"
                                       "36000000" // file
                                       "28000000"
                                       "00000000"
                                       "00000000"
                                       "0100"
                                       "2000" // info
                                       "00000000"
                                       "00000000"
                                       "130b0000"
                                       "130b0000"
                                       "00000000"
                                       "00000000");
    put32(b, 18, quint32(width));
    put32(b, 22, quint32(height));
    b[28] = char(bits);
    return b;
}

// The header of an uncompressed 8-bit PCX of `width` x `height` pixels.
QByteArray pcx_header(int width, int height)
{
    QByteArray h(128, '\0');
    h[0] = 0x0A;
    h[1] = 5;
    h[3] = 8;
    h[8] = char((width - 1) & 0xFF);
    h[9] = char((width - 1) >> 8);
    h[10] = char((height - 1) & 0xFF);
    h[11] = char((height - 1) >> 8);
    h[65] = 1;
    h[66] = char(width & 0xFF);
    h[67] = char(width >> 8);
    return h;
}

} // namespace

class tst_pictureloader : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void load_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QRgb>("colour"); // within 16 per channel: JPEG is lossy
        const QImage picture = test_picture();
        const QRgb red = qRgb(200, 30, 30), blue = qRgb(30, 30, 200);
        QTest::newRow("JPEG") << QByteArray("Urlaub.jpg") << encoded(picture, "jpeg")
                              << QSize(40, 30) << QPoint(5, 5) << red;
        QTest::newRow("BMP") << QByteArray("grafik.BMP") << encoded(picture, "bmp") << QSize(40, 30)
                             << QPoint(35, 5) << blue;
        QTest::newRow("GIF") << QByteArray("anim.gif") << gif << QSize(1, 1) << QPoint(0, 0)
                             << qRgb(255, 0, 0);
        QTest::newRow("PNG named .jpg: content decides")
            << QByteArray("bild.jpg") << encoded(picture, "png") << QSize(40, 30) << QPoint(5, 5)
            << red;
        QTest::newRow("PCX") << QByteArray("scan.pcx") << small_pcx() << QSize(2, 1) << QPoint(1, 0)
                             << qRgb(0, 0, 255);
        QTest::newRow("PCX under another name") << QByteArray("scan.dat") << small_pcx()
                                                << QSize(2, 1) << QPoint(0, 0) << qRgb(255, 0, 0);
        QTest::newRow("name not UTF-8") << QByteArray("B\xe4r.pcx") << small_pcx() << QSize(2, 1)
                                        << QPoint(0, 0) << qRgb(255, 0, 0);
        QTest::newRow("camera turned: upright as taken")
            << QByteArray("hoch.jpg") << encoded(picture, "jpeg", 90) << QSize(30, 40)
            << QPoint(25, 5) << red;
    }
    void load()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, content);
        QFETCH(QSize, size);
        QFETCH(QPoint, at);
        QFETCH(QRgb, colour);
        QTemporaryDir dir;
        const QByteArray path = QFile::encodeName(dir.path()) + '/' + name;
        QVERIFY(write_file(path, content));
        const Result<QImage> image = load_picture(path);
        ::unlink(path.constData()); // QTemporaryDir cannot remove names that are not UTF-8
        QVERIFY(image);
        QCOMPARE(image->size(), size);
        const QRgb got = image->pixel(at);
        QVERIFY2(qAbs(qRed(got) - qRed(colour)) <= 16 && qAbs(qGreen(got) - qGreen(colour)) <= 16 &&
                     qAbs(qBlue(got) - qBlue(colour)) <= 16,
                 qPrintable(QString::number(got, 16)));
    }

    // Colour JPEGs are decoded once, at three bytes a pixel, to the same
    // pixels as Qt's own reader gives; grey ones stay grey.
    void jpeg_as_qt_reads_it_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QImage::Format>("format");
        QImage noisy(67, 45, QImage::Format_RGB32); // odd sizes: the chroma's edges
        for (int y = 0; y < noisy.height(); ++y)
            for (int x = 0; x < noisy.width(); ++x)
                noisy.setPixel(x, y, qRgb(x * 37 % 256, y * 53 % 256, (x * y) % 256));
        QTest::newRow("colour") << encoded(noisy, "jpeg") << QImage::Format_RGB888;
        QTest::newRow("grey") << encoded(noisy.convertToFormat(QImage::Format_Grayscale8), "jpeg")
                              << QImage::Format_Grayscale8;
    }
    void jpeg_as_qt_reads_it()
    {
        QFETCH(QByteArray, content);
        QFETCH(QImage::Format, format);
        QBuffer buffer(&content);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        const QImage expected = QImageReader(&buffer).read();
        QVERIFY(!expected.isNull());
        QTemporaryDir dir;
        const QByteArray path = QFile::encodeName(dir.path()) + "/foto.jpg";
        QVERIFY(write_file(path, content));
        const Result<QImage> loaded = load_picture(path);
        QVERIFY(loaded);
        const std::optional<QImage> decoded = decode_picture(content);
        QVERIFY(decoded);
        for (const QImage *image : {&*loaded, &*decoded}) {
            QCOMPARE(image->format(), format);
            QVERIFY(image->convertToFormat(expected.format()) == expected);
        }
    }

    void failures_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: no file there
        QTest::addColumn<bool>("folder");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("warning"); // what Qt's reader says about it
        QTest::newRow("text named .jpg") << QByteArray("not a picture") << false << 0 << QString();
        QTest::newRow("empty file") << QByteArray("") << false << 0 << QString();
        QTest::newRow("truncated PCX") << small_pcx().left(129) << false << 0 << QString();
        QTest::newRow("JPEG header only")
            << encoded(test_picture(), "jpeg").left(20) << false << 0 << u"contains no image"_qs;
        QTest::newRow("BMP beyond the largest picture")
            << bmp_header(16384, 12289, 32) + QByteArray(64, '\0') << false << 0 << QString();
        QTest::newRow("BMP of a side beyond the largest picture's pixels")
            << bmp_header(201326593, 1, 32) + QByteArray(64, '\0') << false << 0 << QString();
        QTest::newRow("PCX beyond the largest picture")
            << pcx_header(20000, 12000) + QByteArray(64, '\0') << false << 0 << QString();
        QTest::newRow("vanished file") << QByteArray() << false << ENOENT << QString();
        QTest::newRow("folder") << QByteArray() << true << EISDIR << QString();
    }
    void failures()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, folder);
        QFETCH(int, error);
        QFETCH(QString, warning);
        if (!warning.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(warning));
        QTemporaryDir dir;
        QByteArray path = QFile::encodeName(dir.path()) + "/bild.jpg";
        if (folder)
            path = QFile::encodeName(dir.path()) + '/';
        else if (error == 0)
            QVERIFY(write_file(path, content));
        const Result<QImage> image = load_picture(path);
        QVERIFY(!image);
        QCOMPARE(image.error(), error);
    }

    // Photos of today's cameras: above Qt's default limit of 128 MB of
    // pixels. Written sparse, so the files cost no time: a black picture.
    void large_pictures_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<qint64>("data");
        QTest::addColumn<QSize>("size");
        QTest::newRow("BMP 6000 x 6000, 144 MB of pixels")
            << bmp_header(6000, 6000, 24) << qint64(6000) * 3 * 6000 << QSize(6000, 6000);
        QTest::newRow("PCX 12,000 x 12,000, 144 MB")
            << pcx_header(12000, 12000) << qint64(12000) * 12000 << QSize(12000, 12000);
    }
    void large_pictures()
    {
        QFETCH(QByteArray, header);
        QFETCH(qint64, data);
        QFETCH(QSize, size);
        QTemporaryDir dir;
        const QByteArray path = QFile::encodeName(dir.path()) + "/foto.jpg";
        QVERIFY(write_file(path, header));
        QCOMPARE(::truncate(path.constData(), header.size() + data), 0);
        Result<QImage> image = load_picture(path);
        QVERIFY(image);
        QCOMPARE(image->size(), size);
        QCOMPARE(QColor(image->pixel(size.width() - 1, size.height() - 1)), QColor(Qt::black));
    }
};

QTEST_GUILESS_MAIN(tst_pictureloader)
#include "tst_pictureloader.moc"
