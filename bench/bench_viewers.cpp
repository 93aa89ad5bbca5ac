// SPDX-License-Identifier: GPL-3.0-or-later
// Figures for what the viewers load: a 50 MB log (UTF-8, and one byte that
// makes it Windows-1252), a 20 MB RTF document of the kind a word processor
// writes, and a 12-megapixel PCX picture. The logs are set against a bare
// read and QString::fromUtf8 of the same file in the same run; the picture
// against Qt's BMP reader on the same pixels.
//
//   cmake --build build-bench --target bench_viewers && build-bench/bench/bench_viewers [-r
//   repeats]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTextDocument>

#include "benchclock.h"
#include "pictureloader.h"
#include "textfile.h"

namespace {

double time_once(const std::function<void()> &work)
{
    const Clock::time_point start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void write(const QByteArray &path, const QByteArray &content)
{
    QFile f(QString::fromLocal8Bit(path));
    if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size()) {
        std::fprintf(stderr, "bench_viewers: cannot write %s\n", path.constData());
        std::exit(1);
    }
}

QByteArray make_log(qsizetype size, bool one_bad_byte)
{
    QByteArray log;
    log.reserve(size + 200);
    for (int i = 0; log.size() < size; ++i) {
        log += "2024-03-14 09:12:" + QByteArray::number(10 + i % 50) + "." +
               QByteArray::number(100 + i % 900) + " INFO  [worker-" + QByteArray::number(i % 8) +
               "] Anfrage " + QByteArray::number(i) + " bearbeitet: Größe " +
               QByteArray::number(i * 37 % 100000) + " Bytes, Dauer " +
               QByteArray::number(i % 997) + " ms\r\n";
    }
    if (one_bad_byte)
        log[log.size() / 2] = char(0xFC);
    return log;
}

// Paragraphs as a word processor writes them: every run in a group of its
// own with rsid and language words, a table now and then, theme data at the end.
QByteArray make_rtf(qsizetype size)
{
    QByteArray rtf =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\froman\\fcharset0 Times New "
        "Roman;}{\\f1\\fswiss\\fcharset0 Arial;}}{\\colortbl;\\red0\\green0\\blue0;"
        "\\red200\\green0\\blue0;}\n";
    const QByteArray run = "{\\rtlch\\fcs1 \\af0 \\ltrch\\fcs0 \\insrsid1651234 ";
    for (int i = 0; rtf.size() < size; ++i) {
        if (i % 50 == 49) {
            for (int r = 0; r < 3; ++r) {
                rtf += "\\trowd\\trgaph108\\cellx3000\\cellx6000\\cellx9000\\pard\\plain\\intbl" +
                       run + "Zelle " + QByteArray::number(r) + "\\cell Wert\\cell " +
                       QByteArray::number(i) +
                       "\\cell }\\pard\\intbl{\\trowd\\cellx3000\\cellx6000"
                       "\\cellx9000\\row }\n";
            }
            continue;
        }
        rtf +=
            "\\pard\\plain \\ltrpar\\ql \\li0\\ri0\\sa160\\sl259\\slmult1\\widctlpar\\f0\\fs22 " +
            run + "Im Quartal " + QByteArray::number(i) +
            " stieg der Umsatz der Filiale in M\\'fcnchen }" +
            "{\\rtlch\\fcs1 \\ab\\af0 \\ltrch\\fcs0 \\b\\insrsid1651234 deutlich}" + run +
            " auf \\u8364\\'80 " + QByteArray::number(i * 13) + ", " +
            "{\\i\\cf2 wie erwartet}, und die Kosten blieben gleich.\\par }\n";
    }
    rtf += "{\\*\\themedata ";
    for (int i = 0; i < 20000; ++i)
        rtf += "504b030414000600080000002100e9de0fbfff0000001c020000130000005b436f6e\n";
    rtf += "}}";
    return rtf;
}

QImage make_picture()
{
    QImage image(4000, 3000, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgb(x / 16 % 256, y / 12 % 256, (x / 64 + y / 64) % 256);
    }
    return image;
}

QByteArray make_pcx(const QImage &image)
{
    const int w = image.width(), h = image.height();
    QByteArray out(128, '\0');
    out[0] = 0x0A;
    out[1] = 5;
    out[2] = 1;
    out[3] = 8;
    out[8] = char((w - 1) & 0xFF);
    out[9] = char((w - 1) >> 8);
    out[10] = char((h - 1) & 0xFF);
    out[11] = char((h - 1) >> 8);
    out[65] = 3;
    out[66] = char(w & 0xFF);
    out[67] = char(w >> 8);
    for (int y = 0; y < h; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int channel = 0; channel < 3; ++channel) {
            for (int x = 0; x < w;) {
                auto value = [&](int at) {
                    const QRgb p = line[at];
                    return channel == 0 ? qRed(p) : channel == 1 ? qGreen(p) : qBlue(p);
                };
                int n = 1;
                while (x + n < w && n < 63 && value(x + n) == value(x))
                    ++n;
                if (n > 1 || value(x) >= 0xC0)
                    out.append(char(0xC0 | n));
                out.append(char(value(x)));
                x += n;
            }
        }
    }
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    int repeats = 5;
    if (argc == 3 && std::strcmp(argv[1], "-r") == 0)
        repeats = std::max(1, std::atoi(argv[2]));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QTemporaryDir dir;
    const QByteArray base = QFile::encodeName(dir.path());
    const QByteArray log = base + "/server.log", log1252 = base + "/alt.log",
                     rtf = base + "/bericht.doc", pcx = base + "/bild.pcx",
                     bmp = base + "/bild.bmp";
    write(log, make_log(50 << 20, false));
    write(log1252, make_log(50 << 20, true));
    const QByteArray rtf_bytes = make_rtf(20 << 20);
    write(rtf, rtf_bytes);
    const QImage picture = make_picture();
    write(pcx, make_pcx(picture));
    QImageWriter(QString::fromLocal8Bit(bmp), "bmp").write(picture);

