#include "naturalorder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>
#include <string>
#include <unicode/ucol.h>
#include <unicode/uset.h>

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
    // The collator's order of the printable ASCII characters, as one byte
    // each (a letter and its capital share one), with all ten digits on the
    // one place the collator gives a number. Zero where the language's rules
    // change anything about these characters (a Danish "aa", a Czech "ch",
    // the Turkish i): then every name goes through the collator.
    std::array<std::uint8_t, 128> rank{};
    bool ascii_keys = false;
    // The Latin letters U+00C0 to U+00FF that the collator takes as an ASCII
    // letter with an accent (or, for ß, as "ss"): the letter's place, and the
    // accent's place among the accents (0 for none). A zero place: not one.
    struct Accented {
        std::uint8_t base = 0;
        std::uint8_t accent = 0;
        bool doubled = false; // ß: the place twice
    };
    std::array<Accented, 64> latin{};
    // Latin-1 letters and accents whose order the language changes.
    std::vector<UChar32> tailored_latin;

    ~Impl()
    {
        if (collator)
            ucol_close(collator);
    }
    void learn_ascii();
    void learn_latin(const QByteArray &language);
    bool ascii_key(const QByteArray &raw, std::string &keys) const;
};

void NaturalOrder::Impl::learn_ascii()
{
    UErrorCode status = U_ZERO_ERROR;
    USet *tailored = ucol_getTailoredSet(collator, &status);
    if (U_FAILURE(status) || !tailored)
        return;
    // The set holds single characters as ranges and the contractions ("aa",
    // "ch") as strings; either kind that holds ASCII rules out the keys.
    bool touched = false;
    const int32_t items = uset_getItemCount(tailored);
    for (int32_t i = 0; i < items && !touched; ++i) {
        UChar32 first = 0, last = 0;
        UChar text[64];
        const int32_t length = uset_getItem(tailored, i, &first, &last, text, 64, &status);
        if (U_FAILURE(status)) {
            touched = true;
        } else if (length == 0) {
            touched = first < 0x7F && last >= 0x20;
            for (UChar32 c = std::max(first, UChar32(0xC0)); c <= std::min(last, UChar32(0x36F));
                 ++c)
                tailored_latin.push_back(c);
        } else {
            for (int32_t k = 0; k < std::min(length, int32_t(64)) && !touched; ++k) {
                touched = text[k] < 0x80;
                if (text[k] >= 0xC0 && text[k] <= 0x36F)
                    tailored_latin.push_back(text[k]);
            }
        }
    }
    uset_close(tailored);
    if (touched)
        return;
    // The printable characters, the digits standing in as one: sorted by the
    // collator itself, equal ones sharing a place.
    std::vector<char16_t> chars;
    for (char16_t c = 0x20; c < 0x7F; ++c)
        if (c < u'1' || c > u'9')
            chars.push_back(c);
    std::stable_sort(chars.begin(), chars.end(), [&](char16_t a, char16_t b) {
        return ucol_strcoll(collator, reinterpret_cast<const UChar *>(&a), 1,
                            reinterpret_cast<const UChar *>(&b), 1) == UCOL_LESS;
    });
    std::uint8_t place = 0;
    for (std::size_t i = 0; i < chars.size(); ++i) {
        if (i == 0 || ucol_strcoll(collator, reinterpret_cast<const UChar *>(&chars[i - 1]), 1,
                                   reinterpret_cast<const UChar *>(&chars[i]), 1) != UCOL_EQUAL)
            ++place;
        rank[chars[i]] = place;
    }
    for (char c = '1'; c <= '9'; ++c)
        rank[std::size_t(c)] = rank['0'];
    ascii_keys = true;
}

