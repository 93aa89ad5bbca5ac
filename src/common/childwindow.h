// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

namespace talvence {

// What every window inside the frame shares: a close box that answers the
// first click and Ctrl+F4, whatever window flags the window carries.
class ChildWindow : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit ChildWindow(QWidget *parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent *event) override;
};

// Every window inside the frame exists at most once. Makes the window when
// there is none (a close discards it, so the next one starts afresh) and
// adds it to the area; true when it was made just now.
template <typename W> bool make_single(QMdiArea *area, QPointer<W> &window)
{
    if (window)
        return false;
    window = new W;
    window->setAttribute(Qt::WA_DeleteOnClose);
    area->addSubWindow(window);
    return true;
}

// Shows the window, also a hidden one, as the active child window in front.
inline void bring_forward(QMdiArea *area, QMdiSubWindow *window)
{
    window->show();
    area->setActiveSubWindow(window);
    window->raise();
}

} // namespace talvence
