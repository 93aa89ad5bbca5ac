// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The colour table of an RTF document (\colortbl): entries apart by ";",
// each of \red, \green and \blue, or none of them for the automatic colour.

#include <vector>

#include <QColor>

namespace talvence {

class RtfColourTable {
public:
    // A new table, in place of any before it.
    void clear();
    void set_red(int value) { set(red_, value); }
    void set_green(int value) { set(green_, value); }
    void set_blue(int value) { set(blue_, value); }
    // The ";" after an entry.
    void end_entry();
    // The colour of entry `index`; invalid for the automatic colour and for
    // an index the table does not have.
    QColor colour(int index) const;

private:
    void set(int &component, int value);

    std::vector<QColor> colours_;
    int red_ = 0, green_ = 0, blue_ = 0;
    bool set_ = false;
};

} // namespace talvence
