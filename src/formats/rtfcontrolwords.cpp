// SPDX-License-Identifier: GPL-3.0-or-later
#include "rtfcontrolwords.h"

#include <array>
#include <cstdint>
#include <iterator>

#include <QFont>
#include <QTextCharFormat>

#include "rtfnumbering.h"
#include "rtfpicture.h"
#include "rtfrowdefinition.h"

namespace talvence {

namespace {

using enum RtfOp;

// A plain array: deducing a std::array of this many entries exceeds clang's
// nesting limit.
const RtfControlWord control_words[] = {
    // Destinations whose content is not part of the text.
    RtfControlWord{"aftncn", skip, 0},
    RtfControlWord{"aftnsep", skip, 0},
    RtfControlWord{"aftnsepc", skip, 0},
    RtfControlWord{"annotation", skip, 0},
    RtfControlWord{"atnauthor", skip, 0},
    RtfControlWord{"atndate", skip, 0},
    RtfControlWord{"atnicn", skip, 0},
    RtfControlWord{"atnid", skip, 0},
    RtfControlWord{"atnparent", skip, 0},
    RtfControlWord{"atnref", skip, 0},
    RtfControlWord{"atntime", skip, 0},
    RtfControlWord{"atrfend", skip, 0},
    RtfControlWord{"atrfstart", skip, 0},
    RtfControlWord{"author", skip, 0},
    RtfControlWord{"background", skip, 0},
    RtfControlWord{"bkmkend", skip, 0},
    RtfControlWord{"bkmkstart", skip, 0},
    RtfControlWord{"blipuid", skip, 0},
    RtfControlWord{"buptim", skip, 0},
    RtfControlWord{"category", skip, 0},
    RtfControlWord{"colorschememapping", skip, 0},
    RtfControlWord{"comment", skip, 0},
    RtfControlWord{"company", skip, 0},
    RtfControlWord{"creatim", skip, 0},
    RtfControlWord{"datafield", skip, 0},
    RtfControlWord{"datastore", skip, 0},
    RtfControlWord{"defchp", skip, 0},
    RtfControlWord{"defpap", skip, 0},
    RtfControlWord{"do", skip, 0},
    RtfControlWord{"doccomm", skip, 0},
    RtfControlWord{"docvar", skip, 0},
    RtfControlWord{"expandedcolortbl", skip, 0},
    RtfControlWord{"falt", skip, 0},
    RtfControlWord{"fname", skip, 0},
    RtfControlWord{"fchars", skip, 0},
    RtfControlWord{"ffdeftext", skip, 0},
    RtfControlWord{"ffentrymcr", skip, 0},
    RtfControlWord{"ffexitmcr", skip, 0},
    RtfControlWord{"ffformat", skip, 0},
    RtfControlWord{"ffhelptext", skip, 0},
    RtfControlWord{"ffl", skip, 0},
    RtfControlWord{"ffname", skip, 0},
    RtfControlWord{"levelnumbers", skip, 0},
    RtfControlWord{"listname", skip, 0},
    RtfControlWord{"ffstattext", skip, 0},
    RtfControlWord{"fldtype", skip, 0},
    RtfControlWord{"fontemb", skip, 0},
    RtfControlWord{"fontfile", skip, 0},
    RtfControlWord{"footer", skip, 0},
    RtfControlWord{"footerf", skip, 0},
    RtfControlWord{"footerl", skip, 0},
    RtfControlWord{"footerr", skip, 0},
    RtfControlWord{"formfield", skip, 0},
    RtfControlWord{"ftncn", skip, 0},
    RtfControlWord{"ftnsep", skip, 0},
    RtfControlWord{"ftnsepc", skip, 0},
    RtfControlWord{"generator", skip, 0},
    RtfControlWord{"header", skip, 0},
    RtfControlWord{"headerf", skip, 0},
    RtfControlWord{"headerl", skip, 0},
    RtfControlWord{"headerr", skip, 0},
    RtfControlWord{"hlinkbase", skip, 0},
    RtfControlWord{"htmltag", skip, 0},
    RtfControlWord{"info", skip, 0},
    RtfControlWord{"keywords", skip, 0},
    RtfControlWord{"latentstyles", skip, 0},
    RtfControlWord{"lchars", skip, 0},
    RtfControlWord{"listpicture", skip, 0},
    RtfControlWord{"manager", skip, 0},
    RtfControlWord{"mmathPr", skip, 0},
    RtfControlWord{"nonesttables", skip, 0},
    RtfControlWord{"nonshppict", skip, 0},
    RtfControlWord{"objdata", skip, 0},
    RtfControlWord{"object", skip, 0},
    RtfControlWord{"oldcprops", skip, 0},
    RtfControlWord{"oldpprops", skip, 0},
    RtfControlWord{"oldsprops", skip, 0},
    RtfControlWord{"oldtprops", skip, 0},
    RtfControlWord{"operator", skip, 0},
    RtfControlWord{"panose", skip, 0},
    RtfControlWord{"pgdsctbl", skip, 0},
    RtfControlWord{"pnseclvl", skip, 0},
    RtfControlWord{"printim", skip, 0},
    RtfControlWord{"private", skip, 0},
    RtfControlWord{"protusertbl", skip, 0},
    RtfControlWord{"revtbl", skip, 0},
    RtfControlWord{"revtim", skip, 0},
    RtfControlWord{"rsidtbl", skip, 0},
    RtfControlWord{"rxe", skip, 0},
    RtfControlWord{"shp", skip, 0},
    RtfControlWord{"shpinst", skip, 0},
    RtfControlWord{"shprslt", skip, 0},
    RtfControlWord{"sn", skip, 0},
    RtfControlWord{"sp", skip, 0},
    RtfControlWord{"stylesheet", skip, 0},
    RtfControlWord{"subject", skip, 0},
    RtfControlWord{"sv", skip, 0},
    RtfControlWord{"tc", skip, 0},
    RtfControlWord{"template", skip, 0},
    RtfControlWord{"themedata", skip, 0},
    RtfControlWord{"title", skip, 0},
    RtfControlWord{"txe", skip, 0},
    RtfControlWord{"userprops", skip, 0},
    RtfControlWord{"wgrffmtfilter", skip, 0},
    RtfControlWord{"xe", skip, 0},
    RtfControlWord{"xmlnstbl", skip, 0},
    // Destinations that are read.
    RtfControlWord{"fonttbl", font_table, 0},
    RtfControlWord{"colortbl", colour_table, 0},
    RtfControlWord{"field", field, 0},
    RtfControlWord{"fldinst", field_instruction, 0},
    RtfControlWord{"fldrslt", field_result, 0},
    RtfControlWord{"listtext", list_text, 0},
    RtfControlWord{"pntext", list_text, 0},
    RtfControlWord{"upr", upr, 0},
    RtfControlWord{"ud", ud, 0},
    // Table properties of a nested table, with the text of its
    // cells among them: read as any group.
    RtfControlWord{"nesttableprops", nested_table_properties, 0},
    // The picture Word meant for readers that know shapes; its
    // \nonshppict twin is skipped.
    RtfControlWord{"shppict", transparent, 0},
    RtfControlWord{"pict", picture, 0},
    RtfControlWord{"listtable", list_table, 0},
    RtfControlWord{"listoverridetable", list_overrides, 0},
    RtfControlWord{"leveltext", level_text, 0},
    RtfControlWord{"levelmarker", level_text, 1},
    RtfControlWord{"pn", numbering, 0},
    RtfControlWord{"pntxtb", numbering_text, 0},
    RtfControlWord{"pntxta", numbering_text, 1},
    // The document.
    RtfControlWord{"ansicpg", code_page, 0},
    RtfControlWord{"mac", fixed_code_page, 10000},
    RtfControlWord{"pc", fixed_code_page, 437},
    RtfControlWord{"pca", fixed_code_page, 850},
    RtfControlWord{"deff", default_font, 0},
    // The font and colour tables.
    RtfControlWord{"fcharset", charset, 0},
    RtfControlWord{"cpg", font_code_page, 0},
    RtfControlWord{"fnil", font_family, QFont::AnyStyle},
    RtfControlWord{"froman", font_family, QFont::Serif},
    RtfControlWord{"fswiss", font_family, QFont::SansSerif},
    RtfControlWord{"fmodern", font_family, QFont::TypeWriter},
    RtfControlWord{"fscript", font_family, QFont::Cursive},
    RtfControlWord{"fdecor", font_family, QFont::Decorative},
    RtfControlWord{"ftech", font_family, QFont::AnyStyle},
    RtfControlWord{"fbidi", font_family, QFont::AnyStyle},
    RtfControlWord{"red", red, 0},
    RtfControlWord{"green", green, 0},
    RtfControlWord{"blue", blue, 0},
    // Characters.
    RtfControlWord{"plain", plain, 0},
    RtfControlWord{"f", font, 0},
    RtfControlWord{"af", associated_font, 0},
    RtfControlWord{"fs", font_size, 0},
    RtfControlWord{"cf", colour, 0},
    RtfControlWord{"cb", background, 0},
    RtfControlWord{"highlight", background, 0},
    RtfControlWord{"chcbpat", background, 0},
    RtfControlWord{"b", bold, 0},
    RtfControlWord{"i", italic, 0},
    RtfControlWord{"strike", strike, 0},
    RtfControlWord{"striked", strike, 0},
    RtfControlWord{"v", hidden, 0},
    RtfControlWord{"ul", underline, QTextCharFormat::SingleUnderline},
    RtfControlWord{"uld", underline, QTextCharFormat::DotLine},
    RtfControlWord{"uldash", underline, QTextCharFormat::DashUnderline},
    RtfControlWord{"uldashd", underline, QTextCharFormat::DashDotLine},
    RtfControlWord{"uldashdd", underline, QTextCharFormat::DashDotDotLine},
    RtfControlWord{"uldb", underline, QTextCharFormat::SingleUnderline},
    RtfControlWord{"ulhwave", underline, QTextCharFormat::WaveUnderline},
    RtfControlWord{"ulldash", underline, QTextCharFormat::DashUnderline},
    RtfControlWord{"ulth", underline, QTextCharFormat::SingleUnderline},
    RtfControlWord{"ulthd", underline, QTextCharFormat::DotLine},
    RtfControlWord{"ulthdash", underline, QTextCharFormat::DashUnderline},
    RtfControlWord{"ulthdashd", underline, QTextCharFormat::DashDotLine},
    RtfControlWord{"ulthdashdd", underline, QTextCharFormat::DashDotDotLine},
    RtfControlWord{"ulthldash", underline, QTextCharFormat::DashUnderline},
    RtfControlWord{"ululdbwave", underline, QTextCharFormat::WaveUnderline},
    RtfControlWord{"ulw", underline, QTextCharFormat::SingleUnderline},
    RtfControlWord{"ulwave", underline, QTextCharFormat::WaveUnderline},
    RtfControlWord{"ulnone", no_underline, 0},
    RtfControlWord{"caps", caps, QFont::AllUppercase},
    RtfControlWord{"scaps", caps, QFont::SmallCaps},
    RtfControlWord{"super", super, 0},
    RtfControlWord{"sub", sub, 0},
    RtfControlWord{"nosupersub", no_super_sub, 0},
    RtfControlWord{"up", up, 0},
    RtfControlWord{"dn", down, 0},
    RtfControlWord{"u", unicode, 0},
    RtfControlWord{"uc", unicode_skip, 0},
    RtfControlWord{"tab", character, '\t'},
    RtfControlWord{"line", character, 0x2028},
    RtfControlWord{"lbr", character, 0x2028},
    RtfControlWord{"emdash", character, 0x2014},
    RtfControlWord{"endash", character, 0x2013},
    RtfControlWord{"bullet", character, 0x2022},
    RtfControlWord{"lquote", character, 0x2018},
    RtfControlWord{"rquote", character, 0x2019},
    RtfControlWord{"ldblquote", character, 0x201C},
    RtfControlWord{"rdblquote", character, 0x201D},
    RtfControlWord{"emspace", character, 0x2003},
    RtfControlWord{"enspace", character, 0x2002},
    RtfControlWord{"qmspace", character, 0x2005},
    RtfControlWord{"zwj", character, 0x200D},
    RtfControlWord{"zwnj", character, 0x200C},
    RtfControlWord{"zwbo", character, 0x200B},
    RtfControlWord{"zwnbo", character, 0xFEFF},
    RtfControlWord{"ltrmark", character, 0x200E},
    RtfControlWord{"rtlmark", character, 0x200F},
    // Paragraphs and tables.
    RtfControlWord{"pard", pard, 0},
    RtfControlWord{"par", par, 0},
    RtfControlWord{"sect", par, 0},
    RtfControlWord{"page", par, 0},
    RtfControlWord{"column", par, 0},
    RtfControlWord{"ql", align, Qt::AlignLeft},
    RtfControlWord{"qr", align, Qt::AlignRight},
    RtfControlWord{"qc", align, Qt::AlignHCenter},
    RtfControlWord{"qj", align, Qt::AlignJustify},
    RtfControlWord{"qd", align, Qt::AlignJustify},
    RtfControlWord{"li", left_indent, 0},
    RtfControlWord{"lin", left_indent, 0},
    RtfControlWord{"ri", right_indent, 0},
    RtfControlWord{"rin", right_indent, 0},
    RtfControlWord{"fi", first_indent, 0},
    RtfControlWord{"sb", space_before, 0},
    RtfControlWord{"sa", space_after, 0},
    RtfControlWord{"rtlpar", right_to_left, 0},
    RtfControlWord{"ltrpar", left_to_right, 0},
    RtfControlWord{"intbl", in_table, 0},
    RtfControlWord{"itap", nesting, 0},
    RtfControlWord{"cell", cell, 0},
    RtfControlWord{"row", row, 0},
    RtfControlWord{"nestcell", nested_cell, 0},
    RtfControlWord{"nestrow", nested_row, 0},
    // Tables: the rows' definitions.
    RtfControlWord{"trowd", row_definition, int(RowWord::reset)},
    RtfControlWord{"trql", row_definition, int(RowWord::align_left)},
    RtfControlWord{"trqc", row_definition, int(RowWord::align_centre)},
    RtfControlWord{"trqr", row_definition, int(RowWord::align_right)},
    RtfControlWord{"trleft", row_definition, int(RowWord::left)},
    RtfControlWord{"trgaph", row_definition, int(RowWord::gap)},
    RtfControlWord{"trpaddl", row_definition, int(RowWord::padding_left)},
    RtfControlWord{"trpaddr", row_definition, int(RowWord::padding_right)},
    RtfControlWord{"trpaddfl", row_definition, int(RowWord::padding_left_unit)},
    RtfControlWord{"trpaddfr", row_definition, int(RowWord::padding_right_unit)},
    RtfControlWord{"cellx", row_definition, int(RowWord::cell_end)},
    RtfControlWord{"clbrdrl", row_definition, int(RowWord::cell_border_left)},
    RtfControlWord{"clbrdrt", row_definition, int(RowWord::cell_border_top)},
    RtfControlWord{"clbrdrr", row_definition, int(RowWord::cell_border_right)},
    RtfControlWord{"clbrdrb", row_definition, int(RowWord::cell_border_bottom)},
    RtfControlWord{"trbrdrl", row_definition, int(RowWord::row_border_left)},
    RtfControlWord{"trbrdrt", row_definition, int(RowWord::row_border_top)},
    RtfControlWord{"trbrdrr", row_definition, int(RowWord::row_border_right)},
    RtfControlWord{"trbrdrb", row_definition, int(RowWord::row_border_bottom)},
    RtfControlWord{"trbrdrv", row_definition, int(RowWord::row_border_vertical)},
    RtfControlWord{"trbrdrh", row_definition, int(RowWord::row_border_horizontal)},
    RtfControlWord{"brdrt", row_definition, int(RowWord::paragraph_border)},
    RtfControlWord{"brdrb", row_definition, int(RowWord::paragraph_border)},
    RtfControlWord{"brdrl", row_definition, int(RowWord::paragraph_border)},
    RtfControlWord{"brdrr", row_definition, int(RowWord::paragraph_border)},
    RtfControlWord{"brdrbtw", row_definition, int(RowWord::paragraph_border)},
    RtfControlWord{"brdrbar", row_definition, int(RowWord::paragraph_border)},
    RtfControlWord{"box", row_definition, int(RowWord::paragraph_border)},
    RtfControlWord{"brdrs", row_definition, int(RowWord::border_single)},
    RtfControlWord{"brdrhair", row_definition, int(RowWord::border_single)},
    RtfControlWord{"brdrsh", row_definition, int(RowWord::border_single)},
    RtfControlWord{"brdrth", row_definition, int(RowWord::border_thick)},
    RtfControlWord{"brdrdb", row_definition, int(RowWord::border_double)},
    RtfControlWord{"brdrtriple", row_definition, int(RowWord::border_double)},
    RtfControlWord{"brdrdot", row_definition, int(RowWord::border_dotted)},
    RtfControlWord{"brdrdash", row_definition, int(RowWord::border_dashed)},
    RtfControlWord{"brdrdashsm", row_definition, int(RowWord::border_dashed)},
    RtfControlWord{"brdrnone", row_definition, int(RowWord::border_none)},
    RtfControlWord{"brdrnil", row_definition, int(RowWord::border_none)},
    RtfControlWord{"brdrtbl", row_definition, int(RowWord::border_none)},
    RtfControlWord{"brdrw", row_definition, int(RowWord::border_width)},
    RtfControlWord{"brdrcf", row_definition, int(RowWord::border_colour)},
    RtfControlWord{"clcbpat", row_definition, int(RowWord::shading_colour)},
    RtfControlWord{"clcfpat", row_definition, int(RowWord::pattern_colour)},
    RtfControlWord{"clshdng", row_definition, int(RowWord::shading)},
    RtfControlWord{"clmgf", row_definition, int(RowWord::merge_first)},
    RtfControlWord{"clmrg", row_definition, int(RowWord::merge)},
    RtfControlWord{"clvmgf", row_definition, int(RowWord::vertical_merge_first)},
    RtfControlWord{"clvmrg", row_definition, int(RowWord::vertical_merge)},
    RtfControlWord{"clvertalt", row_definition, int(RowWord::valign_top)},
    RtfControlWord{"clvertalc", row_definition, int(RowWord::valign_centre)},
    RtfControlWord{"clvertalb", row_definition, int(RowWord::valign_bottom)},
    // Lists.
    RtfControlWord{"list", list, 0},
    RtfControlWord{"listlevel", list_level, 0},
    RtfControlWord{"listid", list_id, 0},
    RtfControlWord{"listoverride", list_override, 0},
    RtfControlWord{"lfolevel", list_override_level, 0},
    RtfControlWord{"ls", list_number, 0},
    RtfControlWord{"ilvl", list_level_number, 0},
    RtfControlWord{"levelnfc", level_format, 0},
    RtfControlWord{"levelstartat", level_start, 0},
    RtfControlWord{"levelfollow", level_follow, 0},
    RtfControlWord{"pnlvl", numbering_level, 0},
    RtfControlWord{"pnlvlbody", numbering_level, numbering_body_level},
    RtfControlWord{"pnlvlblt", numbering_level, numbering_bullet_level},
    RtfControlWord{"pnlvlcont", numbering_level, numbering_continue_level},
    RtfControlWord{"leveljc", level_align, 0},
    RtfControlWord{"leveljcn", level_align, 0},
    RtfControlWord{"pncont", numbering_format, int(NumberFormat::none)},
    RtfControlWord{"pndec", numbering_format, int(NumberFormat::decimal)},
    RtfControlWord{"pncard", numbering_format, int(NumberFormat::decimal)},
    RtfControlWord{"pnucrm", numbering_format, int(NumberFormat::upper_roman)},
    RtfControlWord{"pnlcrm", numbering_format, int(NumberFormat::lower_roman)},
    RtfControlWord{"pnucltr", numbering_format, int(NumberFormat::upper_letter)},
    RtfControlWord{"pnlcltr", numbering_format, int(NumberFormat::lower_letter)},
    RtfControlWord{"pnord", numbering_format, int(NumberFormat::ordinal)},
    RtfControlWord{"pnordt", numbering_format, int(NumberFormat::ordinal)},
    RtfControlWord{"pnstart", numbering_start, 0},
    RtfControlWord{"pnf", numbering_font, 0},
    // Notes.
    RtfControlWord{"footnote", footnote, 0},
    RtfControlWord{"chftn", footnote_mark, 0},
    RtfControlWord{"ftnnar", footnote_format, int(NumberFormat::decimal)},
    RtfControlWord{"ftnnalc", footnote_format, int(NumberFormat::lower_letter)},
    RtfControlWord{"ftnnauc", footnote_format, int(NumberFormat::upper_letter)},
    RtfControlWord{"ftnnrlc", footnote_format, int(NumberFormat::lower_roman)},
    RtfControlWord{"ftnnruc", footnote_format, int(NumberFormat::upper_roman)},
    RtfControlWord{"ftnnchi", footnote_format, int(NumberFormat::chicago)},
    RtfControlWord{"aftnnar", endnote_format, int(NumberFormat::decimal)},
    RtfControlWord{"aftnnalc", endnote_format, int(NumberFormat::lower_letter)},
    RtfControlWord{"aftnnauc", endnote_format, int(NumberFormat::upper_letter)},
    RtfControlWord{"aftnnrlc", endnote_format, int(NumberFormat::lower_roman)},
    RtfControlWord{"aftnnruc", endnote_format, int(NumberFormat::upper_roman)},
    RtfControlWord{"aftnnchi", endnote_format, int(NumberFormat::chicago)},
    RtfControlWord{"ftnstart", footnote_start, 0},
    RtfControlWord{"aftnstart", endnote_start, 0},
    // Pictures.
    RtfControlWord{"pngblip", picture_type, int(PictureType::png)},
    RtfControlWord{"jpegblip", picture_type, int(PictureType::jpeg)},
    RtfControlWord{"picw", picture_size, int(PictureSize::width)},
    RtfControlWord{"pich", picture_size, int(PictureSize::height)},
    RtfControlWord{"picwgoal", picture_size, int(PictureSize::goal_width)},
    RtfControlWord{"pichgoal", picture_size, int(PictureSize::goal_height)},
    RtfControlWord{"picscalex", picture_size, int(PictureSize::scale_x)},
    RtfControlWord{"picscaley", picture_size, int(PictureSize::scale_y)},
};

} // namespace

namespace {

// FNV-1a: control words are short, and this hash of them takes a few
// nanoseconds where the standard library's takes several times as long.
constexpr std::uint32_t hash_of(std::string_view name)
{
    std::uint32_t h = 2166136261u;
    for (const char c : name)
        h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    return h;
}

// An open-addressed table of the words, four slots per word: a look-up
// probes one or two slots.
struct WordIndex {
    static constexpr std::size_t slots = 2048;
    static_assert(slots >= 4 * std::size(control_words));
    std::array<std::uint16_t, slots> entry{}; // index + 1 into control_words, 0: free

    WordIndex()
    {
        for (std::size_t i = 0; i < std::size(control_words); ++i) {
            std::size_t at = hash_of(control_words[i].name) & (slots - 1);
            while (entry[at] != 0)
                at = (at + 1) & (slots - 1);
            entry[at] = std::uint16_t(i + 1);
        }
    }
};

} // namespace

const RtfControlWord *find_control_word(std::string_view name)
{
    // Looked up for every control word of the document: a hash, not a search.
    static const WordIndex index;
    for (std::size_t at = hash_of(name) & (WordIndex::slots - 1);;
         at = (at + 1) & (WordIndex::slots - 1)) {
        const std::uint16_t e = index.entry[at];
        if (e == 0)
            return nullptr;
        const RtfControlWord &w = control_words[e - 1];
        if (w.name == name)
            return &w;
    }
}

} // namespace talvence
