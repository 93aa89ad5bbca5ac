// SPDX-License-Identifier: GPL-3.0-or-later
// A 50 MB binary file in the hex view, with the memory it costs; then Word
// documents and other files in the rich text box as the text viewer loads
// them: the time from the click to the first screen painted, to the whole
// document, and the longest time the window went without handling an event
// meanwhile.
//
//   cmake --build build --target bench_word && build/bench/bench_word FILE...

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

#include <QApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include "benchclock.h"
#include "richtextbox.h"

namespace {

long peak_rss_mb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

struct Figures {
    double first = 0, whole = 0, silent = 0;
};

Figures load(QApplication &app, const QByteArray &path)
{
    talvence::RichTextBox box;
    box.resize(497, 305);
    box.show();
    Figures f;
    const Clock::time_point start = Clock::now();
    if (!box.load_file(path))
        return {-1, -1, -1};
    (void)box.grab(); // the first screen, laid out and painted
    f.first = seconds_since(start);
    Clock::time_point last = Clock::now();
    f.silent = f.first;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        f.silent = std::max(f.silent, std::chrono::duration<double>(now - last).count());
        last = now;
        if (!box.filling())
            app.quit();
    });
    tick.start(0);
    app.exec();
    f.whole = seconds_since(start);
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // First, while the process is small: what the hex view costs.
    const long before = peak_rss_mb();
    QTemporaryDir dir;
    const QByteArray binary = QFile::encodeName(dir.path()) + "/treiber.sys";
    {
        QFile f(QString::fromLocal8Bit(binary));
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        QByteArray block(1 << 20, Qt::Uninitialized);
        for (int mb = 0; mb < 50; ++mb) {
            QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(block.data()),
                                                  block.size() / 4);
            f.write(block);
        }
    }
    const Figures hex = load(app, binary);
    std::printf("50 MB binary in the hex view: first screen %.3f s, peak memory %ld MB (%ld MB "
                "before)\n",
                hex.first, peak_rss_mb(), before);
    std::vector<double> firsts;
    double worst = 0;
    QByteArray worst_name;
    for (int i = 1; i < argc; ++i) {
        const Figures f = load(app, QByteArray(argv[i]));
        const QByteArray name = QByteArray(argv[i]).split('/').last();
        std::printf("%-60.60s first %6.3f s  whole %6.3f s  silence %6.3f s\n", name.constData(),
                    f.first, f.whole, f.silent);
        if (f.first < 0)
            continue;
        firsts.push_back(f.first);
        if (f.first > worst) {
            worst = f.first;
            worst_name = name;
        }
    }
    if (!firsts.empty())
        std::printf("\n%zu files: first screen median %.3f s, slowest %.3f s (%s)\n", firsts.size(),
                    median(firsts), worst, worst_name.constData());
    return 0;
}
