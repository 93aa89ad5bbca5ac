// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The names of the modifier keys as a German keyboard has them printed, for
// the shortcuts menus show ("Strg+Z", not "Ctrl+Z"): the rest of the
// program speaks German, and Qt's own translations may not be installed.

#include <QTranslator>

namespace talvence {

class GermanKeyNames : public QTranslator {
public:
    using QTranslator::QTranslator;
    QString translate(const char *context, const char *source, const char *disambiguation,
                      int n) const override;
    bool isEmpty() const override { return false; }
};

} // namespace talvence
