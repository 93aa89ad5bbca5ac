// SPDX-License-Identifier: GPL-3.0-or-later
#include "busywork.h"

#include <QApplication>
#include <QEvent>
#include <QLocale>
#include <QWidget>

#include "stopsignals.h"

namespace talvence {

Work &Work::state()
{
    static Work instance;
    // A stop signal during work waits for the work's next step; a message
    // the work waits on (the prefix that is too long) goes, so that it gets
    // there.
    [[maybe_unused]] static const bool deferred =
        (defer_stop_while([] {
             if (!instance.running())
                 return false;
             // A message the work waits on (a prefix that is too long) goes,
             // so that the work gets to its next step.
             if (QWidget *modal = QApplication::activeModalWidget())
                 modal->close();
             return true;
         }),
         true);
    return instance;
}

BusyWork::BusyWork()
{
    ++Work::state().depth_;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    qApp->installEventFilter(this);
    since_.start();
}

BusyWork::~BusyWork()
{
    qApp->removeEventFilter(this);
    if (!paused_)
        QApplication::restoreOverrideCursor();
    Work &work = Work::state();
    Q_EMIT work.progress(QString());
    if (--work.depth_ == 0 && (work.end_requested_ || stop_signal_received()))
        QMetaObject::invokeMethod(&work, &Work::end_now, Qt::QueuedConnection);
}

bool BusyWork::step(int pass, int passes, qsizetype done, qsizetype total)
{
    if (stop_signal_received())
        return false;
    // The clock is asked every sixteenth step, the windows at most ten
    // times a second: a rename on a fast disk takes a microsecond or two.
    if ((++calls_ & 15) != 0 || since_.elapsed() < 100)
        return true;
    since_.restart();
    // Grouped the German way, as the words around them are German.
    const QLocale locale(QLocale::German, QLocale::Germany);
    QString text = QStringLiteral("%1 von %2 Dateien")
                       .arg(locale.toString(qlonglong(done)), locale.toString(qlonglong(total)));
    if (passes > 1)
        text = QStringLiteral("Schritt %1 von %2: ").arg(pass).arg(passes) + text;
    Q_EMIT Work::state().progress(text);
    QCoreApplication::processEvents();
    return !stop_signal_received();
}

void BusyWork::pause()
{
    if (paused_)
        return;
    paused_ = true;
    QApplication::restoreOverrideCursor();
}

void BusyWork::resume()
{
    if (!paused_)
        return;
    paused_ = false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

bool BusyWork::eventFilter(QObject *watched, QEvent *event)
{
    if (paused_)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        // Each press reaches the filter once for each widget it would pass
        // through; count it once, at the window it arrived at.
        if (watched->isWindowType())
            ++Work::state().swallowed_;
        return true;
    default:
        return QObject::eventFilter(watched, event);
    }
}

} // namespace talvence
