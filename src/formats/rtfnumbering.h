// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The numbers and bullets of an RTF document's lists: the list table
// (\listtable, its \leveltext per level), the overrides that give a list
// its \ls number, and old-style paragraph numbering (\pn). Each paragraph
// of a list gets its marker from here, counted per list and level.

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include <QString>

#include "rtfproperties.h"

namespace talvence {

class CodePageDecoder;
class RtfFontTable;

// Word's numbering formats (\levelnfc; \pn's words map onto them).
enum class NumberFormat : int {
    decimal = 0,
    upper_roman = 1,
    lower_roman = 2,
    upper_letter = 3,
    lower_letter = 4,
    ordinal = 5,
    chicago = 9,       // *, †, ‡, §, then doubled
    decimal_zero = 22, // 01, 02, ... 10
    bullet = 23,
    none = 255, // \pncont: the paragraph goes on without a number
};

// The levels of \pn besides 1 to 9: \pnlvlbody, a numbered paragraph of
// the body, \pnlvlblt, a bullet, and \pnlvlcont, a paragraph that goes on
// in a list without a number of its own.
inline constexpr int numbering_body_level = 10;
inline constexpr int numbering_bullet_level = 11;
inline constexpr int numbering_continue_level = 12;

// The text of number `n` in `format`.
QString list_number(int n, NumberFormat format);

class RtfNumbering {
public:
    static constexpr std::size_t max_levels = 9;

    RtfNumbering(const RtfFontTable &fonts, CodePageDecoder &decoder);

    // A level of a list of the list table. Its text holds the bytes of
    // \leveltext as U+F0xx until the font they are in is known; U+F000 to
    // U+F008 stand for the numbers of levels 1 to 9.
    struct ListLevel {
        NumberFormat format = NumberFormat::decimal; // \levelnfc
        int start = 1;
        int font = -1;
        int follow = 0; // 0 tab, 1 space, 2 nothing
        int align = 0;  // \leveljc: 0 left, 1 centred, 2 right
        QString text;
        QString marker; // \levelmarker, the name of a bullet (Cocoa's "{disc}")
    };
    // Old-style numbering (\pn): one per paragraph that has it.
    struct Numbering {
        int level = 0; // 1 to 9, numbering_body_level or numbering_bullet_level
        NumberFormat format = NumberFormat::decimal;
        int start = 1;
        int font = -1;
        QString before; // as ListLevel::text
        QString after;
        bool operator==(const Numbering &) const = default;
    };

    // The list table: \list, \listlevel, \listid within a list.
    void add_list();
    void add_level();
    void set_list_id(int id);
    // The level being read, null outside one.
    ListLevel *level();

    // The override table: \listoverride, its \listid and \ls, and its
    // \lfolevel groups, one per level, each with the level that takes the
    // list's place (add_level, level()) where it has one.
    void begin_override();
    void add_override_level();
    void set_override_list(int id);
    void set_override_number(int ls);

    // A \pn group: begin_numbering, the numbering's words on numbering(),
    // and finish_numbering, which gives the paragraph's RtfParaProps::numbering
    // (-1 where the document has more numberings than are kept).
    void begin_numbering();
    Numbering &numbering() { return numbering_; }
    int finish_numbering();

    struct Marker {
        QString text;  // empty where the paragraph has none
        int align = 0; // \leveljc
        int font = -1; // the level's font (\f of the level, \pnf); -1 the paragraph's
    };
    // The number or bullet of the paragraph `p`, which counts it: made from
    // the list table or from the paragraph's \pn.
    Marker marker(const RtfParaProps &p);
    // Whether the paragraph's \ls names a list of the list table, whose
    // numbers then stand in place of the paragraph's own (\listtext).
    bool knows_list(const RtfParaProps &p) const { return find_list(p) != nullptr; }
    // A paragraph outside \pn numbering: the levels start anew after it.
    void paragraph_without_numbering() { numbering_counts_.clear(); }

private:
    struct List {
        int id = 0;
        std::vector<ListLevel> levels;
    };

    const List *find_list(const RtfParaProps &p) const;
    Marker list_marker(const RtfParaProps &p);
    Marker numbering_marker(const RtfParaProps &p);
    QString decoded_marker(const QString &raw, int font_number,
                           const std::function<QString(int)> &number);

    const RtfFontTable &fonts_;
    CodePageDecoder &decoder_;
    std::vector<List> lists_;
    std::map<int, int> overrides_; // \ls to \listid
    // The levels of each override, in the order of the override table.
    std::vector<std::vector<std::optional<ListLevel>>> override_levels_;
    std::map<int, std::size_t> override_index_; // \ls to its override
    bool in_overrides_ = false;
    int override_list_ = 0, override_ls_ = 0;
    // Where each list stands: (list id, level) to its last number.
    std::map<std::pair<int, int>, int> list_counts_;
    std::vector<Numbering> numberings_;
    // \pn level to its last number and the numbering that gave it.
    std::map<int, std::pair<int, int>> numbering_counts_;
    Numbering numbering_; // the \pn being read
};

} // namespace talvence
