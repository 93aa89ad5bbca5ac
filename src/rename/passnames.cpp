// SPDX-License-Identifier: GPL-3.0-or-later
#include "passnames.h"

#include <charconv>

namespace talvence {

void pass_new_name(const PassRule &rule, std::size_t place, QByteArrayView name, std::string &out)
{
    const std::int64_t number = rule.counter_start + std::int64_t(place) + 1;
    switch (rule.kind) {
    case PassKind::Parking:
        make_temp_name(number, name, out);
        return;
    case PassKind::Numbering:
        make_numbered_name(number, rule.prefix, name, out);
        return;
    case PassKind::Case:
        out.resize(case_name(name, rule.target, rule.turkic, out));
        return;
    }
}

QByteArray pass_new_name(const PassRule &rule, std::size_t place, QByteArrayView name)
{
    std::string out;
    pass_new_name(rule, place, name, out);
    return QByteArray(out.data(), qsizetype(out.size()));
}

QByteArray park_stem(std::int64_t pid, std::int64_t started_ms)
{
    return QByteArray(park_stem_start.data(), qsizetype(park_stem_start.size())) +
           QByteArray::number(pid) + '-' + QByteArray::number(started_ms);
}

void park_name(QByteArrayView stem, std::uint32_t record, std::string &out)
{
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, record).ptr;
    out.assign(stem.data(), std::size_t(stem.size()));
    out += '-';
    out.append(digits, end);
    out += ".tmp";
}

QByteArray park_name(QByteArrayView stem, std::uint32_t record)
{
    std::string out;
    park_name(stem, record, out);
    return QByteArray(out.data(), qsizetype(out.size()));
}

bool is_park_stem(QByteArrayView stem)
{
    const QByteArrayView start(park_stem_start.data(), qsizetype(park_stem_start.size()));
    if (!stem.startsWith(start) || stem.size() > 64)
        return false;
    int dashes = 0;
    bool digit_before = false;
    for (qsizetype i = start.size(); i < stem.size(); ++i) {
        const char c = stem[i];
        if (c == '-' && digit_before && dashes == 0) {
            ++dashes;
            digit_before = false;
        } else if (c >= '0' && c <= '9') {
            digit_before = true;
        } else {
            return false;
        }
    }
    return dashes == 1 && digit_before;
}

} // namespace talvence
