#include "naturalorder.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <string>
#include <unicode/ucol.h>

#include <QLocale>

#include "names.h"

namespace talvence {

namespace {

const UChar *units(const QString &text)
{
    return reinterpret_cast<const UChar *>(text.constData());
}

// The text the collator orders by is the name as it is shown. Most names are
// ASCII and widen in place; the others go through display_name.
void shown_text(const QByteArray &raw, std::u16string &out)
{
    out.resize(std::size_t(raw.size()));
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const auto c = static_cast<unsigned char>(raw[i]);
        if (c >= 0x80) {
            const QString text = display_name(raw);
            out.assign(units(text), units(text) + text.size());
            return;
        }
        out[std::size_t(i)] = char16_t(c);
    }
}

} // namespace

struct NaturalOrder::Impl {
    UCollator *collator = nullptr;
    ~Impl()
    {
        if (collator)
            ucol_close(collator);
    }
};

NaturalOrder::NaturalOrder() : d_(std::make_shared<Impl>())
{
    // A session without a language still wants "file2" before "file10" and
    // "a" beside "A": it gets the neutral English rules.
    const QLocale locale;
    const QByteArray name =
        locale.language() == QLocale::C ? QByteArray("en_US") : locale.name().toLatin1();
    UErrorCode status = U_ZERO_ERROR;
    UCollator *c = ucol_open(name.constData(), &status);
    if (U_FAILURE(status)) {
        if (c)
            ucol_close(c);
        return; // the raw bytes alone still give one total order
    }
    ucol_setAttribute(c, UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
    ucol_setAttribute(c, UCOL_STRENGTH, UCOL_SECONDARY, &status); // case does not count
    d_->collator = c;
}

void NaturalOrder::sort(std::vector<FileEntry> &entries) const
{
    if (entries.size() < 2)
        return;
    // One key per name, all of them back to back in one buffer, and a byte
    // comparison per step: a collator call per comparison, or a separate
    // allocation per key, costs more than the listing itself on a folder of
    // 100,000 files.
    std::string keys;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> spans(entries.size());
    if (d_->collator) {
        keys.reserve(entries.size() * 24);
        std::string scratch(256, '\0');
        std::u16string text;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            shown_text(entries[i].raw, text);
            auto key = [&] {
                return ucol_getSortKey(d_->collator, text.data(), int32_t(text.size()),
                                       reinterpret_cast<uint8_t *>(scratch.data()),
                                       int32_t(scratch.size()));
            };
            int32_t length = key();
            if (length > int32_t(scratch.size())) {
                scratch.resize(std::size_t(length));
                length = key();
            }
            // the key ends in a zero byte that takes no part in the order
            const auto used = std::uint32_t(std::max(length - 1, 0));
            spans[i] = {std::uint32_t(keys.size()), used};
            keys.append(scratch.data(), used);
        }
    }
    std::vector<std::uint32_t> order(entries.size());
    std::iota(order.begin(), order.end(), 0u);
    const char *base = keys.data();
    std::sort(order.begin(), order.end(), [&](std::uint32_t x, std::uint32_t y) {
        const auto [xo, xl] = spans[x];
        const auto [yo, yl] = spans[y];
        const int c = std::memcmp(base + xo, base + yo, std::min(xl, yl));
        if (c != 0)
            return c < 0;
        if (xl != yl)
            return xl < yl;
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
