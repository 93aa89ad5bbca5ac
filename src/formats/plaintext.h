// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Bytes of a file that is not an RTF document, made into text for a plain
// text view. Any file may land here (".DOC" and ".SYS" files are binary more
// often than not), so every byte sequence gives text that shows what is there
// without upsetting the view: control characters become visible pictures,
// and only tab and line ends remain to lay it out.

#include <QByteArrayView>
#include <QString>

namespace talvence {

// UTF-8 (a byte order mark selects UTF-8, UTF-16 LE or UTF-16 BE instead);
// a file that is not valid UTF-8 is read as Windows-1252. Line ends CR LF and
// lone CR become LF; other C0 controls and DEL become their pictures
// (U+2400 to U+2421); bytes or units that cannot be decoded under a byte order
// mark, C1 controls and bytes Windows-1252 leaves undefined become U+FFFD.
QString decode_plain_text(QByteArrayView bytes);

// How a file too large to be decoded whole is read, decided once from its
// first bytes (see detect_plain_encoding) and kept for all of it.
enum class PlainEncoding { utf8, utf16le, utf16be, windows_1252 };

struct PlainFormat {
    PlainEncoding encoding = PlainEncoding::utf8;
    // Bytes of the byte order mark the text starts after.
    int bom = 0;
};

// The encoding of a file whose first bytes are `sample`, by the rules of
// decode_plain_text: a byte order mark, else UTF-8 when the sample is valid
// UTF-8, else Windows-1252. `whole` says that the sample is all of the file;
// otherwise a sequence cut off at the sample's end does not count against
// UTF-8.
PlainFormat detect_plain_encoding(QByteArrayView sample, bool whole);

// One line's bytes (no line end inside) decoded as decode_plain_text decodes
// a file of that encoding, except that UTF-8 stays UTF-8 whatever comes:
// a byte that is not UTF-8 shows as U+FFFD. Any CR left inside ends up as
// a line end; callers hand over lines without them.
QString decode_plain_line(QByteArrayView bytes, PlainEncoding encoding);

} // namespace talvence
