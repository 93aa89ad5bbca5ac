// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "childwindow.h"

class QImage;
class QLabel;

namespace talvence {

// The image viewer: the picture at its own size from the top left corner,
// cut off at the window's edges, no scroll bars. A sizable tool window:
// enlarging it shows more of the picture, never a scaled one.
class bildbetrachter : public ChildWindow {
    Q_OBJECT
public:
    explicit bildbetrachter(QWidget *parent = nullptr);

    // The picture replaces the one shown. Given over (moved in), its pixels
    // become the pixmap's without a copy where the display takes the format.
    void set_picture(QImage picture);
    QLabel *image() const { return Image1; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    QLabel *Image1;
    bool sized_ = false;
};

} // namespace talvence
