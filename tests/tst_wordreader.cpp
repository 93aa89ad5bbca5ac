// SPDX-License-Identifier: GPL-3.0-or-later
// Word documents in the text viewer: documents LibreOffice wrote from texts
// of ours (tests/data/word: brief.rtf, kyrillisch.rtf, tabelle.rtf, fussnote.rtf
// through `soffice --headless --convert-to doc`, and brief.docx, fussnote.docx,
// tabelle.docx through `--convert-to docx`), and documents built here
// byte by byte, for what LibreOffice does not write: 8-bit pieces beside
// 16-bit ones in the order of a document saved quickly, a document protected
// by a password (its command line passes no password to the Word filter), a
// Word 95 table, containers broken in chosen places, and ZIP archives that
// lie about their entries.

#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextTable>
#include <QtEndian>
#include <QtTest>

#include "linefile.h"
#include "plaintextview.h"
#include "richtextbox.h"
#include "tablesides.h"
#include "testfolder.h"
#include "textfile.h"
#include "wordreader.h"
#include "wordrowdefinition.h"
#include "ziparchive.h"

using namespace talvence;

namespace {

QByteArray fixture(const char *name)
{
    QFile f(QFINDTESTDATA(QStringLiteral("data/word/") + QLatin1String(name)));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void put16(QByteArray &b, int at, quint16 v)
{
    qToLittleEndian(v, b.data() + at);
}

void put32(QByteArray &b, int at, quint32 v)
{
    qToLittleEndian(v, b.data() + at);
}

constexpr quint32 end_of_chain = 0xFFFFFFFE, free_sector = 0xFFFFFFFF;

// A compound file of 512-byte sectors: the FAT in sector 0, the directory
// in sector 1, then each stream, padded to 4096 bytes so that none lives in
// the mini stream.
QByteArray compound_file(const std::vector<std::pair<QString, QByteArray>> &streams)
{
    QByteArray file(512, '\0');
    const char signature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
    file.replace(0, 8, QByteArray(signature, 8));
    put16(file, 0x18, 0x3E);
    put16(file, 0x1A, 3);
    put16(file, 0x1C, 0xFFFE);
    put16(file, 0x1E, 9);
    put16(file, 0x20, 6);
    put32(file, 0x2C, 1);            // FAT sectors
    put32(file, 0x30, 1);            // the directory's first sector
    put32(file, 0x38, 4096);         // the mini stream's cutoff
    put32(file, 0x3C, end_of_chain); // no mini FAT
    put32(file, 0x44, end_of_chain); // no DIFAT sectors
    for (int i = 0; i < 109; ++i)
        put32(file, 0x4C + 4 * i, i == 0 ? 0 : free_sector);
    QByteArray fat(512, '\xFF'), directory(512, '\0'), data;
    put32(fat, 0, 0xFFFFFFFD);
    put32(fat, 4, end_of_chain);
    quint32 next = 2;
    auto entry = [&](int i, const QString &name, int type, quint32 right, quint32 child,
                     quint32 start, quint32 size) {
        const int at = 128 * i;
        for (int k = 0; k < name.size(); ++k)
            put16(directory, at + 2 * k, name.at(k).unicode());
        put16(directory, at + 0x40, quint16(2 * name.size() + 2));
        directory[at + 0x42] = char(type);
        directory[at + 0x43] = 1; // black
        put32(directory, at + 0x44, free_sector);
        put32(directory, at + 0x48, right);
        put32(directory, at + 0x4C, child);
        put32(directory, at + 0x74, start);
        put32(directory, at + 0x78, size);
    };
    entry(0, QStringLiteral("Root Entry"), 5, free_sector, 1, end_of_chain, 0);
    for (std::size_t i = 0; i < streams.size(); ++i) {
        QByteArray bytes = streams[i].second;
        const quint32 size = quint32(bytes.size());
        bytes.append(QByteArray(
            std::max<qsizetype>(4096, (bytes.size() + 511) / 512 * 512) - bytes.size(), '\0'));
        const quint32 sectors = quint32(bytes.size() / 512);
        for (quint32 s = 0; s < sectors; ++s)
            put32(fat, int(4 * (next + s)), s + 1 < sectors ? next + s + 1 : end_of_chain);
        const quint32 right = i + 1 < streams.size() ? quint32(i + 2) : free_sector;
        entry(int(i + 1), streams[i].first, 2, right, free_sector, next, std::max(size, 4096u));
        next += sectors;
        data += bytes;
    }
    return file + fat + directory + data;
}

// A Word 97 document of two pieces: "Grüße aus " in 8 bits, stored after
// "Привет" in UTF-16, as Word leaves a document it saved quickly.
QByteArray two_pieces(quint16 flags = 0x0200)
{
    QByteArray word(4096, '\0');
    put16(word, 0, 0xA5EC);
    put16(word, 2, 0xC1);
    put16(word, 0x0A, flags);
    put16(word, 0x20, 14);   // csw
    put16(word, 0x3E, 22);   // cslw
    put32(word, 0x4C, 17);   // ccpText
    put16(word, 0x98, 0x5D); // cbRgFcLcb
    put32(word, 0x1A2, 0);   // fcClx
    put32(word, 0x1A6, 33);  // lcbClx
    word.replace(0x600, 10,
                 QByteArray("Gr\xFC\xDF"
                            "e aus "));
    const QString russian = QStringLiteral("Привет\r");
    for (int i = 0; i < russian.size(); ++i)
        put16(word, 0x400 + 2 * i, russian.at(i).unicode());
    QByteArray table(4096, '\0');
    table[0] = 2;
    put32(table, 1, 28);
    put32(table, 5, 0);
    put32(table, 9, 10);
    put32(table, 13, 17);
    put32(table, 17 + 2, (0x600 * 2) | 0x40000000);
    put32(table, 25 + 2, 0x400);
    return compound_file(
        {{QStringLiteral("WordDocument"), word}, {QStringLiteral("1Table"), table}});
}

// A Word 95 document of one table row, two cells, "A" and "B", and a
// paragraph after it: the row's definition gives its cells' edges (1440
// and 4320 twips), borders (the first cell's, single lines) and shading
// (the second cell's, light grey), then the row's alignment (centred),
// which comes out right only when the definition's size is read right.
// Its one style, which every paragraph has, makes the characters bold.
QByteArray word95_table()
{
    QByteArray word(2048, '\0');
    put16(word, 0, 0xA5DC);
    put16(word, 2, 104);
    put32(word, 0x18, 0x600);      // fcMin
    put32(word, 0x1C, 0x600 + 11); // fcMac
    put32(word, 0x34, 11);         // ccpText
    // The style sheet: its header (one style, of 8 fixed bytes), then the
    // style: paragraph style based on none, two property lists (the
    // paragraph's, the characters'), its name, bold characters.
    const QByteArray stsh("\x0E\0\x01\0\x08\0\0\0\0\0\0\0\0\0\0\0"
                          "\x18\0\0\0\xF1\xFF\x02\0\0\0\x06Normal\0"
                          "\x02\0\0\0\x02\0\x55\x01",
                          42);
    word.replace(0x200, stsh.size(), stsh);
    put32(word, 0x58 + 8, 0x200);
    put32(word, 0x58 + 8 + 4, quint32(stsh.size()));
    put32(word, 0x58 + 8 * 13, 0x300); // the paragraphs' runs
    put32(word, 0x58 + 8 * 13 + 4, 10);
    word.replace(0x600, 11,
                 QByteArray("A\x07"
                            "B\x07"
                            "\x07"
                            "Ende\r",
                            11));
    put32(word, 0x300, 0x600);
    put32(word, 0x304, 0x600 + 11);
    put16(word, 0x308, 2); // the page of runs at 1024
    const int fkp = 0x400;
    const int ends[] = {0x602, 0x604, 0x605, 0x60B};
    put32(word, fkp, 0x600);
    for (int i = 0; i < 4; ++i)
        put32(word, fkp + 4 + 4 * i, quint32(ends[i]));
    word[fkp + 511] = 4;
    // Each run's properties: a size in words, the style, the sprms.
    const QByteArray cell("\x02\0\0\x18\x01", 5);        // in a table
    QByteArray row("\0\0\x18\x01\x19\x01\xB8\x6C\0", 9); // the row's end, a gap of 108
    QByteArray definition(1 + 6 + 20, '\0');
    definition[0] = 2;
    put16(definition, 3, 1440);
    put16(definition, 5, 4320);
    for (int side = 0; side < 4; ++side)
        put16(definition, 7 + 2 + 2 * side, 0x49); // single, 0.75 pt, black
    row += char(190);
    row += QByteArray(2, '\0');
    put16(row, row.size() - 2, quint16(definition.size() + 1));
    row += definition;
    row += QByteArray("\xBF\x04\0\0\x01\x02", 6); // the second cell light grey
    row += QByteArray("\xB6\x01\0", 3);           // centred
    row.prepend(char((row.size() + 1) / 2));
    row.append(QByteArray(row.size() % 2 == 0 ? 1 : 0, '\0'));
    const int at_cell = 0x100, at_row = 0x110;
    word.replace(fkp + at_cell, cell.size(), cell);
    word.replace(fkp + at_row, row.size(), row);
    const int bx = fkp + 4 * 5;
    word[bx] = char(at_cell / 2);
    word[bx + 7] = char(at_cell / 2);
    word[bx + 14] = char(at_row / 2);
    return compound_file({{QStringLiteral("WordDocument"), word}});
}

// A Word 95 document with a footnote: "Ende" and the note's mark in the
// main text, the note's own mark and " Fuss" in the footnotes' text.
QByteArray word95_footnote()
{
    QByteArray word(3072, '\0');
    put16(word, 0, 0xA5DC);
    put16(word, 2, 104);
    put32(word, 0x18, 0x600);      // fcMin
    put32(word, 0x1C, 0x600 + 13); // fcMac
    put32(word, 0x34, 6);          // ccpText
    put32(word, 0x38, 7);          // ccpFtn
    word.replace(0x600, 13, QByteArray("Ende\x02\r\x02 Fuss\r", 13));
    const auto plc = [&word](int index, int at, const QByteArray &bytes) {
        word.replace(at, bytes.size(), bytes);
        put32(word, 0x58 + 8 * index, quint32(at));
        put32(word, 0x58 + 8 * index + 4, quint32(bytes.size()));
    };
    plc(2, 0x300, QByteArray("\x04\0\0\0\x06\0\0\0\x01\0", 10)); // the reference, numbered
    plc(3, 0x320, QByteArray("\0\0\0\0\x07\0\0\0", 8));          // the note's text
    // The characters' runs: both marks are special characters (sprm 117).
    plc(12, 0x340, QByteArray("\0\x06\0\0\x0D\x06\0\0\x04\0", 10));
    const int fkp = 0x800;
    const int edges[] = {0x600, 0x604, 0x605, 0x606, 0x607, 0x60D};
    for (int i = 0; i < 6; ++i)
        put32(word, fkp + 4 * i, quint32(edges[i]));
    word[fkp + 24 + 1] = char(0x100 / 2);
    word[fkp + 24 + 3] = char(0x100 / 2);
    word.replace(fkp + 0x100, 3, QByteArray("\x02\x75\x01", 3));
    word[fkp + 511] = 5;
    return compound_file({{QStringLiteral("WordDocument"), word}});
}

// A ZIP archive of deflated (or stored) entries, as a package's writer
// makes it, each open to a lie: a size or CRC that is not the entry's, a
// flag it should not have, a data descriptor that disagrees.
struct ZipEntry {
    QByteArray name, data;
    bool deflate = true;
    qint64 declared = -1; // the size it says it has; -1: its own
    quint16 flags = 0;    // 8: sizes in a data descriptor after the data
    quint32 crc_mask = 0;
    quint32 descriptor_mask = 0;
};

quint32 crc32_of(QByteArrayView bytes)
{
    quint32 c = 0xFFFFFFFF;
    for (const char b : bytes) {
        c ^= quint8(b);
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

QByteArray zip_of(const std::vector<ZipEntry> &entries)
{
    QByteArray out, central;
    const auto le = [](QByteArray &b, quint32 v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            b.append(char(i < 4 ? v >> (8 * i) : 0));
    };
    for (const ZipEntry &e : entries) {
        // qCompress writes a zlib stream behind its own length: the raw
        // deflate data lies between the stream's header and its checksum.
        const QByteArray packed = e.deflate ? qCompress(e.data, 9).sliced(6).chopped(4) : e.data;
        const quint32 crc = crc32_of(e.data) ^ e.crc_mask;
        const quint32 size = e.declared >= 0 ? quint32(e.declared) : quint32(e.data.size());
        const bool descriptor = e.flags & 8;
        const quint32 offset = quint32(out.size());
        const auto header = [&](QByteArray &b, bool local) {
            le(b, local ? 0x04034B50 : 0x02014B50, 4);
            if (!local)
                le(b, 20, 2);
            le(b, 20, 2);
            le(b, e.flags, 2);
            le(b, e.deflate ? 8 : 0, 2);
            le(b, 0, 4); // time and date
            const bool zero = local && descriptor;
            le(b, zero ? 0 : crc, 4);
            le(b, zero ? 0 : quint32(packed.size()), 4);
            le(b, zero ? 0 : size, 4);
            le(b, quint32(e.name.size()), 2);
            le(b, 0, 2);
            if (!local) {
                le(b, 0, 6); // comment, disk, attributes
                le(b, 0, 4);
                le(b, offset, 4);
            }
            b += e.name;
        };
        header(out, true);
        out += packed;
        if (descriptor) {
            le(out, 0x08074B50, 4);
            le(out, crc, 4);
            le(out, quint32(packed.size()), 4);
            le(out, size ^ e.descriptor_mask, 4);
        }
        header(central, false);
    }
    const quint32 at = quint32(out.size());
    out += central;
    le(out, 0x06054B50, 4);
    le(out, 0, 4);
    le(out, quint32(entries.size()), 2);
    le(out, quint32(entries.size()), 2);
    le(out, quint32(central.size()), 4);
    le(out, at, 4);
    le(out, 0, 2);
    return out;
}

QTextTable *first_table(const QTextDocument &doc)
{
    for (QTextFrame *f : doc.rootFrame()->childFrames())
        if (auto *table = qobject_cast<QTextTable *>(f))
            return table;
    return nullptr;
}

// What the document shows of text in one format and of its tables.
QString text_in(const QTextDocument &doc, bool (*has)(const QTextCharFormat &))
{
    QString out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (has(it.fragment().charFormat()))
                out += it.fragment().text();
    return out;
}

} // namespace

class tst_wordreader : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void documents_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("German letter")
            << fixture("brief.doc")
            << u"Sehr geehrte Frau Müller,\ndie Bäume im Grünen Hof werden "
               "gründlich und vorsichtig geschnitten; Straßensperren "
               "gibt es keine.1\nBaum\nPreis\nAhorn\n12 €\nMit "
               "freundlichen Grüßen\n\n1 Nur am Montag, sagt der Gärtner."_qs;
        QTest::newRow("a footnote and an endnote")
            << fixture("fussnote.doc")
            << u"Der Hausmeister kommt am Montag1 und repariert die Tür.\nDie Heizung bleibt "
               "ausi.\n\n1 Gemeint ist der erste Montag im Monat.\ni Bis zum Herbst."_qs;
        QTest::newRow("German letter, .docx")
            << fixture("brief.docx")
            << u"Sehr geehrte Frau Müller,\ndie Bäume im Grünen Hof werden "
               "gründlich und vorsichtig geschnitten; Straßensperren "
               "gibt es keine.1\nBaum\nPreis\nAhorn\n12 €\nMit "
               "freundlichen Grüßen\n\n1 Nur am Montag, sagt der Gärtner."_qs;
        QTest::newRow("a footnote and an endnote, .docx")
            << fixture("fussnote.docx")
            << u"Der Hausmeister kommt am Montag1 und repariert die Tür.\nDie Heizung bleibt "
               "ausi.\n\n1 Gemeint ist der erste Montag im Monat.\ni Bis zum Herbst."_qs;
        QTest::newRow("Cyrillic in a German sentence")
            << fixture("kyrillisch.doc") << u"Zwei Schriften: Привет und Grüße."_qs;
        QTest::newRow("8-bit and 16-bit pieces out of order")
            << two_pieces() << u"Grüße aus Привет"_qs;
        QTest::newRow("a Word 95 footnote") << word95_footnote() << u"Ende1\n\n1 Fuss"_qs;
    }
    void documents()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        const LoadedText loaded = read_text(bytes);
        QCOMPARE(int(loaded.kind), int(LoadedText::Kind::rich));
        QCOMPARE(loaded.document->toPlainText().trimmed(), text);
    }

