// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "childwindow.h"

class QLabel;
class QPushButton;

namespace talvence {

// The viewer choice for a file of a type without a viewer of its own. It is
// handed no file: its buttons open whatever is selected in the file list at
// the moment they are pressed.
class Betrachtungsprog_wahl : public ChildWindow {
    Q_OBJECT
public:
    explicit Betrachtungsprog_wahl(QWidget *parent = nullptr);

Q_SIGNALS:
    void image_viewer_chosen();
    void text_viewer_chosen();

private:
    QLabel *Label1;
    QPushButton *Command_bild;
    QPushButton *Command_text;
    QPushButton *Command1;
};

} // namespace talvence
