// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Every position and size of the windows is designed in twips: 15 of them
// make one device-independent pixel. Qt's high-DPI scaling does the rest.

#include <QRect>
#include <QSize>

namespace talvence {

inline constexpr int twips_per_pixel = 15;

// Rounded to the nearest pixel. Documents hand in any number a control word
// holds, up to the ends of int: the sum is made in 64 bits, and the quotient
// always fits.
constexpr int px(int twips)
{
    return int((static_cast<long long>(twips) +
                (twips >= 0 ? twips_per_pixel / 2 : -twips_per_pixel / 2)) /
               twips_per_pixel);
}
static_assert(px(2147483647) == 143165576 && px(-2147483647 - 1) == -143165577);
static_assert(px(7) == 0 && px(8) == 1 && px(-8) == -1);
constexpr int to_twips(int pixels)
{
    return pixels * twips_per_pixel;
}
constexpr QRect twips_rect(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}
constexpr QSize twips_size(int width, int height)
{
    return QSize(px(width), px(height));
}

} // namespace talvence
