// SPDX-License-Identifier: GPL-3.0-or-later
// The viewers as the user meets them: a file opened into the viewer window
// until it is painted on screen, set against the least a program built on
// Qt does for the same file in the same run: a bare QPlainTextEdit given the
// file's text, a bare QImageReader and QLabel given the picture.
//
//   a 50 MB log        text viewer         bare QPlainTextEdit::setPlainText
//   a 20 MB document   text viewer         (no bare baseline: Qt reads no RTF)
//   a 24 MP JPEG       image viewer        bare QImageReader + QLabel
//   a 12 MP PCX        image viewer        (no bare baseline: Qt reads no PCX)
//
// Runs on whatever platform Qt is given (offscreen by default). Prints the
// median of the runs, the ratio, and the peak resident memory of the whole
// process after each kind of file.
//
//   build-bench/bench/bench_viewer_windows [-r repeats]
//   build-bench/bench/bench_viewer_windows --log FILE
//   build-bench/bench/bench_viewer_windows --picture FILE
//   build-bench/bench/bench_viewer_windows --bare-picture FILE
//   build-bench/bench/bench_viewer_windows --make-jpeg WIDTH HEIGHT FILE
//   build-bench/bench/bench_viewer_windows --make-log COPIES FILE
//
// With --log, only FILE into the text viewer: the time until its first
// screen is painted, until its lines are counted, a jump to its end, and
// the peak resident memory of the process (nothing else loaded before).
// --picture: FILE into the image viewer, --bare-picture: into a bare
// QImageReader (its allocation limit raised) and QLabel; the time until it
// is painted and the peak memory, each in a process of its own.
// --make-jpeg writes a JPEG of the benchmark's pattern (quality 90);
// --make-log COPIES copies of the benchmark's 50 MB log into one file.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <sys/resource.h>
#include <vector>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include "benchclock.h"
#include "bildbetrachter.h"
#include "plaintextview.h"
#include "richtextbox.h"
#include "textbetrachter.h"
#include "viewers.h"

namespace {

// Runs the work, then lets the window paint once: what the user waits for.
double time_on_screen(QWidget *painted, const std::function<void()> &work)
{
    const Clock::time_point start = Clock::now();
    work();
    painted->window()->repaint();
    QCoreApplication::processEvents();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double peak_mb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

void write(const QString &path, const QByteArray &content)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

QByteArray make_log(qsizetype size)
{
    QByteArray log;
    log.reserve(size + 200);
    for (int i = 0; log.size() < size; ++i)
        log += "2024-03-14 09:12:" + QByteArray::number(10 + i % 50) + ".417 INFO  [worker-" +
               QByteArray::number(i % 8) + "] request " + QByteArray::number(i) + " served in " +
               QByteArray::number(i % 97) + " ms from cache\n";
    return log;
}

// A document as a word processor writes it: styled runs, paragraphs, a table now and then.
QByteArray make_rtf(qsizetype size)
{
    QByteArray rtf =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\froman "
        "Times New Roman;}}{\\colortbl;\\red200\\green0\\blue0;}\\f0\\fs20 ";
    for (int i = 0; rtf.size() < size; ++i) {
        rtf += "\\pard\\sa120 Absatz " + QByteArray::number(i) +
               ": {\\b fett} und {\\i kursiv}, {\\cf1 rot}, Gr\\'f6\\'dfe \\u8364? und "
               "{\\f1\\fs24 eine andere Schrift} mit etwas Text, der eine Zeile f\\'fcllt.\\par\n";
        if (i % 50 == 0)
            rtf += "\\trowd\\cellx2000\\cellx4000 A\\cell B\\cell\\row\n";
    }
    return rtf + "}";
}

QImage make_picture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] =
                qRgb(128 + x / 16 % 128, 128 + y / 12 % 96 + (x * 7919 ^ y * 104729) % 32, 200);
    }
    return image;
}

