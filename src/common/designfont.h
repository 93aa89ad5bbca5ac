// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>

namespace talvence {

// The windows' design measures its captions in "MS Sans Serif" 8 point. Where
// it is missing, a face of Arial's widths keeps the captions inside their
// controls, and the system's sans-serif face comes last.
inline QFont design_font()
{
    QFont font(QStringLiteral("MS Sans Serif"), 8);
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arial")});
    font.setStyleHint(QFont::SansSerif);
    return font;
}

} // namespace talvence
