// SPDX-License-Identifier: GPL-3.0-or-later
#include "namelist.h"

namespace talvence {

void NameList::append(const NameList &other)
{
    reserve(size() + other.size(), name_bytes() + other.name_bytes());
    for (qsizetype i = 0; i < other.size(); ++i)
        append(other[i]);
}

void NameList::reserve(qsizetype names, qsizetype bytes)
{
    spans_.reserve(std::size_t(names));
    bytes_.reserve(std::size_t(bytes + names));
}

void NameList::reorder(const std::vector<std::uint32_t> &order)
{
    std::vector<Span> spans;
    spans.reserve(order.size());
    for (const std::uint32_t from : order)
        spans.push_back(spans_[from]);
    spans_ = std::move(spans);
}

} // namespace talvence
