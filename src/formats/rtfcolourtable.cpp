// SPDX-License-Identifier: GPL-3.0-or-later
#include "rtfcolourtable.h"

#include <algorithm>

namespace talvence {

void RtfColourTable::clear()
{
    colours_.clear();
    red_ = green_ = blue_ = 0;
    set_ = false;
}

void RtfColourTable::set(int &component, int value)
{
    component = std::clamp(value, 0, 255);
    set_ = true;
}

void RtfColourTable::end_entry()
{
    colours_.push_back(set_ ? QColor(red_, green_, blue_) : QColor());
    red_ = green_ = blue_ = 0;
    set_ = false;
}

QColor RtfColourTable::colour(int index) const
{
    return index >= 0 && std::size_t(index) < colours_.size() ? colours_[std::size_t(index)]
                                                              : QColor();
}

} // namespace talvence
