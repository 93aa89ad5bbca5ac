// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes for the reader of Word packages: as a ZIP archive (its
// directory, headers, sizes and deflated data), and, since mutated
// deflate data rarely inflates to anything, as the XML of a package's
// parts stored in an archive made here: the main part, then, after a line
// "--", its footnotes. Whatever the bytes, the reader ends without a
// crash, a bad read or a hang, no entry inflates beyond the size it
// declares, and what it shows is text the view can take.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <zlib.h>

#include <QByteArrayView>
#include <QGuiApplication>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QtEndian>

#include "documentchecks.h"
#include "wordxmlreader.h"
#include "ziparchive.h"

namespace {

using fuzzing::check;

// Deflate makes at most 1032 bytes of one; each of them shows as a character
// at most, a table's cells as a few.
void check_document(const QTextDocument &doc, qsizetype input)
{
    fuzzing::check_document(doc, 64 * 1032 * input + 64);
}

void put(QByteArray &b, quint32 v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b.append(char(i < 4 ? v >> (8 * i) : 0));
}

// A ZIP archive of stored entries.
QByteArray stored(const std::vector<std::pair<QByteArray, QByteArrayView>> &entries)
{
    QByteArray out, central;
    for (const auto &[name, data] : entries) {
        const quint32 crc =
            quint32(crc32(0, reinterpret_cast<const Bytef *>(data.data()), uInt(data.size())));
        const quint32 offset = quint32(out.size());
        for (QByteArray *b : {&out, &central}) {
            const bool local = b == &out;
            put(*b, local ? 0x04034B50 : 0x02014B50, 4);
            put(*b, 20, local ? 2 : 4);
            put(*b, 0, 8); // flags, method, time, date
            put(*b, crc, 4);
            put(*b, quint32(data.size()), 4);
            put(*b, quint32(data.size()), 4);
            put(*b, quint32(name.size()), 2);
            put(*b, 0, 2);
            if (!local) {
                put(*b, 0, 10);
                put(*b, offset, 4);
            }
            *b += name;
        }
        out += data.toByteArray();
    }
    const quint32 at = quint32(out.size());
    out += central;
    put(out, 0x06054B50, 4);
    put(out, 0, 4);
    put(out, quint32(entries.size()), 2);
    put(out, quint32(entries.size()), 2);
    put(out, quint32(central.size()), 4);
    put(out, at, 4);
    put(out, 0, 2);
    return out;
}

// Read whole, and as the viewer's first screen is: a few characters of
// the text, from the start of its part.
void read(QByteArrayView bytes, qsizetype input)
{
    for (const qint64 first : {qint64(-1), qint64(100)}) {
        const talvence::DocxDocument docx = talvence::read_docx(bytes, first);
        check((docx.status == talvence::DocxDocument::Status::ok) == (docx.document != nullptr));
        if (docx.document)
            check_document(*docx.document, input);
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
    if (talvence::ZipArchive::is_zip(bytes)) {
        read(bytes, bytes.size());
        // Every entry, whatever its name: none inflates beyond its size.
        if (const auto zip = talvence::ZipArchive::open(bytes)) {
            for (const char *name : {"[Content_Types].xml", "word/document.xml"})
                for (const qint64 first : {qint64(-1), qint64(7)})
                    if (const std::optional<QByteArray> entry = zip->entry(name, first))
                        check(entry->size() <= (first < 0 ? 1032 * bytes.size() + 64 : first));
        }
        return 0;
    }
    const qsizetype split = bytes.indexOf("\n--\n");
    const QByteArrayView main = split < 0 ? bytes : bytes.first(split);
    const QByteArrayView notes = split < 0 ? QByteArrayView() : bytes.sliced(split + 4);
    read(stored({{"word/document.xml", main}, {"word/footnotes.xml", notes}}), bytes.size());
    return 0;
}
