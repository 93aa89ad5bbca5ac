// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Qt's character and block formats for the properties of RTF text, made
// from the font and colour tables and kept for reuse: documents switch back
// and forth between a few formats (a bold word in plain text), and making
// one costs more than the text it formats.

#include <cstddef>
#include <utility>
#include <vector>

#include <QTextBlockFormat>
#include <QTextCharFormat>

#include "rtfproperties.h"

namespace talvence {

class RtfColourTable;
class RtfFontTable;

class RtfFormats {
public:
    RtfFormats(RtfFontTable &fonts, const RtfColourTable &colours);

    // The format of text with properties `p`; null when it is the one this
    // returned last, which the output still has.
    const QTextCharFormat *changed_char_format(const RtfCharProps &p);
    QTextBlockFormat block_format(const RtfParaProps &p);
    // The font or colour table changed: the formats made before no longer hold.
    void forget();
    // The text goes to another output, which has a format of its own.
    void output_changed() { applied_valid_ = false; }

private:
    QTextCharFormat make_char_format(const RtfCharProps &p);

    static constexpr std::size_t max_recent = 8;

    RtfFontTable &fonts_;
    const RtfColourTable &colours_;
    RtfCharProps applied_;
    bool applied_valid_ = false;
    std::vector<std::pair<RtfCharProps, QTextCharFormat>> recent_;
    RtfParaProps block_props_;
    QTextBlockFormat block_format_;
};

} // namespace talvence
