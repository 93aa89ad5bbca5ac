// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up to the frame on screen: Talvence's start against a bare Qt main
// window, each a fresh process timed from its start until its window is
// exposed, alternated in one run so the machine's noise falls on all.
//
// Two bare windows: an empty one, which never draws a letter and so never
// loads the font database, and one with a one-entry menu bar, the least main
// window that shows text and pays for the fonts as every real program does.
//
//   bench_startup [-r runs]          (default 15; uses $DISPLAY, else offscreen)

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QMenuBar>
#include <QProcess>
#include <QWindow>

#include "frmmain.h"
#include "module1.h"

namespace {

// Ends the child once its window has been exposed the first time.
class ExposeWatch : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow *>(watched)->isExposed())
            std::_Exit(0);
        return false;
    }
};

enum class Mode { Talvence, Bare, BareWithText };

int child(int argc, char **argv, Mode mode)
{
    QApplication app(argc, argv);
    ExposeWatch watch;
    QWidget *frame;
    if (mode == Mode::Talvence) {
        frame = talvence::Module1::Main();
    } else {
        auto *bare = new QMainWindow;
        if (mode == Mode::BareWithText)
            bare->menuBar()->addAction(QStringLiteral("Start"));
        bare->resize(525, 600);
        bare->show();
        frame = bare;
    }
    frame->windowHandle()->installEventFilter(&watch);
    return app.exec();
}

double run_once(const QString &self, const char *mode)
{
    QElapsedTimer clock;
    QProcess p;
    clock.start();
    p.start(self, {QString::fromLatin1(mode)});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) {
        std::fprintf(stderr, "bench_startup: %s did not come up\n", mode);
        std::exit(1);
    }
    return clock.nsecsElapsed() / 1e6;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--talvence") == 0)
        return child(argc, argv, Mode::Talvence);
    if (argc > 1 && std::strcmp(argv[1], "--bare") == 0)
        return child(argc, argv, Mode::Bare);
    if (argc > 1 && std::strcmp(argv[1], "--bare-text") == 0)
        return child(argc, argv, Mode::BareWithText);
    int runs = 15;
    if (argc > 2 && std::strcmp(argv[1], "-r") == 0)
        runs = std::max(1, std::atoi(argv[2]));
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QString self = QString::fromLocal8Bit(argv[0]);
    std::vector<double> ours, bare, text;
    for (const char *mode : {"--bare", "--bare-text", "--talvence"})
        run_once(self, mode); // warm the caches for all
    for (int i = 0; i < runs; ++i) {
        bare.push_back(run_once(self, "--bare"));
        text.push_back(run_once(self, "--bare-text"));
        ours.push_back(run_once(self, "--talvence"));
    }
    const double o = median(ours), b = median(bare), t = median(text);
    std::printf("start-up to frame on screen (%s, median of %d runs, goal 1.30):\n",
                qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("xcb")).toUtf8().constData(),
                runs);
    std::printf("  talvence %.1f ms\n", o);
    std::printf("  bare main window with a menu entry %.1f ms   ratio %.2f\n", t, o / t);
    std::printf("  empty main window (no text, no fonts) %.1f ms   ratio %.2f\n", b, o / b);
    return 0;
}
