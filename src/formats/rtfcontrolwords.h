// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The control words the RTF reader knows, each with what it does and the
// value that goes with it (a character, a style, a selector), and the
// look-up of a word of the document among them. Words not listed are
// passed over; a destination not listed is skipped when marked with \*.

#include <string_view>

namespace talvence {

enum class RtfOp : unsigned char {
    // destinations
    skip,
    font_table,
    colour_table,
    field,
    field_instruction,
    field_result,
    list_text,
    upr,
    ud,
    transparent, // a marked destination whose content is read as usual
    picture,
    list_table,
    list_overrides,
    level_text, // value: 0 \leveltext, 1 \levelmarker
    numbering,
    numbering_text, // value: 0 before the number, 1 after
    // document
    code_page,       // \ansicpgN
    fixed_code_page, // \mac, \pc, \pca; value: the code page
    default_font,
    // font table
    charset,
    font_code_page,
    font_family, // value: QFont::StyleHint
    // colour table
    red,
    green,
    blue,
    // characters
    plain,
    font,
    associated_font, // \af: in a list level, the font of its text where \f is not given
    font_size,
    colour,
    background,
    bold,
    italic,
    strike,
    hidden,
    underline, // value: QTextCharFormat::UnderlineStyle
    no_underline,
    caps, // value: QFont::Capitalization
    super,
    sub,
    no_super_sub,
    up,
    down,
    unicode,
    unicode_skip,
    character, // value: the UTF-16 unit
    // paragraphs
    pard,
    par,
    align, // value: Qt::Alignment
    left_indent,
    right_indent,
    first_indent,
    space_before,
    space_after,
    right_to_left,
    left_to_right,
    in_table,
    nesting, // \itap
    cell,
    row,
    nested_cell,
    nested_row,
    row_definition, // value: RowWord
    nested_table_properties,
    // lists
    list,
    list_level,
    list_id,
    list_override,
    list_override_level,
    list_number,
    list_level_number,
    level_format,
    level_start,
    level_follow,
    level_align,
    numbering_level,  // value: 0 for \pnlvlN, or numbering_body_level, numbering_bullet_level
    numbering_format, // value: NumberFormat
    numbering_start,
    numbering_font,
    // pictures
    picture_type, // value: PictureType
    picture_size, // value: PictureSize
    // notes
    footnote,
    footnote_mark,
    footnote_format, // value: NumberFormat
    endnote_format,  // value: NumberFormat
    footnote_start,
    endnote_start,
};

struct RtfControlWord {
    std::string_view name;
    RtfOp op;
    int value;
};

// The entry of `name` (a word without its backslash or parameter), or null.
const RtfControlWord *find_control_word(std::string_view name);

} // namespace talvence
