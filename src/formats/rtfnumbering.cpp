// SPDX-License-Identifier: GPL-3.0-or-later
#include "rtfnumbering.h"

#include <algorithm>
#include <limits>

#include "codepagedecoder.h"
#include "rtffonttable.h"

namespace talvence {

namespace {

constexpr std::size_t max_lists = 4096;
constexpr std::size_t max_numberings = 4096;

QString roman(int n, bool upper)
{
    static const std::pair<int, const char *> steps[] = {
        {1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"}, {90, "xc"}, {50, "l"},
        {40, "xl"},  {10, "x"},   {9, "ix"},  {5, "v"},    {4, "iv"},  {1, "i"}};
    QString out;
    for (const auto &[value, letters] : steps) {
        for (; n >= value; n -= value)
            out += QLatin1String(letters);
    }
    return upper ? out.toUpper() : out;
}

QString cocoa_bullet(const QString &name)
{
    static const std::pair<const char *, char16_t> bullets[] = {
        {"{disc}", 0x2022},  {"{circle}", 0x25E6},  {"{square}", 0x25AA}, {"{hyphen}", 0x2043},
        {"{check}", 0x2713}, {"{diamond}", 0x25C6}, {"{box}", 0x25A1},
    };
    for (const auto &[key, bullet] : bullets) {
        if (name.trimmed() == QLatin1String(key))
            return QString(QChar(bullet));
    }
    return {};
}

} // namespace

QString list_number(int n, NumberFormat format)
{
    switch (format) {
    case NumberFormat::upper_roman:
    case NumberFormat::lower_roman:
        if (n > 0 && n < 4000)
            return roman(n, format == NumberFormat::upper_roman);
        break;
    case NumberFormat::upper_letter:
    case NumberFormat::lower_letter:
        // A, B, ... Z, AA, BB, ...
        if (n > 0 && n <= 26 * 20)
            return QString(
                (n - 1) / 26 + 1,
                QChar((format == NumberFormat::upper_letter ? 'A' : 'a') + (n - 1) % 26));
        break;
    case NumberFormat::ordinal:
        return QString::number(n) + QLatin1Char('.');
    case NumberFormat::chicago:
        if (n > 0 && n <= 4 * 20) {
            static const char16_t signs[] = {u'*', 0x2020, 0x2021, 0x00A7};
            return QString((n - 1) / 4 + 1, QChar(signs[(n - 1) % 4]));
        }
        break;
    case NumberFormat::decimal_zero:
        return n >= 0 && n < 10 ? QLatin1Char('0') + QString::number(n) : QString::number(n);
    case NumberFormat::bullet:
    case NumberFormat::none:
        return {};
    default:
        break;
    }
    return QString::number(n);
}

RtfNumbering::RtfNumbering(const RtfFontTable &fonts, CodePageDecoder &decoder)
    : fonts_(fonts), decoder_(decoder)
{
}

void RtfNumbering::add_list()
{
    in_overrides_ = false;
    if (lists_.size() < max_lists)
        lists_.emplace_back();
}

void RtfNumbering::add_level()
{
    if (in_overrides_) {
        if (!override_levels_.empty() && !override_levels_.back().empty())
            override_levels_.back().back().emplace();
        return;
    }
    if (!lists_.empty() && lists_.back().levels.size() < max_levels)
        lists_.back().levels.emplace_back();
}

void RtfNumbering::set_list_id(int id)
{
    if (!lists_.empty())
        lists_.back().id = id;
}

RtfNumbering::ListLevel *RtfNumbering::level()
{
    if (in_overrides_) {
        if (override_levels_.empty() || override_levels_.back().empty() ||
            !override_levels_.back().back())
            return nullptr;
        return &*override_levels_.back().back();
    }
    return lists_.empty() || lists_.back().levels.empty() ? nullptr : &lists_.back().levels.back();
}

void RtfNumbering::begin_override()
{
    override_list_ = override_ls_ = 0;
    in_overrides_ = true;
    if (override_levels_.size() < max_lists)
        override_levels_.emplace_back();
}

void RtfNumbering::add_override_level()
{
    if (in_overrides_ && !override_levels_.empty() && override_levels_.back().size() < max_levels)
        override_levels_.back().emplace_back();
}

void RtfNumbering::set_override_list(int id)
{
    override_list_ = id;
    if (override_ls_ > 0)
        overrides_[override_ls_] = id;
}

void RtfNumbering::set_override_number(int ls)
{
    override_ls_ = ls;
    if (ls > 0 && overrides_.size() < max_lists) {
        overrides_[ls] = override_list_;
        if (in_overrides_ && !override_levels_.empty())
            override_index_[ls] = override_levels_.size() - 1;
    }
}

void RtfNumbering::begin_numbering()
{
    numbering_ = Numbering();
}

int RtfNumbering::finish_numbering()
{
    // Word repeats the same \pn for each paragraph: keep one of each.
    auto it = std::find(numberings_.rbegin(), numberings_.rend(), numbering_);
    if (it != numberings_.rend())
        return int(numberings_.rend() - it) - 1;
    if (numberings_.size() >= max_numberings)
        return -1;
    numberings_.push_back(numbering_);
    return int(numberings_.size()) - 1;
}

// The bytes of a list's text (as U+F0xx) in the code page of the font they
// are in, a symbol font's signs as Unicode; `number` gives the text of a
// level's number for U+F000 to U+F008, or is empty where there is none.
QString RtfNumbering::decoded_marker(const QString &raw, int font_number,
                                     const std::function<QString(int)> &number)
{
    const int cp = fonts_.code_page(font_number);
    QString out;
    QByteArray bytes;
    for (const QChar ch : raw) {
        const char16_t c = ch.unicode();
        if (number && c >= 0xF000 && c <= 0xF008) {
            decoder_.append(out, bytes, cp);
            bytes.clear();
            out += number(c - 0xF000);
        } else if (c >= 0xF000 && c <= 0xF0FF) {
            bytes.append(char(c - 0xF000));
        } else {
            decoder_.append(out, bytes, cp);
            bytes.clear();
            out += ch;
        }
    }
    decoder_.append(out, bytes, cp);
    // What the text could never show (a tab is the list's own).
    out.removeIf([](QChar c) { return c.unicode() < 0x20 && c != u'\t'; });
    return out;
}

// A \ls that names no list of the table leaves the paragraph to its \pn.
RtfNumbering::Marker RtfNumbering::marker(const RtfParaProps &p)
{
    return knows_list(p) ? list_marker(p) : numbering_marker(p);
}

const RtfNumbering::List *RtfNumbering::find_list(const RtfParaProps &p) const
{
    if (p.list <= 0)
        return nullptr;
    const auto o = overrides_.find(p.list);
    if (o == overrides_.end())
        return nullptr;
    const auto l = std::find_if(lists_.begin(), lists_.end(),
                                [&](const List &x) { return x.id == o->second; });
    // A list that lacks the paragraph's level is not the one its writer
    // numbered it by (pandoc writes one level for every list).
    return l == lists_.end() || std::size_t(p.list_level) >= l->levels.size() ? nullptr : &*l;
}

// A document may start a list at the largest number a control word can
// carry; the numbers then stay there rather than wrap.
static int next_number(int n)
{
    return n == std::numeric_limits<int>::max() ? n : n + 1;
}

// Counted per list and level; a level restarts after an item above it.
RtfNumbering::Marker RtfNumbering::list_marker(const RtfParaProps &p)
{
    const List *l = find_list(p);
    const int level = std::min(p.list_level, int(l->levels.size()) - 1);
    const ListLevel *own = &l->levels[std::size_t(level)];
    // A level of the override stands in for the list's own.
    if (const auto o = override_index_.find(p.list); o != override_index_.end()) {
        const auto &levels = override_levels_[o->second];
        if (std::size_t(level) < levels.size() && levels[std::size_t(level)])
            own = &*levels[std::size_t(level)];
    }
    const ListLevel &def = *own;
    Marker out;
    // Aligned against the tab after it: a number followed by a blank or by
    // the text itself starts at the indent.
    out.align = def.follow == 0 ? def.align : 0;
    out.font = def.font;
    const auto key = std::make_pair(l->id, level);
    const auto counted = list_counts_.find(key);
    list_counts_[key] = counted == list_counts_.end() ? def.start : next_number(counted->second);
    for (int deeper = level + 1; deeper < int(max_levels); ++deeper)
        list_counts_.erase(std::make_pair(l->id, deeper));
    // Cocoa names its bullets and puts a number's place in their text.
    if (def.format == NumberFormat::bullet && !def.marker.isEmpty()) {
        const QString bullet = cocoa_bullet(decoded_marker(def.marker, -1, {}));
        if (!bullet.isEmpty()) {
            out.text = bullet + u'\t';
            out.font = -1;
            return out;
        }
    }
    // The first character of \leveltext is its length.
    QString raw = def.text.mid(1, def.text.isEmpty() ? 0 : def.text.front().unicode() & 0xFF);
    QString marker = decoded_marker(raw, def.font, [&](int n) -> QString {
        if (n >= int(l->levels.size()))
            return {};
        const auto c = list_counts_.find(std::make_pair(l->id, n));
        const ListLevel &at = l->levels[std::size_t(n)];
        return list_number(c == list_counts_.end() ? at.start : c->second, at.format);
    });
    if (!marker.isEmpty())
        out.text = def.follow == 2 ? marker : marker + QChar(def.follow == 1 ? u' ' : u'\t');
    return out;
}

RtfNumbering::Marker RtfNumbering::numbering_marker(const RtfParaProps &p)
{
    if (p.numbering < 0 || std::size_t(p.numbering) >= numberings_.size())
        return {};
    const Numbering &n = numberings_[std::size_t(p.numbering)];
    const bool bullet = n.level == numbering_bullet_level;
    if ((n.format == NumberFormat::none && !bullet) || n.level == numbering_continue_level)
        return {};
    QString number;
    if (!bullet) {
        // A level goes on counting until its numbers change their style.
        const auto counted = numbering_counts_.find(n.level);
        const bool goes_on = counted != numbering_counts_.end() &&
                             numberings_[std::size_t(counted->second.second)].format == n.format &&
                             numberings_[std::size_t(counted->second.second)].start == n.start;
        const int value = goes_on ? next_number(counted->second.first) : n.start;
        numbering_counts_[n.level] = {value, p.numbering};
        numbering_counts_.erase(numbering_counts_.upper_bound(n.level), numbering_counts_.end());
        number = list_number(value, n.format);
    }
    Marker out;
    out.text = decoded_marker(n.before, n.font, {}) + number + decoded_marker(n.after, n.font, {});
    if (!out.text.isEmpty())
        out.text += u'\t';
    out.font = n.font;
    return out;
}

} // namespace talvence
