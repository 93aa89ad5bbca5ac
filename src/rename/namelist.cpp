#include "namelist.h"

#include <new>

namespace talvence {

void NameList::append(QByteArrayView name)
{
    constexpr std::uint64_t most_bytes = std::uint64_t(1) << 40;
    constexpr std::uint64_t longest = (std::uint64_t(1) << 24) - 1;
    const auto size = std::uint64_t(name.size());
    if (size > longest || bytes_.size() + size + 1 > most_bytes)
        throw std::bad_alloc();
    Span span;
    span.start = bytes_.size();
    span.size = size;
    spans_.push_back(span);
    name_bytes_ += name.size();
    bytes_.insert(bytes_.end(), name.data(), name.data() + name.size());
    bytes_.push_back('\0');
}

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