void NaturalOrder::Impl::learn_latin(const QByteArray &language)
{
    UErrorCode status = U_ZERO_ERROR;
    // French accents count from the end of the word: not for these keys.
    if (ucol_getAttribute(collator, UCOL_FRENCH_COLLATION, &status) == UCOL_ON || U_FAILURE(status))
        return;
    // The same rules with letters alone counting, to see which accented
    // letters the collator takes for their base letter.
    UCollator *letters = ucol_open(language.constData(), &status);
    if (U_FAILURE(status)) {
        if (letters)
            ucol_close(letters);
        return;
    }
    ucol_setAttribute(letters, UCOL_STRENGTH, UCOL_PRIMARY, &status);
    const auto coll = [](const UCollator *c, const QString &a, const QString &b) {
        return ucol_strcoll(c, reinterpret_cast<const UChar *>(a.constData()), int32_t(a.size()),
                            reinterpret_cast<const UChar *>(b.constData()), int32_t(b.size()));
    };
    const auto is_tailored = [&](UChar32 c) {
        return std::find(tailored_latin.begin(), tailored_latin.end(), c) != tailored_latin.end();
    };
    std::vector<char16_t> accents;
    std::array<char16_t, 64> accent_of{};
    for (char16_t u = 0xC0; u <= 0xFF; ++u) {
        const QString letter(QChar{u});
        if (is_tailored(u))
            continue;
        if (u == 0xDF) { // ß, where it is "ss"
            if (coll(collator, letter, QStringLiteral("ss")) == UCOL_EQUAL)
                latin[u - 0xC0] = {rank['s'], 0, true};
            continue;
        }
        const QString parts = letter.normalized(QString::NormalizationForm_D);
        if (parts.size() != 2 || parts[0].unicode() >= 0x80 || !parts[0].isLetter() ||
            parts[1].unicode() < 0x300 || parts[1].unicode() > 0x36F ||
            is_tailored(parts[1].unicode()))
            continue;
        const char16_t base = parts[0].unicode();
        if (coll(letters, letter, QString(QChar{base})) != UCOL_EQUAL ||
            coll(collator, letter, parts) != UCOL_EQUAL)
            continue;
        latin[u - 0xC0].base = rank[base];
        accent_of[u - 0xC0] = parts[1].unicode();
        if (std::find(accents.begin(), accents.end(), parts[1].unicode()) == accents.end())
            accents.push_back(parts[1].unicode());
    }
    ucol_close(letters);
    // The accents in the collator's order, after the plain letter (place 1).
    const auto on_a = [](char16_t accent) { return QString(QChar(u'a')) + QChar(accent); };
    std::stable_sort(accents.begin(), accents.end(), [&](char16_t x, char16_t y) {
        return coll(collator, on_a(x), on_a(y)) == UCOL_LESS;
    });
    for (std::size_t i = 0; i < latin.size(); ++i) {
        if (!accent_of[i])
            continue;
        std::uint8_t place = 2;
        for (std::size_t k = 0; k < accents.size() && accents[k] != accent_of[i]; ++k)
            if (coll(collator, on_a(accents[k]), on_a(accents[k + 1])) != UCOL_EQUAL)
                ++place;
        latin[i].accent = place;
    }
}

// A key that orders a name of printable ASCII (and of the Latin letters the
// collator takes as accented ASCII ones) as the collator does. First a byte
// per character, a run of digits as the digits' place, the count of its
// digits without leading zeros and those digits, so that a longer number is
// a larger one; then, where a letter bears an accent, a zero and the
// accents: a place per character, the accent's place after its letter's.
// False for any other name.
bool NaturalOrder::Impl::ascii_key(const QByteArray &raw, std::string &keys) const
{
    const std::size_t start = keys.size();
    thread_local std::string accents;
    accents.clear();
    bool accented = false;
    const auto refuse = [&] {
        keys.resize(start);
        return false;
    };
    const char *p = raw.constData();
    const char *const end = p + raw.size();
    while (p < end) {
        const auto c = static_cast<unsigned char>(*p);
        if (c == 0xC3 && p + 1 < end && (static_cast<unsigned char>(p[1]) & 0xC0) == 0x80) {
            // U+00C0 to U+00FF
            const Accented &a = latin[static_cast<unsigned char>(p[1]) & 0x3F];
            if (!a.base)
                return refuse();
            keys += char(a.base);
            accents += char(1);
            if (a.doubled) {
                keys += char(a.base);
                accents += char(1);
            }
            if (a.accent) {
                accents += char(a.accent);
                accented = true;
            }
            p += 2;
            continue;
        }
        if (c < 0x20 || c >= 0x7F)
            return refuse();
        if (c < '0' || c > '9') {
            keys += char(rank[c]);
            accents += char(1);
            ++p;
            continue;
        }
        const char *run = p;
        while (p < end && *p >= '0' && *p <= '9')
            ++p;
        while (run + 1 < p && *run == '0')
            ++run;
        // the collator splits longer numbers; so few names hold one that
        // they may as well go through it
        if (p - run > 200)
            return refuse();
        keys += char(rank['0']);
        keys += char(p - run);
        keys.append(run, std::size_t(p - run));
        accents += char(1);
    }
    if (accented) {
        keys += '\0';
        keys += accents;
    }
    return true;
}

