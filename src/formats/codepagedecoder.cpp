// SPDX-License-Identifier: GPL-3.0-or-later
#include "codepagedecoder.h"

namespace talvence {

namespace {

// Bytes 0x80 to 0xFF; below that all three are ASCII. Undefined bytes show
// as U+FFFD rather than as invisible C1 controls.
constexpr char16_t cp1250[128] = {
    0x20AC, 0xFFFD, 0x201A, 0xFFFD, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0xFFFD, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179, //
    0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0xFFFD, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, //
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7, // A0
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B, //
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7, // B0
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C, //
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7, // C0
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E, //
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, // D0
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, //
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7, // E0
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F, //
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7, // F0
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9, //
};

constexpr char16_t cp1251[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, //
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, //
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, //
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, //
    // C0 to FF: А to я in alphabetical order, without Ё and ё.
};

constexpr char16_t cp1252_80_9f[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, //
    0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178, //
};

char16_t windows_1251(unsigned char b)
{
    if (b < 0x80)
        return b;
    return b >= 0xC0 ? char16_t(0x0410 + (b - 0xC0)) : cp1251[b - 0x80];
}

// The converter of a Mac code page. The CJK ones are the Windows encodings
// with a few signs of Apple's added, which read through these; a Mac code
// page without a converter of its own reads as Mac Roman, whose ASCII and
// punctuation at least come out right.
const char *mac_converter_name(int code_page)
{
    switch (code_page) {
    case 10001:
        return "Shift_JIS";
    case 10002:
        return "Big5";
    case 10003:
        return "EUC-KR";
    case 10006:
        return "x-mac-greek";
    case 10007:
    case 10017:
        return "x-mac-cyrillic";
    case 10008:
        return "GBK";
    case 10021:
        return "TIS-620";
    case 10029:
        return "x-mac-centraleurroman";
    case 10081:
        return "x-mac-turkish";
    }
    return "macintosh";
}

template <typename Map> void append_each(QString &out, QByteArrayView bytes, Map map)
{
    const qsizetype start = out.size();
    out.resize(start + bytes.size());
    char16_t *p = reinterpret_cast<char16_t *>(out.data()) + start;
    for (const char c : bytes)
        *p++ = map(static_cast<unsigned char>(c));
}

} // namespace

int CodePageDecoder::code_page_of_charset(int charset)
{
    switch (charset) {
    case 0:
        return 1252;
    case 2:
        return symbol;
    // The Mac character sets, each with the code page Windows gives it.
    case 77:
        return 10000; // Roman
    case 78:
        return 10001; // Japanese
    case 79:
        return 10003; // Korean
    case 80:
        return 10008; // Simplified Chinese
    case 81:
        return 10002; // Traditional Chinese
    case 82:
        return 10003; // Korean (Johab)
    case 83:
        return 10005; // Hebrew
    case 84:
        return 10004; // Arabic
    case 85:
        return 10006; // Greek
    case 86:
        return 10081; // Turkish
    case 87:
        return 10021; // Thai
    case 88:
        return 10029; // Central European
    case 89:
        return 10007; // Cyrillic
    case 130:
        return 1361;
    case 128:
        return 932;
    case 129:
        return 949;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 254:
        return 437;
    case 255:
        return 850;
    }
    return 0;
}

char16_t CodePageDecoder::windows_1252(unsigned char byte)
{
    if (byte >= 0x80 && byte < 0xA0)
        return cp1252_80_9f[byte - 0x80];
    return byte;
}

QStringDecoder *CodePageDecoder::converter(int code_page)
{
    auto it = converters_.find(code_page);
    if (it == converters_.end()) {
        constexpr auto flags = QStringConverter::Flag::Stateless;
        QStringDecoder made;
        if (code_page == 65001) {
            made = QStringDecoder(QStringDecoder::Utf8, flags);
        } else if (code_page >= 10000 && code_page < 10100) {
            made = QStringDecoder(mac_converter_name(code_page), flags);
        } else if (code_page > 0 && code_page < 100000) {
            made = QStringDecoder(QByteArray("windows-" + QByteArray::number(code_page)), flags);
            if (!made.isValid())
                made = QStringDecoder(QByteArray("cp" + QByteArray::number(code_page)), flags);
        }
        it = converters_.emplace(code_page, std::move(made)).first;
    }
    return it->second.isValid() ? &it->second : nullptr;
}

void CodePageDecoder::append(QString &out, QByteArrayView bytes, int code_page)
{
    if (code_page < 0 && code_page >= -int(SymbolFont::mt_extra)) {
        append_symbols(out, bytes, SymbolFont(-code_page));
        return;
    }
    switch (code_page) {
    case 1250:
        append_each(out, bytes, [](unsigned char b) { return b < 0x80 ? b : cp1250[b - 0x80]; });
        return;
    case 1251:
        append_each(out, bytes, windows_1251);
        return;
    case 1252:
        break;
    default:
        if (QStringDecoder *d = converter(code_page)) {
            // ICU's converters hold back a lead byte whose trail byte is
            // missing, and mark bytes they cannot convert with SUB (0x1A).
            // A NUL after the bytes makes them give the lead byte up; both
            // then show as U+FFFD.
            QByteArray terminated;
            terminated.reserve(bytes.size() + 1);
            terminated.append(bytes).append('\0');
            QString decoded = (*d)(terminated);
            if (decoded.endsWith(QChar(0)))
                decoded.chop(1);
            decoded.replace(QChar(0x1A), QChar::ReplacementCharacter);
            out += decoded;
            return;
        }
    }
    append_each(out, bytes, windows_1252);
}

} // namespace talvence
