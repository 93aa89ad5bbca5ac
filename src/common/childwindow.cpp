// SPDX-License-Identifier: GPL-3.0-or-later
#include "childwindow.h"

#include <QAction>
#include <QKeySequence>
#include <QMouseEvent>

namespace talvence {

ChildWindow::ChildWindow(QWidget *parent) : QMdiSubWindow(parent)
{
    // The window menu that carries Ctrl+F4 comes only with a system-menu
    // button in the title bar, which a tool window's narrow bar does not
    // have; the shortcut lives on the window itself instead.
    auto *close_action = new QAction(this);
    close_action->setObjectName(QStringLiteral("close_shortcut"));
    close_action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F4));
    close_action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(close_action, &QAction::triggered, this, &QWidget::close);
    addAction(close_action);
}

void ChildWindow::mousePressEvent(QMouseEvent *event)
{
    // A child window learns which part of its title bar lies under the
    // pointer only from pointer moves, and the first move after a release
    // on the title bar merely ends the drag that release left armed. A
    // pointer that then jumps to the close box in one step (a quick hand, a
    // touch pad tap, a tablet) presses a close box the window still takes
    // for the caption, and the click is lost. Two moves at the very spot of
    // the press bring that knowledge up to date before the press counts.
    if (event->button() == Qt::LeftButton && event->buttons() == Qt::LeftButton) {
        for (int i = 0; i < 2; ++i) {
            QMouseEvent move(QEvent::MouseMove, event->position(), event->scenePosition(),
                             event->globalPosition(), Qt::NoButton, Qt::NoButton,
                             event->modifiers(), event->pointingDevice());
            QMdiSubWindow::mouseMoveEvent(&move);
        }
    }
    QMdiSubWindow::mousePressEvent(event);
}

} // namespace talvence