    // The letter's formatting: bold and italic words, the table, the
    // footnote's number raised in the text and in the note, which stands
    // after a rule at the end, as the RTF reader shows it.
    void formatting_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("Word 97") << fixture("brief.doc");
        QTest::newRow("Word 2007") << fixture("brief.docx");
    }
    void formatting()
    {
        QFETCH(QByteArray, bytes);
        const LoadedText loaded = read_text(bytes);
        QTextDocument &doc = *loaded.document;
        QCOMPARE(
            text_in(doc, [](const QTextCharFormat &f) { return f.fontWeight() == QFont::Bold; }),
            u"gründlich"_qs);
        QCOMPARE(text_in(doc, [](const QTextCharFormat &f) { return f.fontItalic(); }),
                 u"vorsichtig"_qs);
        QCOMPARE(text_in(doc,
                         [](const QTextCharFormat &f) {
                             return f.verticalAlignment() == QTextCharFormat::AlignSuperScript;
                         }),
                 u"11"_qs);
        QTextBlock note = doc.lastBlock();
        while (note.isValid() && note.text().isEmpty())
            note = note.previous();
        QCOMPARE(note.text(), u"1 Nur am Montag, sagt der Gärtner."_qs);
        QVERIFY(note.previous().blockFormat().hasProperty(
            QTextFormat::BlockTrailingHorizontalRulerWidth));
        QVERIFY(text_in(doc, [](const QTextCharFormat &f) {
                    return f.fontFamilies().toStringList().value(0) == u"Liberation Sans";
                }).startsWith(u"Baum"));
        QTextTable *table = nullptr;
        for (QTextFrame *f : doc.rootFrame()->childFrames())
            table = table ? table : qobject_cast<QTextTable *>(f);
        QVERIFY(table);
        QCOMPARE(table->rows(), 2);
        QCOMPARE(table->columns(), 2);
        QTextCursor c = table->cellAt(1, 1).firstCursorPosition();
        c.setPosition(table->cellAt(1, 1).lastCursorPosition().position(), QTextCursor::KeepAnchor);
        QCOMPARE(c.selectedText(), u"12 €"_qs);
    }

    // Read a few characters at a time, as the viewer reads its first
    // screen, a document comes out as it does in one go, tables and all.
    void in_parts_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("letter") << fixture("brief.doc");
        QTest::newRow("table") << fixture("tabelle.doc");
        QTest::newRow("notes") << fixture("fussnote.doc");
        QTest::newRow("Word 95 table") << word95_table();
    }
    void in_parts()
    {
        QFETCH(QByteArray, bytes);
        WordReader whole(bytes);
        const std::unique_ptr<QTextDocument> expected = whole.read();
        WordReader parts(bytes);
        int count = 1;
        while (!parts.read_part(std::chrono::hours(1), 5))
            ++count;
        QVERIFY(count > 2);
        const std::unique_ptr<QTextDocument> got = parts.take_document();
        QCOMPARE(got->toPlainText(), expected->toPlainText());
        QCOMPARE(got->rootFrame()->childFrames().size(),
                 expected->rootFrame()->childFrames().size());
    }

    // Word 95's style sheet: characters take their paragraph style's bold.
    void word95_style()
    {
        const LoadedText loaded = read_text(word95_table());
        QVERIFY(loaded.document);
        QCOMPARE(text_in(*loaded.document,
                         [](const QTextCharFormat &f) { return f.fontWeight() == QFont::Bold; }),
                 u"ABEnde"_qs);
    }

    // A table's rows laid out by their definitions: fixed column widths,
    // cells that span the columns of their edges, borders and shading.
    void table_layout_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<qreal>>("widths");
        QTest::addColumn<int>("alignment");
        QTest::addColumn<int>("rows");
        QTest::newRow("Word 97 by LibreOffice")
            << fixture("tabelle.doc") << QList<qreal>{96, 288} << int(Qt::AlignLeft) << 2;
        QTest::newRow("Word 95") << word95_table() << QList<qreal>{96, 192} << int(Qt::AlignHCenter)
                                 << 1;
        QTest::newRow("Word 2007 by LibreOffice")
            << fixture("tabelle.docx") << QList<qreal>{96, 288} << int(Qt::AlignLeft) << 2;
    }
    void table_layout()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<qreal>, widths);
        QFETCH(int, alignment);
        QFETCH(int, rows);
        const LoadedText loaded = read_text(bytes);
        QVERIFY(loaded.document);
        QTextTable *table = first_table(*loaded.document);
        QVERIFY(table);
        QList<qreal> shown;
        for (const QTextLength &l : table->format().columnWidthConstraints()) {
            QCOMPARE(l.type(), QTextLength::FixedLength);
            shown.append(l.rawValue());
        }
        QCOMPARE(shown, widths);
        QCOMPARE(int(table->format().alignment() & Qt::AlignHorizontal_Mask), alignment);
        QCOMPARE(table->rows(), rows);
        const QTextTableCellFormat second = table->cellAt(0, 1).format().toTableCellFormat();
        const auto [width, style] =
            drawn_side(*table, table->cellAt(0, 0), QTextFormat::TableCellLeftBorder,
                       QTextFormat::TableCellLeftBorderStyle);
        QVERIFY(width >= 1);
        QCOMPARE(style, int(QTextFrameFormat::BorderStyle_Solid));
        QCOMPARE(drawn_side(*table, table->cellAt(0, 1), QTextFormat::TableCellRightBorder,
                            QTextFormat::TableCellRightBorderStyle)
                     .first,
                 0.0);
        QCOMPARE(second.background().color(), QColor(0xC0, 0xC0, 0xC0));
        if (rows > 1)
            QCOMPARE(table->cellAt(1, 0).columnSpan(), 2);
    }

    // Row definitions as a damaged or odd document gives them: cells no
    // more than the edges given, edges that go back, descriptors missing.
    void row_definition_data()
    {
        QTest::addColumn<bool>("word97");
        QTest::addColumn<QByteArray>("operand");
        QTest::addColumn<QList<double>>("rights");
        QTest::addColumn<double>("left_border");
        // Word 97's operand starts with its size.
        QTest::newRow("Word 97, two cells, no descriptors")
            << true << QByteArray("\x08\0\x02\0\0\xA0\x05\xE0\x10", 9) << QList<double>{96, 288}
            << 0.0;
        QByteArray bordered("\x30\0\x02\0\0\xA0\x05\xE0\x10", 9);
        bordered += QByteArray(40, '\0');
        bordered.replace(9 + 8, 4, QByteArray("\x08\x01\x01\0", 4)); // left: 1 pt, single
        QTest::newRow("Word 97, a bordered cell")
            << true << bordered << QList<double>{96, 288} << 1.0;
        QTest::newRow("more cells than edges")
            << true << QByteArray("\x08\0\xC8\0\0\xA0\x05\xE0\x10", 9) << QList<double>{96, 288}
            << 0.0;
        QTest::newRow("edges that go back")
            << true << QByteArray("\x08\0\x02\0\0\xA0\x05\xD0\x02", 9) << QList<double>{96, 96}
            << 0.0;
        QTest::newRow("a descriptor cut short")
            << true << bordered.first(9 + 25) << QList<double>{96, 288} << 1.0;
        QTest::newRow("nothing") << true << QByteArray() << QList<double>{} << 0.0;
        QTest::newRow("Word 6, two cells")
            << false << QByteArray("\x02\0\0\xA0\x05\xE0\x10\0\0\0\0\x49\0\0\0\0\0", 17)
            << QList<double>{96, 288} << 1.0;
    }
    void row_definition()
    {
        QFETCH(bool, word97);
        QFETCH(QByteArray, operand);
        QFETCH(QList<double>, rights);
        QFETCH(double, left_border);
        WordRowDefinition row(word97);
        row.apply(word97 ? 0xD608 : 190, operand);
        const DocumentBuilder::RowLayout layout = row.layout(true, true);
        QList<double> shown;
        for (const DocumentBuilder::CellLayout &c : layout.cells)
            shown.append(c.right);
        QCOMPARE(shown, rights);
        QCOMPARE(row.empty(), rights.isEmpty());
        if (!layout.cells.empty())
            QCOMPARE(layout.cells.front().borders[0].width, left_border);
    }

    // What is not a readable Word document: a note, the failure path, or
    // its bytes, and never a crash.
    void not_readable_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("starts");
        const int failed = int(LoadedText::Kind::failed), note = int(LoadedText::Kind::note),
                  plain = int(LoadedText::Kind::plain);
        const QByteArray letter = fixture("brief.doc");
        QTest::newRow("protected by a password") << two_pieces(0x0300) << note << encrypted_note();
        QTest::newRow("a .docx protected by a password")
            << compound_file({{QStringLiteral("EncryptionInfo"), QByteArray(100, 'x')},
                              {QStringLiteral("EncryptedPackage"), QByteArray(100, 'y')}})
            << note << encrypted_note();
        QTest::newRow("truncated in the middle") << letter.first(letter.size() / 2) << failed << "";
        QTest::newRow("only its header") << letter.first(512) << failed << "";
        QByteArray looped = two_pieces();
        put32(looped, 512 + 4 * 2, 2); // the first stream's chain points to itself
        QTest::newRow("a chain that loops") << looped << failed << "";
        QByteArray wild = two_pieces();
        put32(wild, 1536 + 4096 + 17 + 2, 0x7FFFFFF0); // a piece far beyond the stream
        QTest::newRow("a piece beyond the stream")
            << wild << int(LoadedText::Kind::rich) << "Привет";
        QTest::newRow("a workbook, no Word document")
            << compound_file({{QStringLiteral("Workbook"), QByteArray(100, 'x')}}) << plain
            << "00000000  D0 CF 11 E0 A1 B1 1A E1  00 00";
        const QByteArray docx = fixture("brief.docx");
        QTest::newRow("a .docx cut short") << docx.first(docx.size() - 100) << failed << "";
        QTest::newRow("a .docx of nothing but its signature")
            << QByteArray("PK\x03\x04\x14\0\0\0word/document.xml", 25) << failed << "";
        QTest::newRow("a .docx whose text inflates beyond its size")
            << zip_of({{"word/document.xml", QByteArray(16 << 20, ' '), true, 4096}}) << failed
            << "";
        QTest::newRow("an archive of other files")
            << zip_of({{"hallo.txt", "Hallo"}}) << plain << "00000000  50 4B 03 04";
        QTest::newRow("an archive with a folder named word")
            << zip_of({{"word/notiz.txt", "Hallo"}}) << plain << "00000000  50 4B 03 04";
    }
    void not_readable()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, kind);
        QFETCH(QString, starts);
        const LoadedText loaded = read_text(bytes);
        QCOMPARE(int(loaded.kind), kind);
        if (loaded.kind == LoadedText::Kind::failed)
            QCOMPARE(loaded.error, EINVAL);
        const QString shown = loaded.document ? loaded.document->toPlainText() : loaded.text;
        QVERIFY2(starts.isEmpty() || shown.startsWith(starts), qPrintable(shown.left(80)));
    }

    // How a package is found and read: the text's part where the package's
    // relationships say, in either namespace; alternate content once; a
    // main part that is no Word document makes the archive mere bytes.
    void docx_parts_data()
    {
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<QString>("text");
        const auto body = [](const char *ns, const QByteArray &inner) {
            return "<w:document xmlns:w=\"" + QByteArray(ns) +
                   "\" xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\">"
                   "<w:body>" +
                   inner + "</w:body></w:document>";
        };
        const char *transitional = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
        const QByteArray rels =
            "<Relationships><Relationship Id=\"r\" Type=\"http://schemas.openxmlformats.org/"
            "officeDocument/2006/relationships/officeDocument\" Target=\"inhalt/text.xml\"/>"
            "</Relationships>";
        QTest::newRow("the text where the relationships say")
            << zip_of({{"_rels/.rels", rels},
                       {"word/document.xml",
                        body(transitional, "<w:p><w:r><w:t>falsch</w:t></w:r></w:p>")},
                       {"inhalt/text.xml",
                        body(transitional, "<w:p><w:r><w:t>richtig</w:t></w:r></w:p>")}})
            << "richtig";
        QTest::newRow("strict namespace")
            << zip_of(
                   {{"word/document.xml", body("http://purl.oclc.org/ooxml/wordprocessingml/main",
                                               "<w:p><w:r><w:t>streng</w:t></w:r></w:p>")}})
            << "streng";
        QTest::newRow("alternate content once")
            << zip_of(
                   {{"word/document.xml",
                     body(transitional, "<w:p><mc:AlternateContent><mc:Choice><w:r><w:t>neu</w:t>"
                                        "</w:r></mc:Choice><mc:Fallback><w:r><w:t>alt</w:t></w:r>"
                                        "</mc:Fallback></mc:AlternateContent></w:p>")}})
            << "neu";
        QTest::newRow("a main part that is no Word document")
            << zip_of({{"word/document.xml", "<html><p>Hallo</p></html>"}})
            << "00000000  50 4B 03 04";
    }
    void docx_parts()
    {
        QFETCH(QByteArray, archive);
        QFETCH(QString, text);
        const LoadedText loaded = read_text(archive);
        const QString shown = loaded.document ? loaded.document->toPlainText() : loaded.text;
        QVERIFY2(shown.trimmed().startsWith(text), qPrintable(shown.left(80)));
    }

    // An archive's entry is read when all it says of itself is so, and
    // fails when anything is not: never more inflated than it declares,
    // nor than the cap, nor read beyond the file.
    void zip_archive_data()
    {
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<bool>("read");
        const QByteArray text = QByteArray("Grüße aus Ulm. ").repeated(200);
        const QByteArray name = "word/Document.xml"; // found as word/document.xml
        QTest::newRow("deflated") << zip_of({{name, text}}) << true;
        QTest::newRow("stored") << zip_of({{name, text, false}}) << true;
        QTest::newRow("sizes in a data descriptor") << zip_of({{name, text, true, -1, 8}}) << true;
        QTest::newRow("a data descriptor that disagrees")
            << zip_of({{name, text, true, -1, 8, 0, 1}}) << false;
        QTest::newRow("inflates to more than it declares")
            << zip_of({{name, text, true, text.size() - 1}}) << false;
        QTest::newRow("inflates to less than it declares")
            << zip_of({{name, text, true, text.size() + 1}}) << false;
        QTest::newRow("declares more than deflate can make of it")
            << zip_of({{name, text, true, 0xFFFFFFF0}}) << false;
        QTest::newRow("a wrong CRC") << zip_of({{name, text, true, -1, 0, 1}}) << false;
        QTest::newRow("encrypted") << zip_of({{name, text, true, -1, 1}}) << false;
        QTest::newRow("another method")
            << zip_of({{name, text, false, -1, 0}}).replace(8, 1, "\x0C") << false;
        const QByteArray good = zip_of({{name, text}});
        QTest::newRow("cut short") << good.first(good.size() - 1) << false;
        QTest::newRow("its data cut out")
            << good.first(60) + good.sliced(good.size() - 100) << false;
        QByteArray far = good;
        far[far.size() - 5] = '\x7F'; // the directory's offset beyond the file
        QTest::newRow("a directory beyond the file") << far << false;
        QTest::newRow("no entries") << QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0') << false;
    }
    void zip_archive()
    {
        QFETCH(QByteArray, archive);
        QFETCH(bool, read);
        const std::optional<ZipArchive> zip = ZipArchive::open(archive);
        const std::optional<QByteArray> entry =
            zip ? zip->entry("word/document.xml") : std::nullopt;
        QCOMPARE(entry.has_value(), read);
        if (read) {
            QCOMPARE(*entry, QByteArray("Grüße aus Ulm. ").repeated(200));
            QCOMPARE(zip->entry("word/document.xml", 7).value_or(""), QByteArray("Grüße"));
        }
    }

    // A document the fuzzer made of the letter: a font whose code page
    // turns its letters into control characters, which the view never gets.
    void no_control_characters()
    {
        const LoadedText loaded = read_text(fixture("controls-from-a-code-page.doc"));
        QVERIFY(loaded.document);
        for (const QChar c : loaded.document->toPlainText())
            QVERIFY(c.unicode() >= 0x20 || c == u'\t' || c == u'\n');
    }

    // Word 2003's XML, saved under ".doc": its text, not its markup; tab
    // stops are no tabs, hidden text stays hidden, a note that stands in
    // the text goes to the end; styles give their formatting, and one
    // based on itself is no loop; what a tracked change replaced is gone.
    void word_xml()
    {
        const QByteArray xml =
            "<?xml version=\"1.0\"?><?mso-application progid=\"Word.Document\"?>"
            "<w:wordDocument xmlns:w=\"http://schemas.microsoft.com/office/word/2003/wordml\">"
            "<w:styles><w:style w:type=\"paragraph\" w:default=\"on\" w:styleId=\"Normal\">"
            "<w:name w:val=\"Normal\"/></w:style><w:style w:type=\"paragraph\" w:styleId=\"Zitat\">"
            "<w:basedOn w:val=\"Normal\"/><w:pPr><w:jc w:val=\"center\"/></w:pPr><w:rPr><w:i/>"
            "</w:rPr></w:style><w:style w:type=\"character\" w:styleId=\"Fett\"><w:basedOn "
            "w:val=\"Fett\"/><w:rPr><w:b/></w:rPr></w:style></w:styles><w:body>"
            "<w:p><w:pPr><w:pStyle w:val=\"Zitat\"/><w:tabs><w:tab w:val=\"left\" w:pos=\"720\"/>"
            "</w:tabs></w:pPr><w:r><w:rPr><w:b/></w:rPr><w:t>Grüße</w:t></w:r>"
            "<w:r><w:t> aus Ulm</w:t></w:r><w:r><w:rPr><w:vanish/></w:rPr><w:t>geheim</w:t></w:r>"
            "<w:r><w:footnote><w:p><w:r><w:footnoteRef/><w:t> Fuß</w:t></w:r></w:p></w:footnote>"
            "</w:r></w:p><w:tbl><w:tr><w:tc><w:p><w:r><w:t>A</w:t></w:r></w:p></w:tc><w:tc><w:p>"
            "<w:r><w:rPr><w:rStyle w:val=\"Fett\"/><w:rPrChange><w:rPr><w:i/></w:rPr>"
            "</w:rPrChange></w:rPr><w:instrText>PAGE</w:instrText><w:t>B</w:t></w:r></w:p>"
            "</w:tc></w:tr></w:tbl>"
            "</w:body></w:wordDocument>";
        const LoadedText loaded = read_text(xml);
        QCOMPARE(int(loaded.kind), int(LoadedText::Kind::rich));
        QCOMPARE(loaded.document->toPlainText().trimmed(), u"Grüße aus Ulm1\nA\nB\n\n1 Fuß"_qs);
        QCOMPARE(text_in(*loaded.document,
                         [](const QTextCharFormat &f) { return f.fontWeight() == QFont::Bold; }),
                 u"GrüßeB"_qs);
        QCOMPARE(text_in(*loaded.document, [](const QTextCharFormat &f) { return f.fontItalic(); }),
                 u"Grüße aus Ulm1"_qs);
        QCOMPARE(loaded.document->begin().blockFormat().alignment(), Qt::AlignHCenter);
        // What the fuzzer found: a note among a cell's borders, whose
        // text has no table row of its own.
        const QByteArray odd =
            "<w:wordDocument xmlns:w=\"http://schemas.microsoft.com/office/word/2003/wordml\">"
            "<w:body><w:tbl><w:tblGrid><w:gridCol w:w=\"1440\"/></w:tblGrid><w:tr><w:tc><w:tcPr>"
            "<w:tcBorders><w:footnote><w:top w:val=\"single\"/></w:footnote></w:tcBorders>"
            "</w:tcPr><w:p><w:r><w:t>A</w:t></w:r></w:p></w:tc></w:tr></w:tbl></w:body>"
            "</w:wordDocument>";
        QCOMPARE(read_text(odd).document->toPlainText().trimmed(), u"1A"_qs);
    }

    // In the viewer's box: a Word document (binary or .docx) as a document,
    // a protected one as the note, a file that is not text (an archive too)
    // as lines of its bytes, a damaged document as a failure that keeps
    // what the box showed.
    void in_the_box()
    {
        QTemporaryDir dir;
        const QByteArray folder = QFile::encodeName(dir.path());
        QVERIFY(write_file(folder + "/brief.doc", fixture("brief.doc")));
        QVERIFY(write_file(folder + "/geheim.doc", two_pieces(0x0300)));
        QVERIFY(write_file(folder + "/kaputt.doc", fixture("brief.doc").first(3000)));
        QVERIFY(write_file(folder + "/neu.doc", fixture("brief.docx")));
        QVERIFY(write_file(folder + "/neu-kaputt.doc", fixture("brief.docx").first(3000)));
        QVERIFY(write_file(folder + "/archiv.bak", zip_of({{"hallo.txt", "Hallo"}})));
        QByteArray paragraphs;
        for (int i = 0; i < 4000; ++i)
            paragraphs += "<w:p><w:r><w:t>Absatz " + QByteArray::number(i) + "</w:t></w:r></w:p>";
        QVERIFY(write_file(
            folder + "/lang.doc",
            zip_of(
                {{"word/document.xml",
                  "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/"
                  "main\"><w:body>" +
                      paragraphs + "</w:body></w:document>"}})));
        QByteArray driver("MZ\x90\0\x03\0\0\0", 8);
        driver += QByteArray(64, '\0') + "Treiber";
        QVERIFY(write_file(folder + "/treiber.sys", driver));
        RichTextBox box;
        box.resize(600, 400);
        box.show();
        QVERIFY(box.load_file(folder + "/brief.doc"));
        QVERIFY(box.shows_rich_text());
        QVERIFY(box.text().startsWith(u"Sehr geehrte Frau Müller,"));
        QVERIFY(!box.load_file(folder + "/kaputt.doc"));
        QVERIFY(box.text().startsWith(u"Sehr geehrte Frau Müller,"));
        QVERIFY(box.load_file(folder + "/neu.doc"));
        QVERIFY(box.shows_rich_text());
        QVERIFY(box.text().startsWith(u"Sehr geehrte Frau Müller,"));
        QVERIFY(!box.load_file(folder + "/neu-kaputt.doc"));
        QVERIFY(box.text().startsWith(u"Sehr geehrte Frau Müller,"));
        // A long one: its first screen at once, the whole in the next event.
        QVERIFY(box.load_file(folder + "/lang.doc"));
        QVERIFY(box.text().startsWith(u"Absatz 0\nAbsatz 1\n"));
        QVERIFY(!box.text().contains(u"Absatz 3999"));
        QTRY_VERIFY(!box.filling());
        QVERIFY(box.text().trimmed().endsWith(u"Absatz 3998\nAbsatz 3999"));
        QVERIFY(box.load_file(folder + "/archiv.bak"));
        QVERIFY(box.plain_view()->file()->hex());
        QVERIFY(box.load_file(folder + "/geheim.doc"));
        QCOMPARE(box.text(), encrypted_note());
        QVERIFY(box.load_file(folder + "/treiber.sys"));
        QVERIFY(!box.shows_rich_text());
        QVERIFY(box.plain_view()->file()->hex());
        QCOMPARE(
            box.plain_view()->visible_lines().value(0),
            u"00000000  4D 5A 90 00 03 00 00 00  00 00 00 00 00 00 00 00  MZ.............."_qs);
        QCOMPARE(box.plain_view()->visible_lines().value(4),
                 u"00000040  00 00 00 00 00 00 00 00  54 72 65 69 62 65 72     ........Treiber"_qs);
    }
};

QTEST_MAIN(tst_wordreader)
#include "tst_wordreader.moc"
