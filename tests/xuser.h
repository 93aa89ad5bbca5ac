// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A user at the keyboard and mouse, for the window tests that run under a
// real X server and window manager (tests/run_x11.sh): every press goes
// through the X server as XTest input (xdotool), so it meets the window
// manager, the window frames, the active window and the shortcuts exactly as
// a person's would. Offscreen events and calls such as close() skip all that.

#include <optional>

#include <QMdiSubWindow>
#include <QProcess>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QWidget>
#include <QtTest>

class XUser {
public:
    static bool available()
    {
        return !QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty();
    }

    // Moves the pointer there in one step and clicks the left button.
    static bool click_at(QPoint global)
    {
        return xdotool({QStringLiteral("mousemove"), QString::number(global.x()),
                        QString::number(global.y()), QStringLiteral("click"), QStringLiteral("1")});
    }
    // A point of a widget, its centre unless told otherwise.
    static bool click(const QWidget *w, std::optional<QPoint> local = std::nullopt)
    {
        return click_at(w->mapToGlobal(local.value_or(w->rect().center())));
    }
    // One notch of the wheel towards the user, where the pointer is.
    static bool click_wheel_down()
    {
        return xdotool({QStringLiteral("click"), QStringLiteral("5")});
    }
    // Presses the left button at one point, moves to another and lets go.
    static bool drag(const QWidget *w, QPoint from, QPoint to)
    {
        const QPoint a = w->mapToGlobal(from), b = w->mapToGlobal(to);
        return xdotool({QStringLiteral("mousemove"), QString::number(a.x()), QString::number(a.y()),
                        QStringLiteral("mousedown"), QStringLiteral("1"),
                        QStringLiteral("mousemove"), QString::number((a.x() + b.x()) / 2),
                        QString::number((a.y() + b.y()) / 2), QStringLiteral("mousemove"),
                        QString::number(b.x()), QString::number(b.y()), QStringLiteral("mouseup"),
                        QStringLiteral("1")});
    }
    // Keys in xdotool's notation: "ctrl+F4", "Down", "Return".
    static bool key(const QString &keys) { return xdotool({QStringLiteral("key"), keys}); }
    static bool type(const QString &text)
    {
        return xdotool(
            {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), text});
    }

    // Where a child window's close box and caption lie in its title bar, in
    // the window's own coordinates, as its style draws them.
    static QRect title_bar_part(const QMdiSubWindow *w, QStyle::SubControl part)
    {
        QStyleOptionTitleBar opt;
        opt.initFrom(w);
        opt.titleBarFlags = w->windowFlags();
        opt.titleBarState = int(w->windowState());
        opt.subControls = QStyle::SC_All;
        opt.text = w->windowTitle();
        opt.icon = w->windowIcon();
        opt.rect =
            QRect(0, 0, w->width(), w->style()->pixelMetric(QStyle::PM_TitleBarHeight, &opt, w));
        return w->style()->subControlRect(QStyle::CC_TitleBar, &opt, part, w);
    }

private:
    static bool xdotool(const QStringList &args)
    {
        QProcess p;
        p.start(QStringLiteral("xdotool"), args);
        return p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit &&
               p.exitCode() == 0;
    }
};
