// SPDX-License-Identifier: GPL-3.0-or-later
// What the text viewer gets from a file: plain text decoded so that any
// file, binary ones included, shows what it holds; RTF documents as
// documents; files read by their raw names; failures instead of crashes or
// hangs for vanished files, folders, FIFOs and files above the size cap.

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <QtTest>

#include "plaintext.h"
#include "testfolder.h"
#include "textfile.h"

using namespace talvence;

class tst_textfile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void decode_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("UTF-8") << QByteArray("Grüße, 日本 😀\n") << u"Grüße, 日本 😀\n"_qs;
        QTest::newRow("UTF-8 with BOM") << QByteArray("\xef\xbb\xbf"
                                                      "abc")
                                        << u"abc"_qs;
        QTest::newRow("BOM then invalid bytes stays UTF-8") << QByteArray("\xef\xbb\xbf"
                                                                          "a\xff"
                                                                          "b")
                                                            << u"a\ufffdb"_qs;
        QTest::newRow("UTF-16 LE") << QByteArray("\xff\xfe"
                                                 "a\0\xe4\0\x3d\xd8\x00\xde",
                                                 10)
                                   << u"aä😀"_qs;
        QTest::newRow("UTF-16 BE") << QByteArray("\xfe\xff\0a\0\r\0\n\x26\x3a", 10) << u"a\n☺"_qs;
        QTest::newRow("UTF-16 odd length") << QByteArray("\xff\xfe"
                                                         "a\0b",
                                                         5)
                                           << u"a\ufffd"_qs;
        QTest::newRow("UTF-16 lone surrogate") << QByteArray("\xff\xfe\x3d\xd8"
                                                             "a\0",
                                                             6)
                                               << u"\ufffda"_qs;
        QTest::newRow("Windows-1252") << QByteArray("Gr\xfc\xdf"
                                                    "e \x80 \x93x\x94")
                                      << u"Grüße € “x”"_qs;
        QTest::newRow("one bad byte makes all of it Windows-1252")
            << QByteArray("\xc3\xa4 then \xfc") << u"Ã¤ then ü"_qs;
        QTest::newRow("UTF-8 cut off at the end") << QByteArray("abc\xe2\x82") << u"abcâ‚"_qs;
        QTest::newRow("overlong UTF-8 is not UTF-8") << QByteArray("\xc0\xaf") << u"À¯"_qs;
        QTest::newRow("undefined Windows-1252 byte") << QByteArray("\x81\xff") << u"\ufffdÿ"_qs;
        QTest::newRow("line ends") << QByteArray("a\r\nb\rc\nd\r") << u"a\nb\nc\nd\n"_qs;
        QTest::newRow("tab stays") << QByteArray("a\tb") << u"a\tb"_qs;
        QTest::newRow("control characters show")
            << QByteArray("a\0b\x1b[0m\x7f\x0c", 9) << u"a·b·[0m··"_qs;
        QTest::newRow("controls in Windows-1252 too") << QByteArray("\x01\xe4\x00", 3) << u"·ä·"_qs;
        QTest::newRow("C1 control in UTF-8") << QByteArray("a\xc2\x85"
                                                           "b")
                                             << u"a\ufffdb"_qs;
        // Eight bytes at a time go the fast way; a control at any place of
        // such a block must still be seen.
        QTest::newRow("control last in a block") << QByteArray("abcdefg\x01"
                                                               "hijklmno")
                                                 << u"abcdefg·hijklmno"_qs;
        QTest::newRow("DEL first in a block") << QByteArray("\x7f"
                                                            "bcdefghij")
                                              << u"·bcdefghij"_qs;
        QTest::newRow("high byte in a block")
            << QByteArray("abcdef\xc3\xa4xyz") << u"abcdefäxyz"_qs;
    }
    void decode()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(decode_plain_text(bytes), text);
    }

    // A binary file of every byte value: one character each, nothing
    // invisible but tab, line ends and the soft hyphen (0xAD, which
    // Windows-1252 text uses as one).
    void binary_file()
    {
        QByteArray bytes;
        for (int i = 0; i < 256; ++i)
            bytes.append(char(i));
        const QString text = decode_plain_text(bytes.repeated(3));
        QCOMPARE(text.size(), 3 * 256);
        for (const QChar c : text)
            QVERIFY(c.isPrint() || c == u'\t' || c == u'\n' || c == QChar::SoftHyphen ||
                    c == QChar::ReplacementCharacter);
    }

    void load_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        const int plain = int(LoadedText::Kind::plain), rich = int(LoadedText::Kind::rich);
        QTest::newRow("log") << QByteArray("server.log") << QByteArray("a\r\nb") << plain
                             << u"a\nb"_qs;
        QTest::newRow("name not UTF-8")
            << QByteArray("Notiz\xff\xfe.txt") << QByteArray("x") << plain << u"x"_qs;
        QTest::newRow("empty file") << QByteArray("leer.txt") << QByteArray() << plain << QString();
        QTest::newRow("RTF by content, any name")
            << QByteArray("brief.doc") << QByteArray("{\\rtf1 Hallo\\par Welt}") << rich
            << u"Hallo\nWelt"_qs;
        QTest::newRow("RTF only at the very start")
            << QByteArray("a.txt") << QByteArray(" {\\rtf1 x}") << plain << u" {\\rtf1 x}"_qs;
    }
    void load()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, content);
        QFETCH(int, kind);
        QFETCH(QString, text);
        QTemporaryDir dir;
        const QByteArray path = QFile::encodeName(dir.path()) + '/' + name;
        QVERIFY(write_file(path, content));
        const LoadedText loaded = load_text_file(path);
        ::unlink(path.constData()); // QTemporaryDir cannot remove names that are not UTF-8
        QCOMPARE(int(loaded.kind), kind);
        QCOMPARE(loaded.error, 0);
        if (loaded.kind == LoadedText::Kind::rich)
            QCOMPARE(loaded.document->toPlainText(), text);
        else
            QCOMPARE(loaded.text, text);
    }

    void failures_data()
    {
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<int>("error");
        QTest::newRow("vanished file") << QByteArray("vanished") << ENOENT;
        QTest::newRow("folder (no file selected)") << QByteArray("folder") << EISDIR;
        QTest::newRow("FIFO: fails, does not wait") << QByteArray("fifo") << EINVAL;
        QTest::newRow("above the size cap") << QByteArray("huge") << EFBIG;
        QTest::newRow("NUL inside the path") << QByteArray("nul") << EINVAL;
    }
    void failures()
    {
        QFETCH(QByteArray, kind);
        QFETCH(int, error);
        QTemporaryDir dir;
        const QByteArray folder = QFile::encodeName(dir.path());
        QByteArray path = folder + "/file.txt";
        if (kind == "vanished") {
            QVERIFY(write_file(path, "gone"));
            QCOMPARE(::unlink(path.constData()), 0);
        } else if (kind == "folder") {
            path = folder + "/";
        } else if (kind == "fifo") {
            QCOMPARE(::mkfifo(path.constData(), 0644), 0);
        } else if (kind == "huge") {
            // Sparse: a file one byte above the cap costs no disk.
            QVERIFY(write_file(path, ""));
            QCOMPARE(::truncate(path.constData(), max_text_file_size + 1), 0);
        } else if (kind == "nul") {
            QVERIFY(write_file(path, "x"));
            path = folder + QByteArray("/file.txt\0.log", 14);
        }
        const LoadedText loaded = load_text_file(path);
        QCOMPARE(int(loaded.kind), int(LoadedText::Kind::failed));
        QCOMPARE(loaded.error, error);
        QVERIFY(!loaded.document);
    }
};

QTEST_MAIN(tst_textfile)
#include "tst_textfile.moc"
