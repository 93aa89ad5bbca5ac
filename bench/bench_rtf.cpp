// SPDX-License-Identifier: GPL-3.0-or-later
// Figures for RTF documents that could stall the text viewer: 10 million
// paragraph marks, 100,000 fonts (against as many runs in one font), and
// long documents loaded into the rich text box as the viewer loads them,
// with the time to the first screen, to the whole document, and the longest
// time the window went without handling an event meanwhile.
//
//   cmake --build build-bench --target bench_rtf && build-bench/bench/bench_rtf [-r repeats]
//   build-bench/bench/bench_rtf [-r repeats] FILE...   the time each file takes
//                                                       to read, as the viewer does

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <sys/resource.h>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>

#include "benchclock.h"
#include "richtextbox.h"
#include "textfile.h"

namespace {

void write(const QByteArray &path, const QByteArray &content)
{
    QFile f(QString::fromLocal8Bit(path));
    if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size()) {
        std::fprintf(stderr, "bench_rtf: cannot write %s\n", path.constData());
        std::exit(1);
    }
}

QByteArray many_marks(int marks)
{
    return "{\\rtf1\\ansi " + QByteArray("\\par\n").repeated(marks) + "}";
}

// Each run of text in a font of its own, or all of them in one.
QByteArray many_fonts(int fonts, bool distinct)
{
    QByteArray rtf = "{\\rtf1\\ansi{\\fonttbl";
    for (int i = 0; i < fonts; ++i)
        rtf += "{\\f" + QByteArray::number(i) + "\\fswiss Schrift " +
               QByteArray::number(distinct ? i : 0) + ";}";
    rtf += "}";
    for (int i = 0; i < fonts; ++i)
        rtf += "\\f" + QByteArray::number(distinct ? i : 0) + " Wort ";
    return rtf + "\\par}";
}

// Paragraphs as a word processor writes them, a table now and then.
QByteArray long_document(qsizetype size)
{
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman Times New Roman;}"
                     "{\\f1\\fswiss Arial;}}{\\colortbl;\\red200\\green0\\blue0;}\n";
    for (int i = 0; rtf.size() < size; ++i) {
        if (i % 50 == 49) {
            rtf += "\\trowd\\cellx3000\\cellx6000\\pard\\intbl Zelle\\cell " +
                   QByteArray::number(i) + "\\cell\\row\\pard\n";
            continue;
        }
        rtf += "\\pard\\sa160\\f0\\fs22 {\\insrsid1 Im Quartal " + QByteArray::number(i) +
               " stieg der Umsatz in M\\'fcnchen }{\\b deutlich}, {\\i\\cf1 wie erwartet}.\\par\n";
    }
    return rtf + "}";
}

// One table of many rows, as a report generator writes it.
QByteArray long_table(int rows)
{
    return "{\\rtf1\\ansi " +
           QByteArray("\\trowd\\cellx2000\\cellx4000\\pard\\intbl Zelle eins\\cell Zelle "
                      "zwei\\cell\\row\n")
               .repeated(rows) +
           "\\pard Ende\\par}";
}

long peak_rss_mb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

} // namespace

int main(int argc, char **argv)
{
    int repeats = 3;
    int first_file = 1;
    if (argc >= 3 && std::strcmp(argv[1], "-r") == 0) {
        repeats = std::max(1, std::atoi(argv[2]));
        first_file = 3;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    // Documents of the user's: each read whole, median of the repeats.
    if (first_file < argc) {
        for (int i = first_file; i < argc; ++i) {
            std::vector<double> times;
            for (int r = 0; r < repeats; ++r) {
                const Clock::time_point start = Clock::now();
                const talvence::LoadedText t = talvence::load_text_file(argv[i]);
                times.push_back(seconds_since(start));
            }
            std::printf("%9.3f ms  %s\n", median(times) * 1000, argv[i]);
        }
        return 0;
    }

    QTemporaryDir dir;
    const QByteArray base = QFile::encodeName(dir.path());
    const QByteArray marks = base + "/marks.rtf", fonts = base + "/fonts.rtf",
                     one_font = base + "/one_font.rtf";
    write(marks, many_marks(10'000'000));
    write(fonts, many_fonts(100'000, true));
    write(one_font, many_fonts(100'000, false));

    std::printf("median of %d runs\n\n", repeats);
    for (const auto &[path, what] : {std::pair{marks, "10,000,000 \\par (50 MB)"},
                                     std::pair{fonts, "100,000 fonts, one run each"},
                                     std::pair{one_font, "100,000 runs in one font"}}) {
        std::vector<double> times;
        const char *outcome = "";
        for (int r = 0; r < repeats; ++r) {
            const Clock::time_point start = Clock::now();
            const talvence::LoadedText t = talvence::load_text_file(path);
            times.push_back(seconds_since(start));
            outcome = t.kind == talvence::LoadedText::Kind::failed ? "refused" : "read";
        }
        std::printf("%-32s %7.3f s  %s\n", what, median(times), outcome);
    }

    // The viewer's own way: the box shows the first part, the event loop
    // brings the rest. A zero timer stands for the user's events.
    std::printf("\ninto the rich text box (offscreen, 7455 x 4575 twips):\n");
    for (const qsizetype size : {qsizetype(4) << 20, qsizetype(20) << 20, qsizetype(0)}) {
        const QByteArray path = base + "/long.rtf";
        write(path, size ? long_document(size) : long_table(120'000));
        std::vector<double> first, whole, silent;
        for (int r = 0; r < repeats; ++r) {
            talvence::RichTextBox box;
            box.resize(497, 305);
            box.show();
            const Clock::time_point start = Clock::now();
            if (!box.load_file(path))
                std::exit(1);
            first.push_back(seconds_since(start));
            Clock::time_point last = Clock::now();
            double longest = first.back();
            QTimer tick;
            QObject::connect(&tick, &QTimer::timeout, [&] {
                const Clock::time_point now = Clock::now();
                longest = std::max(longest, std::chrono::duration<double>(now - last).count());
                last = now;
                if (!box.filling())
                    app.quit();
            });
            tick.start(0);
            app.exec();
            whole.push_back(seconds_since(start));
            silent.push_back(longest);
        }
        std::printf(
            "%-26s first screen %6.3f s, whole %6.3f s, longest silence %6.3f s\n",
            size ? qPrintable(QString::number(size >> 20) + QStringLiteral(" MB of paragraphs"))
                 : "a table of 120,000 rows",
            median(first), median(whole), median(silent));
    }
    std::printf("\npeak memory of the whole run %ld MB\n", peak_rss_mb());
    return 0;
}