    std::printf("median of %d runs; bare: QFile::readAll + QString::fromUtf8 of the same file\n\n",
                repeats);
    for (const QByteArray &path : {log, log1252}) {
        std::vector<double> ours, bare;
        for (int r = 0; r < repeats; ++r) {
            ours.push_back(time_once([&] {
                const talvence::LoadedText t = talvence::load_text_file(path);
                if (t.kind != talvence::LoadedText::Kind::plain)
                    std::exit(1);
            }));
            bare.push_back(time_once([&] {
                QFile f(QString::fromLocal8Bit(path));
                f.open(QIODevice::ReadOnly);
                const QString s = QString::fromUtf8(f.readAll());
                if (s.isEmpty())
                    std::exit(1);
            }));
        }
        std::printf("%-28s %7.3f s   bare %7.3f s   %.2fx\n",
                    path == log ? "50 MB log, UTF-8" : "50 MB log, Windows-1252", median(ours),
                    median(bare), median(ours) / median(bare));
    }

    std::vector<double> rich;
    qsizetype blocks = 0;
    for (int r = 0; r < repeats; ++r) {
        rich.push_back(time_once([&] {
            const talvence::LoadedText t = talvence::load_text_file(rtf);
            blocks = t.document ? t.document->blockCount() : 0;
        }));
    }
    std::printf("%-28s %7.3f s   (%.1f MB, %lld paragraphs and cells)\n", "RTF document",
                median(rich), rtf_bytes.size() / 1048576.0, qlonglong(blocks));

    std::vector<double> ours, qt;
    for (int r = 0; r < repeats; ++r) {
        ours.push_back(time_once([&] {
            if (!talvence::load_picture(pcx).ok())
                std::exit(1);
        }));
        qt.push_back(time_once([&] {
            if (!talvence::load_picture(bmp).ok())
                std::exit(1);
        }));
    }
    std::printf("%-28s %7.3f s   Qt's BMP reader %7.3f s   %.2fx\n", "PCX 4000x3000, 24 bits",
                median(ours), median(qt), median(ours) / median(qt));
    return 0;
}
