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

} // namespace talvence
