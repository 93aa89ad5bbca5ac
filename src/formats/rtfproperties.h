// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The character and paragraph properties of RTF text as the reader keeps
// them per group: what the control words set, before they become Qt's
// formats (rtfformats.h).

#include <QFont>
#include <QString>
#include <QTextCharFormat>

namespace talvence {

struct RtfCharProps {
    int font = -1; // -1: the document's default font (\deff)
    int half_points = 24;
    int colour = 0;
    int background = 0;
    bool bold = false;
    bool italic = false;
    bool strike = false;
    bool hidden = false;
    QTextCharFormat::UnderlineStyle underline = QTextCharFormat::NoUnderline;
    QFont::Capitalization caps = QFont::MixedCase;
    QTextCharFormat::VerticalAlignment vertical = QTextCharFormat::AlignNormal;
    QString href; // of a hyperlink field's result
    bool operator==(const RtfCharProps &) const = default;
};

struct RtfParaProps {
    Qt::Alignment alignment = Qt::AlignLeft;
    int left = 0; // twips
    int right = 0;
    int first = 0;
    int before = 0;
    int after = 0;
    bool right_to_left = false;
    bool in_table = false;
    int nesting = 0;    // \itap: in how many tables, one inside the other
    int list = 0;       // \ls: 0 for none
    int list_level = 0; // \ilvl
    int numbering = -1; // the paragraph's \pn (RtfNumbering::finish_numbering)
    // How the paragraph's number stands at its first-line indent (\leveljc:
    // 0 starts there, 1 is centred on it, 2 ends there), the number put
    // between tabs; not a word of the document's own.
    int number_align = 0;
    bool operator==(const RtfParaProps &) const = default;
};

} // namespace talvence
