// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "childwindow.h"

namespace talvence {

class RichTextBox;

// The text viewer: one rich text box that fills the window but for a narrow
// margin at its right and bottom. A fixed tool window.
class textbetrachter : public ChildWindow {
    Q_OBJECT
public:
    explicit textbetrachter(QWidget *parent = nullptr);

    RichTextBox *box() const { return RichTextBox1; }

private:
    RichTextBox *RichTextBox1;
};

} // namespace talvence
