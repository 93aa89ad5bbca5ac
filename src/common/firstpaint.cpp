// SPDX-License-Identifier: GPL-3.0-or-later
#include "firstpaint.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include <QEvent>
#include <QWidget>

namespace talvence {

namespace {

class PaintWatch : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // The paint event is handed on first; the time is taken once the
        // window has drawn itself.
        if (event->type() != QEvent::Paint)
            return false;
        auto *window = static_cast<QWidget *>(watched);
        window->removeEventFilter(this);
        QMetaObject::invokeMethod(
            this,
            [this] {
                timespec now;
                ::clock_gettime(CLOCK_MONOTONIC, &now);
                std::printf("painted %lld\n", now.tv_sec * 1000000000LL + now.tv_nsec);
                std::fflush(stdout);
                // "exit": gone at once, so that a profiler's count of the
                // start ends at the first paint.
                if (qgetenv("TALVENCE_FIRST_PAINT") == "exit")
                    std::_Exit(0);
                deleteLater();
            },
            Qt::QueuedConnection);
        return false;
    }
};

} // namespace

void report_first_paint(QWidget *window)
{
    if (qEnvironmentVariableIsSet("TALVENCE_FIRST_PAINT"))
        window->installEventFilter(new PaintWatch(window));
}

} // namespace talvence
