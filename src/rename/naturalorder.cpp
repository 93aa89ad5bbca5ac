#include "naturalorder.h"

#include <algorithm>
#include <numeric>

#include <QCollator>
#include <QLocale>

namespace talvence {

struct NaturalOrder::Impl {
    QCollator collator;
};

NaturalOrder::NaturalOrder() : d_(std::make_shared<Impl>())
{
    // Qt's collator compares the C locale code point by code point and
    // ignores numeric mode there; a session without a language still wants
    // "file2" before "file10", so it gets the neutral English rules.
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    d_->collator = QCollator(locale);
    d_->collator.setNumericMode(true);
    d_->collator.setCaseSensitivity(Qt::CaseInsensitive);
}

int NaturalOrder::compare(const FileEntry &a, const FileEntry &b) const
{
    const int c = d_->collator.compare(a.display, b.display);
    if (c != 0)
        return c;
    return a.raw < b.raw ? -1 : (b.raw < a.raw ? 1 : 0);
}

void NaturalOrder::sort(std::vector<FileEntry> &entries) const
{
    if (entries.size() < 2)
        return;
    // One key per name and a byte comparison per step: a collator call per
    // comparison would cost seconds on a folder of 100,000 files.
    std::vector<QCollatorSortKey> keys;
    keys.reserve(entries.size());
    for (const FileEntry &e : entries)
        keys.push_back(d_->collator.sortKey(e.display));
    std::vector<std::uint32_t> order(entries.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](std::uint32_t x, std::uint32_t y) {
        const int c = keys[x].compare(keys[y]);
        if (c != 0)
            return c < 0;
        return entries[x].raw < entries[y].raw;
    });
    keys = {};
    // Put the entries in place cycle by cycle: no second list of 100,000 names.
    for (std::uint32_t start = 0; start < order.size(); ++start) {
        if (order[start] == start)
            continue;
        FileEntry held = std::move(entries[start]);
        std::uint32_t at = start;
        while (order[at] != start) {
            const std::uint32_t from = order[at];
            entries[at] = std::move(entries[from]);
            order[at] = at;
            at = from;
        }
        entries[at] = std::move(held);
        order[at] = at;
    }
}

} // namespace talvence
