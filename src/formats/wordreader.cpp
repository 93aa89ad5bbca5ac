// SPDX-License-Identifier: GPL-3.0-or-later
#include "wordreader.h"

#include <algorithm>

#include <QElapsedTimer>
#include <QTextDocument>
#include <QtEndian>

#include "compoundfile.h"
#include "twips.h"
#include "wordrowdefinition.h"

namespace talvence {

namespace {

constexpr int max_twips = 31680; // 22 inches, the widest page a word processor offers
constexpr int max_style_chain = 16;
constexpr int max_open_fields = 64;
constexpr std::size_t max_recent_formats = 8;
constexpr qint64 gather_step = 1 << 16; // characters decoded at a time
constexpr int font_key = QTextFormat::UserProperty + 1;
constexpr int colour_key = QTextFormat::UserProperty + 2;

quint16 u16(QByteArrayView b, qint64 at)
{
    if (at < 0 || at + 2 > b.size())
        return 0;
    return qFromLittleEndian<quint16>(b.data() + at);
}

quint32 u32(QByteArrayView b, qint64 at)
{
    if (at < 0 || at + 4 > b.size())
        return 0;
    return qFromLittleEndian<quint32>(b.data() + at);
}

quint8 u8(QByteArrayView b, qint64 at)
{
    if (at < 0 || at >= b.size())
        return 0;
    return quint8(b[at]);
}

// The part of `b` from `at` for `length` bytes, cut to what `b` holds.
QByteArrayView part(QByteArrayView b, qint64 at, qint64 length)
{
    if (at < 0 || length <= 0 || at >= b.size())
        return {};
    return b.sliced(at, std::min<qint64>(length, b.size() - at));
}

int clamp_twips(int v)
{
    return std::clamp(v, -max_twips, max_twips);
}

// A toggle's operand: off, on, or the style's value as it is or reversed.
bool toggle(bool style_value, quint8 operand)
{
    switch (operand) {
    case 0:
        return false;
    case 1:
        return true;
    case 0x80:
        return style_value;
    case 0x81:
        return !style_value;
    }
    return style_value;
}

// The code page of text written under a language (a LID), for documents
// that say nothing else about it.
int code_page_of_language(int lid)
{
    switch (lid & 0x3FF) {
    case 0x19: // Russian
    case 0x22: // Ukrainian
    case 0x23: // Belarusian
    case 0x02: // Bulgarian
    case 0x1C: // Serbian
    case 0x2F: // Macedonian
        return (lid & 0xFFFF) == 0x081A ? 1250 : 1251;
    case 0x05: // Czech
    case 0x0E: // Hungarian
    case 0x15: // Polish
    case 0x18: // Romanian
    case 0x1A: // Croatian
    case 0x1B: // Slovak
    case 0x24: // Slovenian
        return 1250;
    case 0x08:
        return 1253;
    case 0x1F:
        return 1254;
    case 0x0D:
        return 1255;
    case 0x01:
        return 1256;
    case 0x25:
    case 0x26:
    case 0x27:
        return 1257;
    case 0x1E:
        return 874;
    case 0x11:
        return 932;
    case 0x12:
        return 949;
    case 0x04:
        return (lid & 0xFFFF) == 0x0804 || (lid & 0xFFFF) == 0x1004 ? 936 : 950;
    }
    return 1252;
}

// Lower-case Roman numerals, as endnotes are numbered.
QString roman(int n)
{
    static constexpr std::pair<int, const char *> digits[] = {
        {1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"}, {90, "xc"}, {50, "l"},
        {40, "xl"},  {10, "x"},   {9, "ix"},  {5, "v"},    {4, "iv"},  {1, "i"}};
    QString out;
    for (const auto &[value, text] : digits)
        for (; n >= value; n -= value)
            out += QLatin1String(text);
    return out;
}

// Text as the view can take it: a code page of the font's (an EBCDIC one,
// say) can make control characters of letters, and those are left out.
QString visible(QString text)
{
    text.removeIf([](QChar c) { return c.unicode() < 0x20 && c != u'\t'; });
    return text;
}

bool double_byte(int code_page)
{
    return code_page == 932 || code_page == 936 || code_page == 949 || code_page == 950;
}

// The operand sizes of the sprms of Word 6 and Word 95, by their one-byte
// code: 0xFF a size in the operand's first byte, 0xFE one more than the
// size in its first two, 0xFD not known (the rest of the list is left
// unread).
constexpr std::array<quint8, 256> old_sprm_sizes = [] {
    std::array<quint8, 256> s{};
    s.fill(0xFD);
    s[0] = 0;
    const auto set = [&s](int from, int to, quint8 size) {
        for (int i = from; i <= to; ++i)
            s[std::size_t(i)] = size;
    };
    s[2] = 2;
    s[3] = 0xFF;
    set(4, 11, 1);
    s[12] = 0xFF;
    set(13, 14, 1);
    s[15] = 0xFF;
    set(16, 19, 2);
    s[20] = 4;
    set(21, 22, 2);
    s[23] = 0xFF;
    set(24, 25, 1);
    set(26, 28, 2);
    s[29] = 1;
    set(30, 36, 2);
    s[37] = 1;
    set(38, 43, 2);
    s[44] = 1;
    set(45, 49, 2);
    set(50, 51, 1);
    s[52] = 0xFF;
    set(64, 64, 0xFF);
    set(65, 67, 1);
    s[68] = 0xFF;
    s[69] = 2;
    s[70] = 4;
    s[71] = 1;
    s[72] = 2;
    s[73] = 3;
    s[74] = 0xFF;
    s[75] = 1;
    s[80] = 2;
    s[81] = 0xFF;
    s[82] = 0;
    s[83] = 0;
    set(85, 92, 1);
    s[93] = 2;
    s[94] = 1;
    s[95] = 3;
    set(96, 97, 2);
    s[98] = 1;
    s[99] = 2;
    s[100] = 1;
    s[101] = 2;
    s[102] = 1;
    s[103] = 0xFF;
    s[104] = 1;
    s[105] = 0xFF;
    s[106] = 0xFF;
    s[107] = 2;
    s[108] = 0xFF;
    s[109] = 2;
    s[110] = 2;
    set(117, 119, 1);
    s[120] = 0xFF;
    set(121, 124, 2);
    set(131, 135, 1);
    s[136] = 0xFF;
    set(137, 141, 2);
    s[142] = 1;
    set(143, 145, 2);
    set(146, 147, 1);
    s[148] = 2;
    s[149] = 1;
    set(150, 151, 2);
    set(152, 153, 1);
    set(154, 159, 2);
    s[160] = 2;
    s[161] = 1;
    set(162, 169, 2);
    s[170] = 1;
    s[171] = 2;
    set(182, 184, 2);
    set(185, 186, 1);
    s[187] = 12;
    s[188] = 0xFE;
    s[189] = 2;
    s[190] = 0xFE;
    s[191] = 0xFF;
    s[192] = 4;
    s[193] = 5;
    s[194] = 4;
    s[195] = 2;
    s[196] = 4;
    set(197, 198, 2);
    s[199] = 5;
    s[200] = 4;
    return s;
}();

// Word 97's sprm codes this reader acts on.
enum : quint16 {
    sprm_c_rmark_del = 0x0800,
    sprm_c_fld_vanish = 0x0802,
    sprm_c_symbol = 0x6A09,
    sprm_c_istd = 0x4A30,
    sprm_c_bold = 0x0835,
    sprm_c_italic = 0x0836,
    sprm_c_strike = 0x0837,
    sprm_c_small_caps = 0x083A,
    sprm_c_caps = 0x083B,
    sprm_c_vanish = 0x083C,
    sprm_c_kul = 0x2A3E,
    sprm_c_ico = 0x2A42,
    sprm_c_hps = 0x4A43,
    sprm_c_iss = 0x2A48,
    sprm_c_ftc0 = 0x4A4F,
    sprm_c_dstrike = 0x2A53,
    sprm_c_spec = 0x0855,
    sprm_c_cv = 0x6870,
    sprm_p_jc80 = 0x2403,
    sprm_p_jc = 0x2461,
    sprm_p_right80 = 0x840E,
    sprm_p_left80 = 0x840F,
    sprm_p_first80 = 0x8411,
    sprm_p_right = 0x845D,
    sprm_p_left = 0x845E,
    sprm_p_first = 0x8460,
    sprm_p_before = 0xA413,
    sprm_p_after = 0xA414,
    sprm_p_in_table = 0x2416,
    sprm_p_ttp = 0x2417,
    sprm_p_itap = 0x6649,
    sprm_p_inner_ttp = 0x244C,
};

} // namespace

WordReader::WordReader(QByteArrayView bytes)
{
    open(bytes);
}

WordReader::~WordReader() = default;

void WordReader::open(QByteArrayView bytes)
{
    status_ = Status::damaged;
    const std::optional<CompoundFile> file = CompoundFile::open(bytes);
    if (!file)
        return;
    std::optional<QByteArray> word = file->stream(u"WordDocument");
    if (!word) {
        // A package of Word 2007 or later protected by a password travels
        // in a compound file, encrypted whole: there is no text to show.
        status_ = file->has_entry(u"WordDocument") ? Status::damaged
                  : file->has_entry(u"EncryptedPackage") && file->has_entry(u"EncryptionInfo")
                      ? Status::encrypted
                      : Status::not_word;
        return;
    }
    word_ = std::move(*word);
    if (!read_fib())
        return;
    if (status_ != Status::ok)
        return;
    if (word97_) {
        const QStringView name =
            (u16(word_, 0x0A) & 0x0200) != 0 ? QStringView(u"1Table") : QStringView(u"0Table");
        std::optional<QByteArray> table = file->stream(name);
        if (!table) {
            status_ = Status::damaged;
            return;
        }
        table_ = std::move(*table);
    } else {
        table_ = word_;
    }
    read_summary_code_page(*file);
    if (!read_pieces()) {
        status_ = Status::damaged;
        return;
    }
    read_fonts();
    read_styles();
    const auto chpx = fc_lcb(12), papx = fc_lcb(13);
    char_runs_ = read_runs(chpx.first, chpx.second, false);
    para_runs_ = read_runs(papx.first, papx.second, true);
    gather_text();

    document_ = std::make_unique<QTextDocument>();
    document_view_ = document_.get();
    builder_ = std::make_unique<DocumentBuilder>(document_.get());
    out_ = builder_.get();
    end_ = std::min<qint64>(ccp_[0], text_.size());
    // The notes' references in the main text are numbered as Word numbers
    // them, footnotes 1, 2, 3, endnotes i, ii, iii; their texts follow the
    // main text, the footnotes' first, the endnotes' after the headers and
    // comments (which are left out, as the RTF reader leaves them out).
    read_notes(RtfNotes::Kind::footnote, 2, ccp_[0], ccp_[1], footnote_refs_);
    if (word97_)
        read_notes(RtfNotes::Kind::endnote, 46, ccp_[0] + ccp_[1] + ccp_[2] + ccp_[3] + ccp_[4],
                   ccp_[5], endnote_refs_);
}

// The references of one kind of note (a list of positions in the main text,
// in order) and where each note's text lies: a list of positions in the
// notes' own part of the text, `start` on, which is `length` long.
void WordReader::read_notes(RtfNotes::Kind kind, int refs_index, qint64 start, qint64 length,
                            std::vector<qint64> &refs)
{
    const auto [fc_ref, lcb_ref] = fc_lcb(refs_index);
    const auto [fc_txt, lcb_txt] = fc_lcb(refs_index + 1);
    const QByteArrayView ref_plc = part(table_, fc_ref, lcb_ref);
    const QByteArrayView txt_plc = part(table_, fc_txt, lcb_txt);
    const qint64 count = (ref_plc.size() - 4) / 6;
    const qint64 texts = txt_plc.size() / 4 - 1;
    for (qint64 i = 0; i < count; ++i) {
        const qint64 cp = u32(ref_plc, 4 * i);
        // References out of order cannot be matched with their texts.
        if (!refs.empty() && cp <= refs.back())
            break;
        refs.push_back(cp);
        if (i >= texts)
            continue;
        const qint64 from = start + std::min<qint64>(u32(txt_plc, 4 * i), length);
        const qint64 to = std::min<qint64>(
            start + std::min<qint64>(u32(txt_plc, 4 * (i + 1)), length), text_.size());
        if (to > from)
            note_texts_.push_back({kind, from, to, note_mark(kind, int(i))});
    }
}

QString WordReader::note_mark(RtfNotes::Kind kind, int index)
{
    return kind == RtfNotes::Kind::endnote ? roman(index + 1) : QString::number(index + 1);
}

std::pair<qint64, qint64> WordReader::fc_lcb(int index) const
{
    if (index < 0 || index >= fc_lcb_count_)
        return {0, 0};
    const qint64 at = fc_lcb_at_ + 8 * qint64(index);
    return {u32(word_, at), u32(word_, at + 4)};
}

bool WordReader::read_fib()
{
    // Word signs its documents 0xA5EC (0xA5DC before Word 97), but some
    // writers put other values there; the version number (nFib) decides.
    if (word_.size() < 0x60)
        return false;
    nfib_ = u16(word_, 2);
    lid_ = u16(word_, 6);
    const quint16 flags = u16(word_, 0x0A);
    if (nfib_ < 101) {
        status_ = Status::unsupported;
        return true;
    }
    if ((flags & 0x0100) != 0) {
        status_ = Status::encrypted;
        return true;
    }
    word97_ = nfib_ > 105;
    fc_min_ = u32(word_, 0x18);
    ccp_.assign(6, 0);
    if (word97_) {
        const qint64 csw = u16(word_, 0x20);
        const qint64 lw_at = 0x22 + 2 * csw;
        const qint64 cslw = u16(word_, lw_at);
        const qint64 lw = lw_at + 2;
        // ccpText, ccpFtn, ccpHdd, ccpMcr (reserved since), ccpAtn, ccpEdn.
        for (int i = 0; i < 6 && 3 + i < cslw; ++i)
            ccp_[std::size_t(i)] = u32(word_, lw + 4 * (3 + i));
        const qint64 count_at = lw + 4 * cslw;
        fc_lcb_count_ = u16(word_, count_at);
        fc_lcb_at_ = count_at + 2;
    } else {
        for (int i = 0; i < 6; ++i)
            ccp_[std::size_t(i)] = u32(word_, 0x34 + 4 * i);
        fc_lcb_at_ = 0x58;
        fc_lcb_count_ = 40;
    }
    for (qint64 &c : ccp_)
        c = std::clamp<qint64>(c, 0, word_.size());
    status_ = Status::ok;
    return true;
}

void WordReader::read_summary_code_page(const CompoundFile &file)
{
    const QString name = QChar(5) + QStringLiteral("SummaryInformation");
    int code_page = 0;
    if (std::optional<QByteArray> s = file.stream(name)) {
        const qint64 section = u32(*s, 28 + 16);
        const qint64 count = std::min<qint64>(u32(*s, section + 4), 1024);
        for (qint64 i = 0; i < count; ++i) {
            if (u32(*s, section + 8 + 8 * i) != 1)
                continue;
            const qint64 at = section + u32(*s, section + 12 + 8 * i);
            if (u16(*s, at) == 2) // a 16-bit integer
                code_page = u16(*s, at + 4);
        }
    }
    // Code pages a document may claim that are no code page of text.
    if (code_page == 1200 || code_page == 65001 || code_page == 0xFFFF)
        code_page = 0;
    if (code_page == 0)
        code_page = code_page_of_language(lid_);
    if (!word97_ && u16(word_, 0x14) == 256)
        code_page = 10000; // written on a Mac
    code_page_ = code_page;
}

bool WordReader::read_pieces()
{
    const auto [fc_clx, lcb_clx] = fc_lcb(33);
    const QByteArrayView clx = part(table_, fc_clx, lcb_clx);
    // Some writers put 16-bit text into a Word 95 document: then its text
    // holds twice as many bytes as it has characters.
    qint64 chars = 0;
    for (const qint64 c : ccp_)
        chars += c;
    const qint64 fc_mac = u32(word_, 0x1C);
    const bool wide = !word97_ && chars > 0 && fc_mac - fc_min_ >= 2 * chars;
    if (word97_ || !clx.isEmpty()) {
        qint64 at = 0;
        QByteArrayView plc;
        while (at < clx.size()) {
            const quint8 kind = u8(clx, at);
            if (kind == 1) {
                const qint64 cb = u16(clx, at + 1);
                piece_sprms_.push_back(part(clx, at + 3, cb).toByteArray());
                at += 3 + cb;
            } else if (kind == 2) {
                const qint64 lcb = u32(clx, at + 1);
                plc = part(clx, at + 5, lcb);
                break;
            } else {
                return false;
            }
        }
        const qint64 n = (plc.size() - 4) / 12;
        if (n <= 0)
            return false;
        pieces_.reserve(std::size_t(n));
        for (qint64 i = 0; i < n; ++i) {
            Piece p;
            p.cp = u32(plc, 4 * i);
            p.cp_end = u32(plc, 4 * (i + 1));
            const quint32 fc = u32(plc, 4 * (n + 1) + 8 * i + 2);
            if (word97_) {
                p.compressed = (fc & 0x40000000u) != 0;
                p.fc = p.compressed ? (fc & 0x3FFFFFFFu) / 2 : fc;
            } else {
                p.compressed = !wide;
                p.fc = fc;
            }
            // Positions only grow; a piece out of order is left out.
            if (p.cp_end <= p.cp || (!pieces_.empty() && p.cp < pieces_.back().cp_end))
                continue;
            pieces_.push_back(p);
        }
    } else {
        // Word 6 and 95 saved in full: the text lies in one piece.
        if (fc_mac <= fc_min_)
            return false;
        pieces_.push_back({0, wide ? (fc_mac - fc_min_) / 2 : fc_mac - fc_min_, fc_min_, !wide});
    }
    return !pieces_.empty();
}

void WordReader::read_fonts()
{
    const auto [fc, lcb] = fc_lcb(15);
    const QByteArrayView sttb = part(table_, fc, lcb);
    qint64 at = 0;
    qint64 count = 0;
    if (word97_) {
        count = u16(sttb, 0);
        at = 4;
        if (count == 0xFFFF) // the extended form, with a count of four bytes
            return;
    } else {
        count = 0xFFFF; // as many as the table's size holds
        at = 2;
    }
    for (qint64 i = 0; i < count && at < sttb.size(); ++i) {
        const qint64 size = word97_ ? u8(sttb, at) : u8(sttb, at) + 1;
        const QByteArrayView ffn = part(sttb, word97_ ? at + 1 : at, word97_ ? size : size);
        at += word97_ ? size + 1 : size;
        if (size <= 0)
            break;
        Font f;
        const quint8 ffid = u8(ffn, word97_ ? 0 : 1);
        f.hint = (ffid >> 4) & 7;
        const int chs = u8(ffn, word97_ ? 3 : 4);
        QString name;
        if (word97_) {
            for (qint64 k = 39; k + 1 < ffn.size(); k += 2) {
                const char16_t c = u16(ffn, k);
                if (c == 0)
                    break;
                name.append(QChar(c));
            }
        } else {
            QByteArray bytes;
            for (qint64 k = 6; k < ffn.size() && ffn[k] != '\0'; ++k)
                bytes.append(ffn[k]);
            name = QString::fromLatin1(bytes);
        }
        f.families = QStringList{name};
        f.symbol = symbol_font_of(name);
        // The default charset (0) and the OEM one take the document's own.
        const int page = chs == 0 || chs == 1 ? 0 : CodePageDecoder::code_page_of_charset(chs);
        f.code_page = page;
        if (chs == 2)
            f.code_page = CodePageDecoder::symbol;
        fonts_.push_back(std::move(f));
    }
}

void WordReader::read_styles()
{
    const auto [fc, lcb] = fc_lcb(1);
    const QByteArrayView stsh = part(table_, fc, lcb);
    const qint64 cb_stshi = u16(stsh, 0);
    const QByteArrayView stshi = part(stsh, 2, cb_stshi);
    const qint64 count = std::min<qint64>(u16(stshi, 0), 4096);
    const qint64 base_size = u16(stshi, 2);
    if (stshi.size() >= 14)
        default_font_ = u16(stshi, 12);
    qint64 at = 2 + cb_stshi;
    styles_.resize(std::size_t(count));
    for (qint64 i = 0; i < count && at + 2 <= stsh.size(); ++i) {
        const qint64 cb = u16(stsh, at);
        const QByteArrayView std_ = part(stsh, at + 2, cb);
        at += 2 + cb;
        // The fixed part is 10 bytes since Word 97, 8 before.
        if (base_size < (word97_ ? 10 : 8) || std_.size() < base_size)
            continue;
        Style &s = styles_[std::size_t(i)];
        s.kind = u16(std_, 2) & 0xF;
        s.base = u16(std_, 2) >> 4;
        const int upx_count = u16(std_, 4) & 0xF;
        // The name, in UTF-16 since Word 97, in bytes before; each with its
        // length first and a NUL after it. The properties start at an even
        // offset.
        qint64 p = word97_ ? base_size + 2 + 2 * qint64(u16(std_, base_size)) + 2
                           : base_size + 1 + qint64(u8(std_, base_size)) + 1;
        p += p & 1;
        for (int u = 0; u < upx_count && p + 2 <= std_.size(); ++u) {
            const qint64 size = u16(std_, p);
            const QByteArrayView upx = part(std_, p + 2, size);
            p += 2 + size + (size & 1);
            if (s.kind == 1 && u == 0)
                s.para_sprms = part(upx, 2, upx.size() - 2).toByteArray();
            else if ((s.kind == 1 && u == 1) || (s.kind == 2 && u == 0))
                s.char_sprms = upx.toByteArray();
        }
    }
}

std::vector<WordReader::Run> WordReader::read_runs(qint64 fc_plc, qint64 lcb_plc,
                                                   bool paragraphs) const
{
    // A list of pages of 512 bytes, each with the runs of a part of the text
    // and their properties.
    const QByteArrayView plc = part(table_, fc_plc, lcb_plc);
    const int pn_size = word97_ ? 4 : 2;
    const qint64 n = (plc.size() - 4) / (4 + pn_size);
    std::vector<Run> runs;
    for (qint64 i = 0; i < n; ++i) {
        const qint64 pn =
            word97_ ? u32(plc, 4 * (n + 1) + 4 * i) & 0x3FFFFF : u16(plc, 4 * (n + 1) + 2 * i);
        const QByteArrayView fkp = part(word_, pn * 512, 512);
        if (fkp.size() < 512)
            continue;
        const int crun = u8(fkp, 511);
        const int entry = paragraphs ? (word97_ ? 13 : 7) : 1;
        if (4 * (crun + 1) + entry * crun > 511)
            continue;
        for (int r = 0; r < crun; ++r) {
            Run run;
            run.fc = u32(fkp, 4 * r);
            run.fc_end = u32(fkp, 4 * (r + 1));
            const qint64 offset = 2 * qint64(u8(fkp, 4 * (crun + 1) + entry * r));
            if (offset != 0) {
                if (paragraphs) {
                    qint64 size = 0, at = offset + 1;
                    const int cb = u8(fkp, offset);
                    if (word97_) {
                        if (cb == 0) {
                            size = 2 * qint64(u8(fkp, offset + 1));
                            at = offset + 2;
                        } else {
                            size = 2 * qint64(cb) - 1;
                        }
                    } else {
                        size = 2 * qint64(cb);
                    }
                    const QByteArrayView papx = part(fkp, at, std::min<qint64>(size, 511 - at));
                    // The paragraph's style (two bytes in Word 6 too), its sprms.
                    run.style = u16(papx, 0);
                    run.sprms = part(papx, 2, papx.size()).toByteArray();
                } else {
                    const int cb = u8(fkp, offset);
                    run.sprms =
                        part(fkp, offset + 1, std::min<qint64>(cb, 511 - offset - 1)).toByteArray();
                }
            }
            if (run.fc_end > run.fc)
                runs.push_back(std::move(run));
        }
    }
    // The pages come in the order of the text but for documents saved quickly.
    const auto by_fc = [](const Run &a, const Run &b) { return a.fc < b.fc; };
    if (!std::is_sorted(runs.begin(), runs.end(), by_fc))
        std::stable_sort(runs.begin(), runs.end(), by_fc);
    return runs;
}

void WordReader::gather_text()
{
    // Every position needs a byte of the stream at least, so no more
    // positions than that are read, whatever the counts say. The text is
    // decoded as the reading gets to it (gather_to): a long document's
    // first screen waits for no more than its own text.
    qint64 all = 0; // the main text, then the notes', headers' and comments' texts
    for (const qint64 c : ccp_)
        all += c;
    const qint64 total = std::min({all, pieces_.back().cp_end, qint64(word_.size())});
    text_.resize(total);
}

void WordReader::gather_to(qint64 cp)
{
    const qint64 target = std::min<qint64>(cp, text_.size());
    char16_t *out = reinterpret_cast<char16_t *>(text_.data());
    const auto *bytes = reinterpret_cast<const unsigned char *>(word_.constData());
    while (gathered_ < target) {
        while (gather_piece_ < pieces_.size() && pieces_[gather_piece_].cp_end <= gathered_)
            ++gather_piece_;
        if (gather_piece_ == pieces_.size() || pieces_[gather_piece_].cp > gathered_) {
            // Positions no piece covers stay empty.
            const qint64 gap = gather_piece_ == pieces_.size()
                                   ? target
                                   : std::min(target, pieces_[gather_piece_].cp);
            std::fill(out + gathered_, out + gap, char16_t(0));
            gathered_ = gap;
            continue;
        }
        const Piece &p = pieces_[gather_piece_];
        const int unit = p.compressed ? 1 : 2;
        const qint64 end = std::min(target, p.cp_end);
        // Where the stream holds bytes for the piece.
        const qint64 held = p.fc >= 0 && p.fc < word_.size()
                                ? std::min(end, p.cp + (word_.size() - p.fc) / unit)
                                : p.cp;
        const unsigned char *in = bytes + (held > gathered_ ? p.fc + (gathered_ - p.cp) * unit : 0);
        char16_t *o = out + gathered_;
        const qint64 count = std::max<qint64>(0, held - gathered_);
        if (!p.compressed) {
            for (qint64 i = 0; i < count; ++i)
                o[i] = char16_t(in[2 * i] | in[2 * i + 1] << 8);
        } else if (!word97_) {
            for (qint64 i = 0; i < count; ++i)
                o[i] = in[i]; // decoded in its font's code page as it goes out
        } else {
            for (qint64 i = 0; i < count; ++i) {
                const char16_t c = CodePageDecoder::windows_1252(in[i]);
                o[i] = c == 0xFFFD ? 0 : c;
            }
        }
        std::fill(o + count, out + end, char16_t(0));
        gathered_ = end;
    }
}

template <typename F> void WordReader::each_sprm(QByteArrayView sprms, F &&f) const
{
    qint64 at = 0;
    while (at < sprms.size()) {
        quint16 sprm;
        qint64 size;
        qint64 operand;
        if (word97_) {
            if (at + 2 > sprms.size())
                return;
            sprm = u16(sprms, at);
            operand = at + 2;
            switch (sprm >> 13) {
            case 0:
            case 1:
                size = 1;
                break;
            case 2:
            case 4:
            case 5:
                size = 2;
                break;
            case 3:
                size = 4;
                break;
            case 7:
                size = 3;
                break;
            default:
                if (sprm == 0xD608 || sprm == 0xD606) {
                    size = u16(sprms, operand) + 1;
                } else {
                    size = u8(sprms, operand);
                    ++operand;
                }
                break;
            }
        } else {
            sprm = u8(sprms, at);
            operand = at + 1;
            const quint8 known = old_sprm_sizes[sprm];
            if (known == 0xFD)
                return;
            if (known == 0xFF) {
                size = u8(sprms, operand);
                ++operand;
            } else if (known == 0xFE) {
                // A size of two bytes that counts itself once more.
                size = std::max(0, u16(sprms, operand) - 1);
                operand += 2;
            } else {
                size = known;
            }
        }
        if (operand + size > sprms.size())
            return;
        f(sprm, sprms.sliced(operand, size));
        at = operand + size;
    }
}

const WordReader::Style *WordReader::style(int index)
{
    static const Style plain;
    if (index < 0 || std::size_t(index) >= styles_.size())
        return &plain;
    Style &s = styles_[std::size_t(index)];
    if (s.resolved)
        return &s;
    // The style's own properties go over those of the styles it is based
    // on, from the farthest one in; the chain is followed by a loop that
    // stops at a length no document needs, so a chain that loops ends.
    std::vector<int> chain{index};
    for (int at = s.base;
         at >= 0 && std::size_t(at) < styles_.size() && chain.size() < std::size_t(max_style_chain);
         at = styles_[std::size_t(at)].base) {
        if (std::find(chain.begin(), chain.end(), at) != chain.end())
            break;
        chain.push_back(at);
    }
    ParaProps para;
    CharProps chars;
    chars.font = default_font_;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const Style &link = styles_[std::size_t(*it)];
        apply_para_sprms(para, link.para_sprms);
        const CharProps base = chars;
        apply_char_sprms(chars, base, link.char_sprms);
    }
    s.para = para;
    s.chars = chars;
    s.resolved = true;
    return &s;
}

// A character style goes over the paragraph's characters, from the
// farthest style it is based on in.
void WordReader::apply_char_style(CharProps &p, int istd)
{
    std::vector<int> chain;
    for (int at = istd;
         at >= 0 && std::size_t(at) < styles_.size() && chain.size() < std::size_t(max_style_chain);
         at = styles_[std::size_t(at)].base) {
        if (styles_[std::size_t(at)].kind != 2 ||
            std::find(chain.begin(), chain.end(), at) != chain.end())
            break;
        chain.push_back(at);
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const CharProps base = p;
        apply_char_sprms(p, base, styles_[std::size_t(*it)].char_sprms);
    }
}

void WordReader::apply_char_sprms(CharProps &p, const CharProps &style_base, QByteArrayView sprms)
{
    each_sprm(sprms, [&](quint16 sprm, QByteArrayView op) {
        const quint8 b = u8(op, 0);
        if (!word97_) {
            switch (sprm) {
            case 65:
                p.deleted = b != 0;
                break;
            case 80:
                apply_char_style(p, u16(op, 0));
                break;
            case 83: // back to the paragraph style's characters
                p = style_base;
                break;
            case 85:
                p.bold = toggle(style_base.bold, b);
                break;
            case 86:
                p.italic = toggle(style_base.italic, b);
                break;
            case 87:
                p.strike = toggle(style_base.strike, b);
                break;
            case 90:
                p.small_caps = toggle(style_base.small_caps, b);
                break;
            case 91:
                p.caps = toggle(style_base.caps, b);
                break;
            case 92:
                p.hidden = toggle(style_base.hidden, b);
                break;
            case 93:
                p.font = u16(op, 0);
                break;
            case 94:
                p.underline = b;
                break;
            case 98:
                p.colour = word_palette_colour(b);
                break;
            case 99:
                p.half_points = std::clamp<int>(u16(op, 0), 2, 3276);
                break;
            case 104:
                p.vertical = b;
                break;
            case 117:
                p.special = b != 0;
                break;
            }
            return;
        }
        switch (sprm) {
        case sprm_c_rmark_del:
            p.deleted = b != 0;
            break;
        case sprm_c_fld_vanish:
            break;
        case sprm_c_istd:
            apply_char_style(p, u16(op, 0));
            break;
        case sprm_c_bold:
            p.bold = toggle(style_base.bold, b);
            break;
        case sprm_c_italic:
            p.italic = toggle(style_base.italic, b);
            break;
        case sprm_c_strike:
        case sprm_c_dstrike:
            p.strike = toggle(style_base.strike, b);
            break;
        case sprm_c_small_caps:
            p.small_caps = toggle(style_base.small_caps, b);
            break;
        case sprm_c_caps:
            p.caps = toggle(style_base.caps, b);
            break;
        case sprm_c_vanish:
            p.hidden = toggle(style_base.hidden, b);
            break;
        case sprm_c_kul:
            p.underline = b;
            break;
        case sprm_c_ico:
            p.colour = word_palette_colour(b);
            break;
        case sprm_c_cv:
            p.colour = u8(op, 3) == 0xFF ? 0 : qRgb(u8(op, 0), u8(op, 1), u8(op, 2));
            break;
        case sprm_c_hps:
            p.half_points = std::clamp<int>(u16(op, 0), 2, 3276);
            break;
        case sprm_c_iss:
            p.vertical = b;
            break;
        case sprm_c_ftc0:
            p.font = u16(op, 0);
            break;
        case sprm_c_spec:
            p.special = b != 0;
            break;
        case sprm_c_symbol:
            p.symbol_font = u16(op, 0);
            p.symbol_char = u16(op, 2);
            break;
        }
    });
}

void WordReader::apply_para_sprms(ParaProps &p, QByteArrayView sprms) const
{
    each_sprm(sprms, [&](quint16 sprm, QByteArrayView op) {
        const qint16 w = qint16(u16(op, 0));
        if (!word97_) {
            switch (sprm) {
            case 5:
                p.alignment = u8(op, 0);
                break;
            case 16:
                p.right = clamp_twips(w);
                break;
            case 17:
                p.left = clamp_twips(w);
                break;
            case 19:
                p.first = clamp_twips(w);
                break;
            case 21:
                p.before = clamp_twips(w);
                break;
            case 22:
                p.after = clamp_twips(w);
                break;
            case 24:
                p.in_table = u8(op, 0) != 0;
                p.depth = p.in_table ? 1 : 0;
                break;
            case 25:
                p.row_end = u8(op, 0) != 0;
                break;
            }
            return;
        }
        switch (sprm) {
        case sprm_p_jc80:
        case sprm_p_jc:
            p.alignment = u8(op, 0);
            break;
        case sprm_p_right80:
        case sprm_p_right:
            p.right = clamp_twips(w);
            break;
        case sprm_p_left80:
        case sprm_p_left:
            p.left = clamp_twips(w);
            break;
        case sprm_p_first80:
        case sprm_p_first:
            p.first = clamp_twips(w);
            break;
        case sprm_p_before:
            p.before = clamp_twips(w);
            break;
        case sprm_p_after:
            p.after = clamp_twips(w);
            break;
        case sprm_p_in_table:
            p.in_table = u8(op, 0) != 0;
            if (p.in_table && p.depth == 0)
                p.depth = 1;
            break;
        case sprm_p_ttp:
            p.row_end = u8(op, 0) != 0;
            break;
        case sprm_p_itap:
            p.depth = std::clamp<int>(qint32(u32(op, 0)), 0, 64);
            p.in_table = p.depth > 0;
            break;
        case sprm_p_inner_ttp:
            break;
        }
    });
}

qint64 WordReader::fc_of(qint64 cp, std::size_t *piece) const
{
    auto it = std::upper_bound(pieces_.begin(), pieces_.end(), cp,
                               [](qint64 v, const Piece &p) { return v < p.cp_end; });
    if (it == pieces_.end() || cp < it->cp)
        return -1;
    if (piece)
        *piece = std::size_t(it - pieces_.begin());
    return it->fc + (cp - it->cp) * (it->compressed ? 1 : 2);
}

const WordReader::Run *WordReader::run_at(const std::vector<Run> &runs, qint64 fc) const
{
    auto it = std::upper_bound(runs.begin(), runs.end(), fc,
                               [](qint64 v, const Run &r) { return v < r.fc; });
    if (it == runs.begin())
        return nullptr;
    --it;
    return fc < it->fc_end ? &*it : nullptr;
}

WordReader::ParaProps WordReader::para_at(qint64 cp, int *istd)
{
    const qint64 fc = fc_of(cp, nullptr);
    const Run *run = run_at(para_runs_, fc);
    *istd = run ? run->style : 0;
    ParaProps p = style(*istd)->para;
    if (run)
        apply_para_sprms(p, run->sprms);
    return p;
}

// The row that the mark at `mark` ends, as its table properties define it.
DocumentBuilder::RowLayout WordReader::row_layout(qint64 mark)
{
    WordRowDefinition row(word97_);
    if (const Run *run = run_at(para_runs_, fc_of(mark, nullptr)))
        each_sprm(run->sprms, [&row](quint16 sprm, QByteArrayView op) { row.apply(sprm, op); });
    // The last row of its table takes the table's bottom border.
    int istd = 0;
    const bool last = mark + 1 >= end_ || !para_at(mark + 1, &istd).in_table;
    return row.layout(first_row_, last);
}

WordReader::CharProps WordReader::chars_at(qint64 cp, qint64 *run_end_cp)
{
    std::size_t piece = 0;
    const qint64 fc = fc_of(cp, &piece);
    CharProps p = style(para_style_)->chars;
    if (fc < 0) {
        *run_end_cp = cp + 1;
        return p;
    }
    const Piece &pc = pieces_[piece];
    const int unit = pc.compressed ? 1 : 2;
    qint64 end = pc.cp_end;
    if (const Run *run = run_at(char_runs_, fc)) {
        const CharProps base = p;
        apply_char_sprms(p, base, run->sprms);
        end = std::min(end, cp + (run->fc_end - fc + unit - 1) / unit);
    } else {
        // Up to where the next run starts.
        auto next = std::upper_bound(char_runs_.begin(), char_runs_.end(), fc,
                                     [](qint64 v, const Run &r) { return v < r.fc; });
        if (next != char_runs_.end())
            end = std::min(end, cp + (next->fc - fc + unit - 1) / unit);
    }
    *run_end_cp = std::max(end, cp + 1);
    return p;
}

int WordReader::code_page_of(int font) const
{
    if (font >= 0 && std::size_t(font) < fonts_.size()) {
        const Font &f = fonts_[std::size_t(font)];
        if (f.symbol != SymbolFont::none)
            return CodePageDecoder::of_symbol_font(f.symbol);
        if (f.code_page != 0)
            return f.code_page;
    }
    return code_page_;
}

QTextCharFormat WordReader::char_format(const CharProps &p)
{
    for (const auto &entry : recent_formats_)
        if (entry.first == p)
            return entry.second;
    QTextCharFormat f;
    if (p.font >= 0 && std::size_t(p.font) < fonts_.size()) {
        const Font &font = fonts_[std::size_t(p.font)];
        if (font.symbol == SymbolFont::none && !font.families.front().isEmpty())
            f.setFontFamilies(font.families);
        static constexpr QFont::StyleHint hints[8] = {
            QFont::AnyStyle, QFont::Serif,      QFont::SansSerif, QFont::TypeWriter,
            QFont::Cursive,  QFont::Decorative, QFont::AnyStyle,  QFont::AnyStyle};
        if (hints[font.hint & 7] != QFont::AnyStyle)
            f.setFontStyleHint(hints[font.hint & 7]);
    }
    f.setProperty(font_key, p.font);
    f.setFontPointSize(p.half_points / 2.0);
    if (p.bold)
        f.setFontWeight(QFont::Bold);
    if (p.italic)
        f.setFontItalic(true);
    if (p.underline != 0)
        f.setUnderlineStyle(p.underline == 4   ? QTextCharFormat::DotLine
                            : p.underline == 7 ? QTextCharFormat::DashUnderline
                                               : QTextCharFormat::SingleUnderline);
    if (p.strike || p.deleted)
        f.setFontStrikeOut(true);
    if (p.caps)
        f.setFontCapitalization(QFont::AllUppercase);
    else if (p.small_caps)
        f.setFontCapitalization(QFont::SmallCaps);
    if (p.vertical == 1)
        f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    else if (p.vertical == 2)
        f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    if (p.colour != 0) {
        f.setForeground(QColor::fromRgb(p.colour));
        f.setProperty(colour_key, int(p.colour & 0xFFFFFF));
    }
    if (recent_formats_.size() == max_recent_formats)
        recent_formats_.pop_back();
    recent_formats_.emplace(recent_formats_.begin(), p, f);
    return f;
}

QTextBlockFormat WordReader::block_format(const ParaProps &p) const
{
    QTextBlockFormat f;
    switch (p.alignment) {
    case 1:
        f.setAlignment(Qt::AlignHCenter);
        break;
    case 2:
        f.setAlignment(Qt::AlignRight);
        break;
    case 3:
    case 4:
    case 5:
        f.setAlignment(Qt::AlignJustify);
        break;
    default:
        f.setAlignment(Qt::AlignLeft);
    }
    if (!p.in_table) {
        f.setLeftMargin(px(p.left));
        f.setRightMargin(px(p.right));
        f.setTextIndent(px(p.first));
        if (p.first < 0)
            f.setTabPositions({QTextOption::Tab(px(-p.first), QTextOption::LeftTab)});
    }
    f.setTopMargin(px(p.before));
    f.setBottomMargin(px(p.after));
    return f;
}

std::unique_ptr<QTextDocument> WordReader::read()
{
    while (!read_part(std::chrono::hours(1))) {
    }
    return take_document();
}

bool WordReader::read_part(std::chrono::nanoseconds time, qint64 characters)
{
    if (done_ || status_ != Status::ok)
        return true;
    QElapsedTimer clock;
    clock.start();
    qint64 read = 0;
    for (int i = 0;; ++i) {
        const qint64 at = cp_;
        if (!step() && !next_note()) {
            finish();
            return true;
        }
        read += std::max<qint64>(cp_ - at, 0);
        if (read >= characters ||
            ((i & 63) == 63 && std::chrono::nanoseconds(clock.nsecsElapsed()) >= time))
            break;
    }
    // The notes' texts join the document when it is finished.
    builder_->pause();
    return false;
}

// Goes on with the text of the next note, in paragraphs of its own apart
// from the main text; false when there is none.
bool WordReader::next_note()
{
    if (next_note_ >= note_texts_.size())
        return false;
    if (next_note_ == 0)
        main_end_format_ = block_format(paragraph_started_ ? para_ : ParaProps());
    else if (paragraph_started_)
        out_->end_paragraph(block_format(para_)); // the last note's last paragraph
    const NoteText &n = note_texts_[next_note_++];
    out_ = &notes_.builder(n.kind);
    note_mark_ = n.mark;
    cp_ = n.from;
    end_ = n.to;
    paragraph_started_ = false;
    first_row_ = true;
    fields_.clear();
    fields_beyond_ = 0;
    return true;
}

void WordReader::start_paragraph(qint64 cp)
{
    // A paragraph's properties are those of its mark.
    qint64 mark = cp;
    const char16_t *t = reinterpret_cast<const char16_t *>(text_.constData());
    for (; mark < end_; ++mark) {
        if (mark >= gathered_)
            gather_to(mark + gather_step);
        if (t[mark] == 0x0D || t[mark] == 0x07)
            break;
    }
    para_ = para_at(std::min(mark, end_ - 1), &para_style_);
    out_->set_in_table(para_.in_table);
    paragraph_started_ = true;
}

bool WordReader::step()
{
    if (cp_ >= end_)
        return false;
    if (!paragraph_started_)
        start_paragraph(cp_);
    qint64 run_end = 0;
    const CharProps p = chars_at(cp_, &run_end);
    run_end = std::min({run_end, end_, cp_ + gather_step});
    gather_to(run_end);
    const char16_t *t = reinterpret_cast<const char16_t *>(text_.constData());
    qint64 k = cp_;
    while (k < run_end && t[k] >= 0x20)
        ++k;
    if (k > cp_)
        put_text(cp_, k, p);
    cp_ = k;
    if (k < run_end) {
        put_mark(t[k], p);
        ++cp_;
    }
    return true;
}

void WordReader::put_text(qint64 from, qint64 to, const CharProps &p)
{
    const bool shown = !p.hidden && fields_beyond_ == 0 &&
                       std::all_of(fields_.begin(), fields_.end(), [](bool b) { return b; });
    if (!shown)
        return;
    if (p.special) {
        // A symbol the document names by font and code.
        if (p.symbol_char != 0 && to - from == 1) {
            QString sign;
            const int page = code_page_of(p.symbol_font);
            const char byte = char(p.symbol_char & 0xFF);
            if (page < 0 || page == CodePageDecoder::symbol)
                decoder_.append(sign, QByteArrayView(&byte, 1), page);
            else
                sign = QChar(p.symbol_char);
            out_->set_char_format(char_format(p));
            out_->append(visible(sign));
        }
        return;
    }
    out_->set_char_format(char_format(p));
    std::size_t piece = 0;
    const qint64 fc = fc_of(from, &piece);
    const int page = code_page_of(p.font);
    if (fc >= 0 && pieces_[piece].compressed && !word97_) {
        // Word 6 and 95 write bytes in the code page of their font.
        QString decoded;
        const QByteArrayView bytes = part(word_, fc, to - from);
        if (double_byte(page) || page != 1252) {
            decoder_.append(decoded, bytes, page);
        } else {
            decoded.reserve(bytes.size());
            for (const char b : bytes)
                decoded.append(QChar(CodePageDecoder::windows_1252(quint8(b))));
        }
        decoded.remove(QChar(0xFFFD));
        out_->append(visible(decoded));
        return;
    }
    const QStringView text = QStringView(text_).sliced(from, to - from);
    if (page < 0 || page == CodePageDecoder::symbol) {
        // A symbol font's signs are written as U+F0xx or as their bytes.
        QByteArray bytes;
        bytes.reserve(text.size());
        for (const QChar c : text)
            bytes.append(char(c.unicode() & 0xFF));
        QString sign;
        decoder_.append(sign, bytes, page);
        out_->append(visible(sign));
        return;
    }
    out_->append(text);
}

void WordReader::put_mark(char16_t mark, const CharProps &p)
{
    const bool in_result = fields_beyond_ == 0 &&
                           std::all_of(fields_.begin(), fields_.end(), [](bool b) { return b; });
    switch (mark) {
    case 0x13: // a field starts with its instruction
        if (fields_.size() < std::size_t(max_open_fields))
            fields_.push_back(false);
        else
            ++fields_beyond_;
        return;
    case 0x14: // its result follows
        if (fields_beyond_ == 0 && !fields_.empty())
            fields_.back() = true;
        return;
    case 0x15:
        if (fields_beyond_ > 0)
            --fields_beyond_;
        else if (!fields_.empty())
            fields_.pop_back();
        return;
    case 0x07:
        if (para_.in_table && para_.depth <= 1) {
            if (para_.row_end) {
                out_->end_row(row_layout(cp_));
                first_row_ = false;
            } else {
                out_->end_cell(block_format(para_));
            }
            paragraph_started_ = false;
            return;
        }
        [[fallthrough]];
    case 0x0D:
    case 0x0C:
    case 0x0E:
        // A hidden paragraph mark joins its paragraph to the next.
        if (p.hidden && mark == 0x0D)
            return;
        out_->end_paragraph(block_format(para_));
        paragraph_started_ = false;
        if (!para_.in_table)
            first_row_ = true;
        return;
    case 0x09:
    case 0x0B:
    case 0x1E:
    case 0x1F:
    case 0x02:
        break;
    default:
        return;
    }
    if (!in_result || p.hidden)
        return;
    out_->set_char_format(char_format(p));
    switch (mark) {
    case 0x09:
        out_->append(u"\t");
        break;
    case 0x0B:
        out_->append(u"\u2028");
        break;
    case 0x1E:
        out_->append(u"\u2011");
        break;
    case 0x1F:
        out_->append(u"\u00AD");
        break;
    case 0x02: {
        // A note's number.
        if (!p.special)
            return;
        QTextCharFormat f = char_format(p);
        f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
        out_->set_char_format(f);
        if (next_note_ > 0) { // a note's text starts with its own mark again
            out_->append(note_mark_);
            break;
        }
        const auto at = [this](const std::vector<qint64> &refs) {
            const auto it = std::lower_bound(refs.begin(), refs.end(), cp_);
            return it != refs.end() && *it == cp_ ? int(it - refs.begin()) : -1;
        };
        if (const int endnote = at(endnote_refs_); endnote >= 0)
            out_->append(note_mark(RtfNotes::Kind::endnote, endnote));
        else if (const int footnote = at(footnote_refs_); footnote >= 0)
            out_->append(note_mark(RtfNotes::Kind::footnote, footnote));
        else
            out_->append(QString::number(++footnote_number_));
        break;
    }
    }
}

void WordReader::finish()
{
    if (done_)
        return;
    done_ = true;
    if (next_note_ == 0) {
        builder_->finish(block_format(paragraph_started_ ? para_ : ParaProps()));
        return;
    }
    if (paragraph_started_)
        out_->end_paragraph(block_format(para_));
    builder_->finish(main_end_format_);
    notes_.append_to(document_view_, *builder_, block_format(ParaProps()));
}

} // namespace talvence
