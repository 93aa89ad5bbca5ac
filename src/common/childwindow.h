#pragma once

#include <QMdiSubWindow>

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

} // namespace talvence