// A 24-bit PCX of the picture: three planes a line, run-length encoded.
QByteArray make_pcx(const QImage &image)
{
    const int w = image.width(), h = image.height(), bpl = (w + 1) & ~1;
    QByteArray out(128, '\0');
    auto put16 = [&](int at, int v) {
        out[at] = char(v & 0xFF);
        out[at + 1] = char(v >> 8);
    };
    out[0] = 10;
    out[1] = 5;
    out[2] = 1;
    out[3] = 8;
    put16(8, w - 1);
    put16(10, h - 1);
    out[65] = 3;
    put16(66, bpl);
    put16(68, 1);
    for (int y = 0; y < h; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int plane = 0; plane < 3; ++plane) {
            for (int x = 0; x < bpl;) {
                const auto value = [&](int at) {
                    const QRgb p = line[std::min(at, w - 1)];
                    return plane == 0 ? qRed(p) : plane == 1 ? qGreen(p) : qBlue(p);
                };
                const int v = value(x);
                int run = 1;
                while (x + run < bpl && run < 63 && value(x + run) == v)
                    ++run;
                if (run > 1 || v >= 0xC0)
                    out += char(0xC0 | run);
                out += char(v);
                x += run;
            }
        }
    }
    return out;
}

void report(const char *what, double ours, double bare)
{
    if (bare > 0)
        std::printf("%-28s %8.3f s   bare %8.3f s   %5.2fx   peak %6.0f MB\n", what, ours, bare,
                    ours / bare, peak_mb());
    else
        std::printf("%-28s %8.3f s                          peak %6.0f MB\n", what, ours,
                    peak_mb());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "--make-log") == 0) {
        const QByteArray log = make_log(50 << 20);
        QFile f(QString::fromLocal8Bit(argv[3]));
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        for (int i = std::atoi(argv[2]); i > 0; --i)
            if (f.write(log) != log.size())
                return 1;
        return 0;
    }
    if (argc == 5 && std::strcmp(argv[1], "--make-jpeg") == 0)
        return make_picture(std::atoi(argv[2]), std::atoi(argv[3])).save(argv[4], "JPG", 90) ? 0
                                                                                             : 1;
    if (argc == 3 && std::strcmp(argv[1], "--picture") == 0) {
        QMdiArea area;
        area.resize(1024, 768);
        QLabel *before = new QLabel(QStringLiteral("Dateien umbenennen"));
        area.addSubWindow(before)->show();
        area.show();
        area.repaint();
        QCoreApplication::processEvents();
        talvence::Viewers viewers(&area, [] { return QByteArray(); });
        const double start_mb = peak_mb();
        bool shown = false;
        const double t =
            time_on_screen(&area, [&] { shown = viewers.show_in_image_viewer(argv[2]); });
        std::printf("image viewer %s: %.3f s   peak %.0f MB (%.0f MB before the file)\n",
                    shown ? "shown" : "FAILED", t, peak_mb(), start_mb);
        std::fflush(stdout);
        // Held on screen for a screen grab from outside (bench/picture_peers.py).
        if (qEnvironmentVariableIsSet("BENCH_HOLD"))
            return QApplication::exec();
        return shown ? 0 : 1;
    }
    if (argc == 3 && std::strcmp(argv[1], "--bare-picture") == 0) {
        QLabel label;
        label.resize(686, 505);
        label.show();
        label.repaint();
        QCoreApplication::processEvents();
        QImageReader::setAllocationLimit(1024);
        const double start_mb = peak_mb();
        const double t = time_on_screen(&label, [&] {
            QImageReader reader(QString::fromLocal8Bit(argv[2]));
            reader.setAutoTransform(true);
            label.setPixmap(QPixmap::fromImage(reader.read()));
        });
        std::printf("bare QImageReader + QLabel: %.3f s   peak %.0f MB (%.0f MB before the file)\n",
                    t, peak_mb(), start_mb);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--log") == 0) {
        QMdiArea area;
        area.resize(1024, 768);
        // In the program the click comes from the rename window, whose text
        // is on screen: the fonts are loaded by then.
        QLabel *before = new QLabel(QStringLiteral("Dateien umbenennen"));
        area.addSubWindow(before)->show();
        area.show();
        area.repaint();
        QCoreApplication::processEvents();
        talvence::Viewers viewers(&area, [] { return QByteArray(); });
        const double start_mb = peak_mb();
        const Clock::time_point start = Clock::now();
        const double first = time_on_screen(&area, [&] { viewers.show_in_text_viewer(argv[2]); });
        talvence::RichTextBox *box = viewers.text_viewer()->box();
        while (box->filling()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        const double counted = std::chrono::duration<double>(Clock::now() - start).count();
        const double to_end = time_on_screen(&area, [&] {
            QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
            QCoreApplication::sendEvent(box->plain_view(), &end);
        });
        // Again, the window made and its font loaded: the file alone.
        const double again = time_on_screen(&area, [&] { viewers.show_in_text_viewer(argv[2]); });
        std::printf("again %.3f s   ", again);
        std::printf("first screen %.3f s   lines counted %.3f s   to the end %.3f s   peak %.0f MB "
                    "(%.0f MB before the file)\n",
                    first, counted, to_end, peak_mb(), start_mb);
        std::fflush(stdout);
        if (qEnvironmentVariableIsSet("BENCH_HOLD"))
            return QApplication::exec();
        return 0;
    }
    int repeats = 5;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-r") == 0)
            repeats = std::max(1, std::atoi(argv[i + 1]));

    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("server.log"));
    const QString rtf = dir.filePath(QStringLiteral("bericht.doc"));
    const QString jpeg = dir.filePath(QStringLiteral("urlaub.jpg"));
    const QString pcx = dir.filePath(QStringLiteral("scan.pcx"));
    write(log, make_log(50 << 20));
    write(rtf, make_rtf(20 << 20));
    {
        const QImage big = make_picture(6000, 4000); // 24 megapixels
        if (!big.save(jpeg, "JPG", 90))
            return 1;
        write(pcx, make_pcx(make_picture(4000, 3000)));
    }

    QMdiArea area;
    area.resize(1024, 768);
    area.show();
    talvence::Viewers viewers(&area, [] { return QByteArray(); });
    QPlainTextEdit bare_text;
    bare_text.resize(500, 300);
    bare_text.setReadOnly(true);
    bare_text.show();
    QLabel bare_label;
    bare_label.resize(686, 505);
    bare_label.show();

    std::vector<double> ours, bare;
    const auto run = [&](const char *what, const std::function<double()> &mine,
                         const std::function<double()> &baseline) {
        ours.clear();
        bare.clear();
        for (int r = 0; r < repeats; ++r) {
            // alternating, so that both meet the machine in the same mood
            if (baseline)
                bare.push_back(baseline());
            ours.push_back(mine());
        }
        report(what, median(ours), baseline ? median(bare) : 0);
    };

    const QByteArray raw_log = QFile::encodeName(log);
    run(
        "50 MB log, text viewer",
        [&] { return time_on_screen(&area, [&] { viewers.show_in_text_viewer(raw_log); }); },
        [&] {
            return time_on_screen(&bare_text, [&] {
                QFile f(log);
                if (f.open(QIODevice::ReadOnly))
                    bare_text.setPlainText(QString::fromUtf8(f.readAll()));
            });
        });
    // Its lines are counted on a thread while the window answers; until done, for the record.
    run(
        "50 MB log, lines counted",
        [&] {
            const Clock::time_point start = Clock::now();
            viewers.show_in_text_viewer(raw_log);
            while (viewers.text_viewer()->box()->filling())
                QCoreApplication::processEvents();
            area.repaint();
            return std::chrono::duration<double>(Clock::now() - start).count();
        },
        [&] {
            return time_on_screen(&bare_text, [&] {
                QFile f(log);
                if (f.open(QIODevice::ReadOnly))
                    bare_text.setPlainText(QString::fromUtf8(f.readAll()));
            });
        });
    run("20 MB document, text viewer",
        [&] {
            return time_on_screen(&area,
                                  [&] { viewers.show_in_text_viewer(QFile::encodeName(rtf)); });
        },
        {});
    run(
        "24 MP JPEG, image viewer",
        [&] {
            return time_on_screen(&area,
                                  [&] { viewers.show_in_image_viewer(QFile::encodeName(jpeg)); });
        },
        [&] {
            return time_on_screen(&bare_label, [&] {
                QImageReader reader(jpeg);
                bare_label.setPixmap(QPixmap::fromImage(reader.read()));
            });
        });
    run("12 MP PCX, image viewer",
        [&] {
            return time_on_screen(&area,
                                  [&] { viewers.show_in_image_viewer(QFile::encodeName(pcx)); });
        },
        {});
    return 0;
}
