// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "childwindow.h"

class QLabel;
class QPushButton;

namespace talvence {

class RichTextBox;

// The help window: a heading, the page in a rich text box and a button that
// closes it. A fixed dialog border with a close box only.
class hilfefenster : public ChildWindow {
    Q_OBJECT
public:
    explicit hilfefenster(QWidget *parent = nullptr);

    RichTextBox *box() const { return helpbox; }

private:
    QLabel *Label3;
    RichTextBox *helpbox;
    QPushButton *Command1;
};

} // namespace talvence
