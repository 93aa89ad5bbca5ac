// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes for the text viewer's readers: the RTF reader, which must
// make a document of anything without crashing, recursing or growing out of
// proportion, and the plain text decoder, which must give visible text for
// any file. The checks are what the view relies on.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QByteArrayView>
#include <QGuiApplication>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

#include "documentchecks.h"
#include "plaintext.h"
#include "rtfreader.h"

namespace {

using fuzzing::check;

// What a block may hold: no control characters but tab, no surrogate without
// its partner, none of Qt's own frame or object marks.
void check_shown(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        check(c >= 0x20 || c == '\t');
        check(c != 0xFDD0 && c != 0xFDD1 && c != 0xFFFC && c != 0x2029);
        if (c >= 0xD800 && c <= 0xDBFF) {
            check(i + 1 < text.size() && text.at(i + 1).isLowSurrogate());
            ++i;
        } else {
            check(!(c >= 0xDC00 && c <= 0xDFFF));
        }
    }
}

void check_rtf(QByteArrayView bytes)
{
    const std::unique_ptr<QTextDocument> doc = talvence::RtfReader(bytes).read();
    check(doc != nullptr);
    qsizetype shown = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        // A picture stands in its block as Qt's object mark, alone in its
        // fragment; all other text is checked.
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (f.charFormat().isImageFormat())
                check(f.text() == QString(QChar(0xFFFC)));
            else
                check_shown(f.text());
        }
        shown += b.length();
    }
    // Every character and paragraph shown costs at least a byte of input,
    // table cells (up to 63 a row) a few bytes each.
    check(shown <= 16 * bytes.size() + 64);
}

void check_plain(QByteArrayView bytes)
{
    const QString text = talvence::decode_plain_text(bytes);
    check(text.size() <= bytes.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        check(u >= 0x20 || u == '\t' || u == '\n');
        check(u != 0x7F && !(u >= 0x80 && u < 0xA0));
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzzing::start_gui(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    check_rtf(bytes);
    check_plain(bytes);
    return 0;
}
