// SPDX-License-Identifier: GPL-3.0-or-later
#include "names.h"

#include <charconv>
#include <initializer_list>

#include <QByteArrayView>

#include "utf8.h"

namespace talvence {

namespace {

// Digits of a number as the names carry them: decimal, no sign, no padding.
struct Digits {
    explicit Digits(std::int64_t number)
    {
        length = int(std::to_chars(text, text + sizeof text, number).ptr - text);
    }
    char text[24];
    int length;
};

void join(std::initializer_list<QByteArrayView> parts, std::string &out)
{
    out.clear();
    for (QByteArrayView p : parts)
        out.append(p.data(), std::size_t(p.size()));
}

QByteArray to_bytes(const std::string &s)
{
    return QByteArray(s.data(), qsizetype(s.size()));
}

QByteArrayView without_trailing_blanks(QByteArrayView s)
{
    while (!s.isEmpty() && s.back() == ' ')
        s.chop(1);
    return s;
}

QByteArrayView trim_blanks(QByteArrayView s)
{
    while (!s.isEmpty() && s.front() == ' ')
        s = s.sliced(1);
    return without_trailing_blanks(s);
}

} // namespace

bool prefix_too_long(const QByteArray &prefix)
{
    return prefix.size() > max_prefix_bytes || char_count(prefix) > max_prefix_chars;
}

void make_temp_name(std::int64_t number, QByteArrayView name, std::string &out)
{
    const Digits d(number);
    join({"_zyx_ ", QByteArrayView(d.text, d.length), name.sliced(tail_start(name))}, out);
}

QByteArray make_temp_name(std::int64_t number, QByteArrayView name)
{
    std::string out;
    make_temp_name(number, name, out);
    return to_bytes(out);
}

void make_numbered_name(std::int64_t number, QByteArrayView prefix, QByteArrayView name,
                        std::string &out)
{
    const Digits d(number);
    const QByteArrayView digits(d.text, d.length);
    const QByteArrayView tail = name.sliced(tail_start(name));
    if (!prefix.isEmpty())
        join({trim_blanks(prefix), digits, tail}, out);
    else // " " + digits + tail with the blanks at both ends removed: the
         // digits start it, and only the tail's own blanks can end it.
        join({digits, without_trailing_blanks(tail)}, out);
}

QByteArray make_numbered_name(std::int64_t number, QByteArrayView prefix, QByteArrayView name)
{
    std::string out;
    make_numbered_name(number, prefix, name, out);
    return to_bytes(out);
}

} // namespace talvence
