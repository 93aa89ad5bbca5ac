// SPDX-License-Identifier: GPL-3.0-or-later
#include "germankeynames.h"

#include <cstring>

namespace talvence {

QString GermanKeyNames::translate(const char *context, const char *source, const char *, int) const
{
    // QKeySequence asks in the context "QShortcut" for each key's name.
    if (!context || !source || std::strcmp(context, "QShortcut") != 0)
        return {};
    static const struct {
        const char *key;
        const char *german;
    } names[] = {
        {"Ctrl", "Strg"}, {"Shift", "Umschalt"}, {"Alt", "Alt"},       {"Del", "Entf"},
        {"Ins", "Einfg"}, {"Esc", "Esc"},        {"PgUp", "Bild auf"}, {"PgDown", "Bild ab"},
        {"Home", "Pos1"}, {"End", "Ende"},
    };
    for (const auto &n : names)
        if (std::strcmp(source, n.key) == 0)
            return QString::fromUtf8(n.german);
    return {};
}

} // namespace talvence
