// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The names of a listing, back to back in one block of bytes.
//
// A folder of 100,000 files holds 100,000 names. One allocation each would
// take more memory than the names themselves, and a rename pass, which makes
// a new name for every file, would spend much of its time in the allocator.
// Here a list is two blocks: the bytes, each name ending in a NUL as the
// system calls want it, and where each name lies in them.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include <QByteArray>
#include <QByteArrayView>

namespace talvence {

class NameList {
public:
    qsizetype size() const { return qsizetype(spans_.size()); }
    bool empty() const { return spans_.empty(); }

    // A name as on disk. Its data() ends in a NUL, so that it goes to the
    // system calls as it is; it stays valid until the list changes.
    QByteArrayView operator[](qsizetype i) const
    {
        const Span &s = spans_[std::size_t(i)];
        return QByteArrayView(bytes_.data() + s.start, qsizetype(s.size));
    }
    // Asks the processor for a name's bytes ahead of their use. A pass goes
    // through its names in list order, which after a sort is not the order
    // of their bytes, and each rename's system call leaves little of a large
    // list in the caches: fetched one rename ahead, a name is there in time.
    void prefetch(qsizetype i) const
    {
        if (i < size()) {
            const Span &s = spans_[std::size_t(i)];
            __builtin_prefetch(bytes_.data() + s.start);
            __builtin_prefetch(bytes_.data() + s.start + s.size);
        }
    }
    // Where a name's bytes begin in the list's block: names appended later
    // lie further on, so this tells the order in which they were appended.
    std::size_t offset(qsizetype i) const { return spans_[std::size_t(i)].start; }
    // A name as a QByteArray of its own.
    QByteArray at(qsizetype i) const { return (*this)[i].toByteArray(); }

    void append(QByteArrayView name)
    {
        const auto size = std::size_t(name.size());
        const std::size_t at = bytes_.size();
        if (size > longest || at + size + 1 > most_bytes)
            throw std::bad_alloc();
        Span span;
        span.start = at;
        span.size = size;
        spans_.push_back(span);
        name_bytes_ += name.size();
        // Copied once, not cleared first and then copied over.
        bytes_.insert(bytes_.end(), name.data(), name.data() + size);
        bytes_.push_back('\0');
    }
    // Every name of `other`, in its order.
    void append(const NameList &other);
    void reserve(qsizetype names, qsizetype bytes);
    // Puts the names in a new order: the i-th name afterwards is the one
    // that stood at order[i]. The names' bytes stay where they are.
    void reorder(const std::vector<std::uint32_t> &order);
    // The names in the order they were appended, whatever order the list
    // stands in now: for a listing, the order in which the folder handed
    // them out. A name is taken to end at its NUL, as every file name does.
    class AppendOrder {
    public:
        explicit AppendOrder(const NameList &list)
            : at_(list.bytes_.data()), end_(list.bytes_.data() + list.bytes_.size())
        {
        }
        bool done() const { return at_ == end_; }
        // The next name; past the last one, an empty one.
        QByteArrayView next()
        {
            if (at_ == end_)
                return {};
            const char *const name = at_;
            const std::size_t size = std::strlen(name);
            at_ += size + 1;
            return QByteArrayView(name, qsizetype(size));
        }

    private:
        const char *at_;
        const char *end_;
    };
    // Bytes of the names together, without their NULs.
    qsizetype name_bytes() const { return name_bytes_; }
    // What the list takes on the heap, reserved room included.
    std::size_t heap_bytes() const { return bytes_.capacity() + spans_.capacity() * sizeof(Span); }

private:
    // Eight bytes a name: room for a terabyte of names, and for names far
    // longer than any file system allows.
    struct Span {
        std::uint64_t start : 40;
        std::uint64_t size : 24;
    };
    static constexpr std::size_t most_bytes = std::size_t(1) << 40;
    static constexpr std::size_t longest = (std::size_t(1) << 24) - 1;
    std::vector<char> bytes_;
    std::vector<Span> spans_;
    qsizetype name_bytes_ = 0;
};

} // namespace talvence