NaturalOrder::NaturalOrder(Keys keys) : d_(std::make_shared<Impl>())
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
    if (keys == Keys::fastest) {
        d_->learn_ascii();
        if (d_->ascii_keys)
            d_->learn_latin(name);
    }
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
    keys.reserve(entries.size() * 24);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> spans(entries.size());
    // Names of plain ASCII (most names, and every parking name) get keys of
    // our own making, in the collator's order, without the collator; the
    // others get the collator's. Keys of the two makings cannot be compared
    // with each other: each kind is sorted on its own, and the two sorted
    // runs are merged by asking the collator, once a step.
    std::vector<std::uint32_t> ascii, other;
    if (d_->collator) {
        std::string scratch(256, '\0');
        std::u16string text;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const auto offset = std::uint32_t(keys.size());
            if (d_->ascii_keys && d_->ascii_key(entries[i].raw, keys)) {
                spans[i] = {offset, std::uint32_t(keys.size()) - offset};
                ascii.push_back(std::uint32_t(i));
                continue;
            }
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
            spans[i] = {offset, used};
            keys.append(scratch.data(), used);
            other.push_back(std::uint32_t(i));
        }
    } else {
        for (std::size_t i = 0; i < entries.size(); ++i)
            other.push_back(std::uint32_t(i)); // no keys: the raw bytes decide
    }
    const char *base = keys.data();
    const auto by_key = [&](std::uint32_t x, std::uint32_t y) {
        const auto [xo, xl] = spans[x];
        const auto [yo, yl] = spans[y];
        const int c = std::memcmp(base + xo, base + yo, std::min(xl, yl));
        if (c != 0)
            return c < 0;
        if (xl != yl)
            return xl < yl;
        return entries[x].raw < entries[y].raw;
    };
    std::sort(ascii.begin(), ascii.end(), by_key);
    std::sort(other.begin(), other.end(), by_key);
    std::vector<std::uint32_t> order;
    if (ascii.empty() || other.empty()) {
        order = ascii.empty() ? std::move(other) : std::move(ascii);
    } else {
        order.reserve(entries.size());
        std::u16string a_text, o_text;
        std::uint32_t a_shown = UINT32_MAX, o_shown = UINT32_MAX;
        const auto ascii_first = [&](std::uint32_t a, std::uint32_t o) {
            if (a != a_shown) {
                shown_text(entries[a].raw, a_text);
                a_shown = a;
            }
            if (o != o_shown) {
                shown_text(entries[o].raw, o_text);
                o_shown = o;
            }
            const UCollationResult r =
                ucol_strcoll(d_->collator, a_text.data(), int32_t(a_text.size()), o_text.data(),
                             int32_t(o_text.size()));
            return r == UCOL_EQUAL ? entries[a].raw < entries[o].raw : r == UCOL_LESS;
        };
        std::size_t ai = 0, oi = 0;
        while (ai < ascii.size() && oi < other.size()) {
            if (ascii_first(ascii[ai], other[oi]))
                order.push_back(ascii[ai++]);
            else
                order.push_back(other[oi++]);
        }
        order.insert(order.end(), ascii.begin() + std::ptrdiff_t(ai), ascii.end());
        order.insert(order.end(), other.begin() + std::ptrdiff_t(oi), other.end());
    }
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
