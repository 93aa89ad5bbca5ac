// SPDX-License-Identifier: GPL-3.0-or-later
#include "naturalorder.h"

#include <algorithm>
#include <array>
#include <bit>
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
void shown_text(QByteArrayView raw, std::u16string &out)
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

// Up to eight bytes of a key as one number that orders as the bytes do;
// bytes past `available` count as zero.
std::uint64_t word(const char *p, std::uint32_t available)
{
    std::uint64_t w = 0;
    if (available >= 8) {
        std::memcpy(&w, p, 8);
        if constexpr (std::endian::native == std::endian::little)
            w = __builtin_bswap64(w);
        return w;
    }
    for (std::uint32_t b = 0; b < 8; ++b)
        w = w << 8 | (b < available ? static_cast<unsigned char>(p[b]) : 0u);
    return w;
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
    // The place of U+FFFD, which a name shows for each byte that is no
    // UTF-8: after every character above when the collator puts it there
    // (it does in every language we know of), zero otherwise.
    std::uint8_t replacement = 0;

    ~Impl()
    {
        if (collator)
            ucol_close(collator);
    }
    // The collator's order of the language, learnt afresh.
    static std::shared_ptr<Impl> learn(const QByteArray &language, Keys keys);
    void learn_ascii();
    void learn_latin(const QByteArray &language);
    void learn_replacement();
    // A key's two parts: a place per character or number, and where a
    // letter bears an accent, the accents.
    struct Parts {
        std::ptrdiff_t primary = 0; // bytes at the start of the buffer
        const char *accents = nullptr;
        std::ptrdiff_t accent_count = 0;
        bool accented = false;
    };
    bool key_parts(QByteArrayView raw, char *out, Parts &parts) const;
    std::ptrdiff_t key_of(QByteArrayView raw, char *out) const;
    int common_start(QByteArrayView a, QByteArrayView b, bool &accented) const;
    bool in_order(const NameList &names) const;
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
    constexpr char16_t sharp_s = 0xDF; // stands for ß's own mark among the accents
    for (char16_t u = 0xC0; u <= 0xFF; ++u) {
        const QString letter(QChar{u});
        if (is_tailored(u))
            continue;
        if (u == 0xDF) {
            // ß: "ss" to the letters; to the accents either "ss" too, or
            // "ss" whose first s bears a mark of its own, placed below
            // among the accents.
            if (coll(letters, letter, QStringLiteral("ss")) != UCOL_EQUAL)
                continue;
            const UCollationResult r = coll(collator, letter, QStringLiteral("ss"));
            if (r == UCOL_EQUAL) {
                latin[u - 0xC0] = {rank['s'], 0, true};
            } else if (r == UCOL_GREATER) {
                latin[u - 0xC0] = {rank['s'], 0, true};
                accent_of[u - 0xC0] = sharp_s;
                accents.push_back(sharp_s);
            }
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
    // The accents in the collator's order, after the plain letter (place 1):
    // each on the middle s of "sss", where ß's mark stands on the middle s
    // of "sß", so that all of them meet in the same place.
    const auto on_a = [](char16_t accent) {
        return accent == sharp_s ? QStringLiteral("s\u00DF")
                                 : QStringLiteral("s") + QChar(accent) + QStringLiteral("ss");
    };
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

void NaturalOrder::Impl::learn_replacement()
{
    const UChar mark = 0xFFFD;
    std::uint8_t highest = 0;
    for (char16_t c = 0x20; c < 0x7F; ++c) {
        if (ucol_strcoll(collator, reinterpret_cast<const UChar *>(&c), 1, &mark, 1) != UCOL_LESS)
            return;
        highest = std::max(highest, rank[c]);
    }
    replacement = std::uint8_t(highest + 1);
}

// A key that orders a name of printable ASCII (and of the Latin letters the
// collator takes as accented ASCII ones, and of U+FFFD, which the name shows
// for each byte that is no UTF-8) as the collator does. First a byte per
// character, a run of digits as the digits' place, the count of its digits
// without leading zeros and those digits, so that a longer number is a
// larger one; then, where a letter bears an accent, a zero and the accents:
// a place per character, the accent's place after its letter's.
//
// Written to `out`, which has room for 7 bytes per byte of the name and one
// more: the key (three bytes for a one-digit number, two accent places per
// character, a separator) and behind it the room where the accents gather.
// False for any other name.
bool NaturalOrder::Impl::key_parts(QByteArrayView raw, char *const out, Parts &parts) const
{
    const auto *p = reinterpret_cast<const unsigned char *>(raw.data());
    const auto *const end = p + raw.size();
    char *k = out;
    char *const accents = out + 5 * raw.size() + 1;
    char *a = accents;
    bool accented = false;
    while (p < end) {
        const unsigned c = *p;
        if (c >= 0x80) {
            // Read as the text the name is shown as, which is what the
            // collator orders too.
            char32_t u = 0xFFFD;
            const int length = decode_utf8(p, end - p, &u);
            if (u >= 0xC0 && u <= 0xFF) {
                const Accented &letter = latin[u - 0xC0];
                if (!letter.base)
                    return false;
                *k++ = char(letter.base);
                if (letter.doubled) {
                    // ß: two letters, the first of them bearing ß's mark
                    *k++ = char(letter.base);
                    *a++ = char(letter.accent ? letter.accent : 1);
                    *a++ = char(1);
                } else {
                    *a++ = char(1);
                    if (letter.accent)
                        *a++ = char(letter.accent);
                }
                accented = accented || letter.accent;
            } else if (u == 0xFFFD && replacement) {
                *k++ = char(replacement);
                *a++ = char(1);
            } else {
                return false;
            }
            p += std::max(length, 1);
            continue;
        }
        if (c < 0x20 || c >= 0x7F)
            return false;
        if (c < '0' || c > '9') {
            *k++ = char(rank[c]);
            *a++ = char(1);
            ++p;
            continue;
        }
        const unsigned char *run = p;
        while (p < end && *p >= '0' && *p <= '9')
            ++p;
        while (run + 1 < p && *run == '0')
            ++run;
        // the collator splits longer numbers; so few names hold one that
        // they may as well go through it
        if (p - run > 200)
            return false;
        *k++ = char(rank['0']);
        *k++ = char(p - run);
        k = std::copy(run, p, k);
        *a++ = char(1);
    }
    parts = {k - out, accents, a - accents, accented};
    return true;
}

// The key whole: the places, and where a letter bears an accent, a zero and
// the accents. Returns its length, or -1 for a name of another kind.
std::ptrdiff_t NaturalOrder::Impl::key_of(QByteArrayView raw, char *const out) const
{
    Parts parts;
    if (!key_parts(raw, out, parts))
        return -1;
    char *k = out + parts.primary;
    if (parts.accented) {
        *k++ = '\0';
        k = std::copy(parts.accents, parts.accents + parts.accent_count, k);
    }
    return k - out;
}

namespace {

bool is_digit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

// Bytes compared as unsigned, the shorter first where one begins the other:
// the order of keys, and of names as the last word.
int compare_bytes(const char *x, std::ptrdiff_t x_size, const char *y, std::ptrdiff_t y_size)
{
    const int r = std::memcmp(x, y, std::size_t(std::min(x_size, y_size)));
    return r != 0 ? r : (x_size > y_size) - (x_size < y_size);
}

} // namespace

// Where the keys of two names part: the start of the first character or
// number in which they differ, a number counting from its first digit, as
// its value does. Before it both keys are alike. Sets `accented` when a
// letter before it bears an accent; -1 when a character before it is of a
// kind the keys do not cover.
int NaturalOrder::Impl::common_start(QByteArrayView a, QByteArrayView b, bool &accented) const
{
    const auto *p = reinterpret_cast<const unsigned char *>(a.data());
    const auto *q = reinterpret_cast<const unsigned char *>(b.data());
    const int shorter = int(std::min(a.size(), b.size()));
    int i = 0;
    for (; i + 8 <= shorter; i += 8) {
        std::uint64_t x, y;
        std::memcpy(&x, p + i, 8);
        std::memcpy(&y, q + i, 8);
        if (x != y) {
            i += (std::endian::native == std::endian::little ? std::countr_zero(x ^ y)
                                                             : std::countl_zero(x ^ y)) /
                 8;
            break;
        }
    }
    while (i < shorter && p[i] == q[i])
        ++i;
    accented = false;
    // Most names: printable ASCII up to there, each byte a character.
    if (std::all_of(p, p + i, [](unsigned char c) { return c - 0x20u < 0x5Fu; })) {
        while (i > 0 && is_digit(p[i - 1]))
            --i;
        return i;
    }
    int k = 0;
    while (k < i) {
        const unsigned c = p[k];
        if (c >= 0x80) {
            // alike only where both read as the same character
            char32_t u = 0xFFFD, v = 0xFFFD;
            const int m = std::max(decode_utf8(p + k, a.size() - k, &u), 1);
            const int n = std::max(decode_utf8(q + k, b.size() - k, &v), 1);
            if (k + m > i || m != n || u != v)
                break;
            if (u >= 0xC0 && u <= 0xFF) {
                const Accented &letter = latin[u - 0xC0];
                if (!letter.base)
                    return -1;
                accented = accented || letter.accent;
            } else if (u != 0xFFFD || !replacement) {
                return -1;
            }
            k += m;
        } else if (c < 0x20 || c == 0x7F) {
            return -1;
        } else if (is_digit(static_cast<unsigned char>(c))) {
            int end = k;
            while (end < a.size() && is_digit(p[end]))
                ++end;
            if (end >= i)
                break;
            k = end;
        } else {
            ++k;
        }
    }
    return k;
}

// Whether the names stand in order already, each against the next from
// where they part, without a key for every name and no sort. False as soon
// as a name is of a kind the keys do not cover or a pair is out of order:
// then the sort decides.
bool NaturalOrder::Impl::in_order(const NameList &names) const
{
    // Longer names may hold a number longer than the keys take.
    constexpr qsizetype longest = 200;
    std::array<char, 7 * longest + 1> x, y;
    for (qsizetype n = 0; n + 1 < names.size(); ++n) {
        const QByteArrayView a = names[n], b = names[n + 1];
        if (a.size() > longest || b.size() > longest)
            return false;
        bool accented = false;
        const int start = common_start(a, b, accented);
        if (start < 0)
            return false;
        const QByteArrayView rest_a = a.sliced(start), rest_b = b.sliced(start);
        Parts pa, pb;
        if (!key_parts(rest_a, x.data(), pa) || !key_parts(rest_b, y.data(), pb))
            return false;
        // the places first; where they are alike, the accents of the whole
        // names, which are alike up to here; then the bytes
        int r = compare_bytes(x.data(), pa.primary, y.data(), pb.primary);
        const bool accents_a = accented || pa.accented, accents_b = accented || pb.accented;
        if (r == 0 && accents_a != accents_b)
            r = accents_a ? 1 : -1;
        else if (r == 0 && accents_a)
            r = compare_bytes(pa.accents, pa.accent_count, pb.accents, pb.accent_count);
        if (r == 0)
            r = compare_bytes(rest_a.data(), rest_a.size(), rest_b.data(), rest_b.size());
        if (r > 0)
            return false;
    }
    return true;
}

std::shared_ptr<NaturalOrder::Impl> NaturalOrder::Impl::learn(const QByteArray &language, Keys keys)
{
    auto d = std::make_shared<Impl>();
    UErrorCode status = U_ZERO_ERROR;
    UCollator *c = ucol_open(language.constData(), &status);
    if (U_FAILURE(status)) {
        if (c)
            ucol_close(c);
        return d; // the raw bytes alone still give one total order
    }
    ucol_setAttribute(c, UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
    ucol_setAttribute(c, UCOL_STRENGTH, UCOL_SECONDARY, &status); // case does not count
    d->collator = c;
    if (keys == Keys::fastest) {
        d->learn_ascii();
        if (d->ascii_keys) {
            d->learn_latin(language);
            d->learn_replacement();
        }
    }
    return d;
}

NaturalOrder::NaturalOrder(Keys keys)
{
    // A session without a language still wants "file2" before "file10" and
    // "a" beside "A": it gets the neutral English rules.
    const QLocale locale;
    const QByteArray language =
        locale.language() == QLocale::C ? QByteArray("en_US") : locale.name().toLatin1();
    // Learning a language's order takes a quarter of a millisecond, as long
    // as sorting a thousand names, and every listing and rename pass wants
    // it: each thread keeps the last it learnt (a collator is for one
    // thread at a time).
    struct Learnt {
        QByteArray language;
        Keys keys;
        std::shared_ptr<Impl> order;
    };
    thread_local Learnt last;
    if (!last.order || last.language != language || last.keys != keys)
        last = {language, keys, Impl::learn(language, keys)};
    d_ = last.order;
}

void NaturalOrder::sort(NameList &names) const
{
    const auto count = std::size_t(names.size());
    if (count < 2)
        return;
    // A folder read again after a pass, and many a fresh one, hands out its
    // names in order: a check of each against the next is enough.
    if (d_->ascii_keys && d_->in_order(names))
        return;
    // One key per name, all of them back to back in one buffer, and a byte
    // comparison per step: a collator call per comparison, or a separate
    // allocation per key, costs more than the listing itself on a folder of
    // 100,000 files.
    std::string keys;
    const auto name_bytes = std::size_t(names.name_bytes());
    keys.reserve(name_bytes + name_bytes / 4);
    // Each key's first sixteen bytes as two numbers beside its name's index,
    // so that most steps of the sort compare numbers side by side rather
    // than two keys far apart in memory.
    struct Item {
        std::uint64_t head, next; // bytes 0 to 7 and 8 to 15
        std::uint32_t index;
        std::uint32_t length;
    };
    std::vector<std::uint32_t> offsets(count);
    const auto item = [&](std::size_t i, const char *key, std::uint32_t length) {
        // Most keys fit in the item whole; only longer ones go to the
        // buffer, which keeps a large folder's sort small.
        if (length > 16) {
            offsets[i] = std::uint32_t(keys.size());
            keys.append(key, length);
        }
        return Item{word(key, length), length > 8 ? word(key + 8, length - 8) : 0, std::uint32_t(i),
                    length};
    };
    // Names of plain ASCII (most names, and every parking name) get keys of
    // our own making, in the collator's order, without the collator; the
    // others get the collator's. Keys of the two makings cannot be compared
    // with each other: each kind is sorted on its own, and the two sorted
    // runs are merged by asking the collator, once a step.
    std::vector<Item> ascii, other;
    ascii.reserve(count);
    const auto name = [&](std::uint32_t i) { return names[qsizetype(i)]; };
    if (d_->collator) {
        // Each key is made here first; grows to the longest name's need.
        std::string scratch(256, '\0');
        std::u16string text;
        for (std::size_t i = 0; i < count; ++i) {
            const QByteArrayView raw = name(std::uint32_t(i));
            if (d_->ascii_keys) {
                const auto room = std::size_t(7 * raw.size() + 1);
                if (scratch.size() < room)
                    scratch.resize(room);
                const std::ptrdiff_t length = d_->key_of(raw, scratch.data());
                if (length >= 0) {
                    ascii.push_back(item(i, scratch.data(), std::uint32_t(length)));
                    continue;
                }
            }
            shown_text(raw, text);
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
            other.push_back(item(i, scratch.data(), std::uint32_t(std::max(length - 1, 0))));
        }
    } else {
        for (std::size_t i = 0; i < count; ++i)
            other.push_back({0, 0, std::uint32_t(i), 0}); // no keys: the raw bytes decide
    }
    const char *base = keys.data();
    const auto by_key = [&](const Item &x, const Item &y) {
        if (x.head != y.head)
            return x.head < y.head;
        if (x.next != y.next)
            return x.next < y.next;
        // The rest eight bytes at a time, in place, rather than a call per
        // comparison.
        const std::uint32_t common = std::min(x.length, y.length);
        for (std::uint32_t at = 16; at < common; at += 8) {
            const std::uint64_t a = word(base + offsets[x.index] + at, common - at);
            const std::uint64_t b = word(base + offsets[y.index] + at, common - at);
            if (a != b)
                return a < b;
        }
        if (x.length != y.length)
            return x.length < y.length;
        return name(x.index) < name(y.index);
    };
    // Many file systems list a folder in the order its names came, or in
    // the reverse of it: after a rename pass, that is the order wanted or
    // its reverse.
    for (auto *kind : {&ascii, &other}) {
        if (std::is_sorted(kind->begin(), kind->end(), by_key))
            continue;
        if (std::is_sorted(kind->rbegin(), kind->rend(), by_key))
            std::reverse(kind->begin(), kind->end());
        else
            std::sort(kind->begin(), kind->end(), by_key);
    }
    offsets = {};
    std::vector<std::uint32_t> order;
    order.reserve(count);
    if (ascii.empty() || other.empty()) {
        for (const Item &x : ascii.empty() ? other : ascii)
            order.push_back(x.index);
    } else {
        std::u16string a_text, o_text;
        std::uint32_t a_shown = UINT32_MAX, o_shown = UINT32_MAX;
        const auto ascii_first = [&](std::uint32_t a, std::uint32_t o) {
            if (a != a_shown) {
                shown_text(name(a), a_text);
                a_shown = a;
            }
            if (o != o_shown) {
                shown_text(name(o), o_text);
                o_shown = o;
            }
            const UCollationResult r =
                ucol_strcoll(d_->collator, a_text.data(), int32_t(a_text.size()), o_text.data(),
                             int32_t(o_text.size()));
            return r == UCOL_EQUAL ? name(a) < name(o) : r == UCOL_LESS;
        };
        std::size_t ai = 0, oi = 0;
        while (ai < ascii.size() && oi < other.size()) {
            if (ascii_first(ascii[ai].index, other[oi].index))
                order.push_back(ascii[ai++].index);
            else
                order.push_back(other[oi++].index);
        }
        for (; ai < ascii.size(); ++ai)
            order.push_back(ascii[ai].index);
        for (; oi < other.size(); ++oi)
            order.push_back(other[oi].index);
    }
    ascii = {};
    other = {};
    keys = {};
    for (std::uint32_t i = 0; i < order.size(); ++i) {
        if (order[i] != i) {
            names.reorder(order);
            return;
        }
    }
}

} // namespace talvence
