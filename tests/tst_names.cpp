// SPDX-License-Identifier: GPL-3.0-or-later
// The naming rules on their own: tails, parking and final names, case
// mapping and the order of names, including names that are not UTF-8.

#include <random>

#include <QtTest>

#include "folder.h"
#include "namelists.h"
#include "names.h"
#include "naturalorder.h"

using namespace talvence;

namespace {
QByteArray u8(const char *s)
{
    return QByteArray(s);
}
} // namespace

class tst_names : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void tail_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("tail");
        QTest::addColumn<int>("chars");
        QTest::newRow("extension") << u8("Urlaub.jpg") << u8(".jpg") << 10;
        QTest::newRow("exactly four") << u8("abcd") << u8("abcd") << 4;
        QTest::newRow("short name is its own tail") << u8("ab") << u8("ab") << 2;
        QTest::newRow("empty") << u8("") << u8("") << 0;
        QTest::newRow("long extension") << u8("photo.jpeg") << u8("jpeg") << 10;
        QTest::newRow("no extension") << u8("README") << u8("ADME") << 6;
        QTest::newRow("umlauts count as one each") << u8("Übersicht.öäü") << u8(".öäü") << 13;
        QTest::newRow("four-byte characters") << u8("a😀😀😀😀") << u8("😀😀😀😀") << 5;
        QTest::newRow("stray bytes are characters") << u8("a\xff\xfe.b") << u8("\xff\xfe.b") << 5;
        QTest::newRow("cut sequence at the end") << u8("abc.\xe2\x82") << u8("c.\xe2\x82") << 6;
        QTest::newRow("overlong slash is two bytes") << u8("zab\xc0\xaf") << u8("ab\xc0\xaf") << 5;
        QTest::newRow("encoded surrogate is three bytes")
            << u8("yx\xed\xa0\x80") << u8("x\xed\xa0\x80") << 5;
        QTest::newRow("beyond U+10FFFF") << u8("\xf4\x90\x80\x80") << u8("\xf4\x90\x80\x80") << 4;
        QTest::newRow("umlaut after a stray byte") << u8("xy\xffä") << u8("xy\xffä") << 4;
        QTest::newRow("cut sequence before an ASCII tail")
            << u8("Bär\xe2\x82.jpg") << u8(".jpg") << 9;
    }
    void tail()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, tail);
        QFETCH(int, chars);
        QCOMPARE(name_tail(name), tail);
        QCOMPARE(char_count(name), qsizetype(chars));
    }

    void temp_name_data()
    {
        QTest::addColumn<qlonglong>("number");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("third file") << 3LL << u8("Urlaub.jpg") << u8("_zyx_ 3.jpg");
        QTest::newRow("short name") << 1LL << u8("ab") << u8("_zyx_ 1ab");
        QTest::newRow("parked twice") << 2LL << u8("1 1ab") << u8("_zyx_ 2 1ab");
        QTest::newRow("no leading zeros") << 100000LL << u8("x.txt") << u8("_zyx_ 100000.txt");
        QTest::newRow("bytes kept") << 7LL << u8("a\xff.b\xfe") << u8("_zyx_ 7\xff.b\xfe");
    }
    void temp_name()
    {
        QFETCH(qlonglong, number);
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, expected);
        QCOMPARE(make_temp_name(number, name), expected);
    }

    void numbered_name_data()
    {
        QTest::addColumn<qlonglong>("number");
        QTest::addColumn<QByteArray>("prefix");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("no prefix") << 7LL << u8("") << u8("_zyx_ 3.jpg") << u8("7.jpg");
        QTest::newRow("prefix trimmed")
            << 7LL << u8(" Ferien ") << u8("_zyx_ 3.jpg") << u8("Ferien7.jpg");
        QTest::newRow("blanks only add nothing") << 1LL << u8("   ") << u8("x.jpg") << u8("1.jpg");
        QTest::newRow("tab is no blank") << 1LL << u8("\tA") << u8("x.jpg") << u8("\tA1.jpg");
        QTest::newRow("inner blanks stay")
            << 2LL << u8("Mein Urlaub ") << u8("x.png") << u8("Mein Urlaub2.png");
        QTest::newRow("umlaut prefix") << 1LL << u8("Äpfel") << u8("a.txt") << u8("Äpfel1.txt");
        QTest::newRow("short name from parking") << 1LL << u8("") << u8("_zyx_ 1ab") << u8("1 1ab");
        QTest::newRow("trailing blanks of the tail go") << 1LL << u8("") << u8("ab  ") << u8("1ab");
        QTest::newRow("tail blanks stay behind a prefix")
            << 1LL << u8("P") << u8("ab  ") << u8("P1ab  ");
        QTest::newRow("long extension") << 12LL << u8("") << u8("photo.jpeg") << u8("12jpeg");
        QTest::newRow("no extension") << 1LL << u8("") << u8("README") << u8("1ADME");
        QTest::newRow("bytes kept") << 3LL << u8("") << u8("x\xff.tx") << u8("3\xff.tx");
    }
    void numbered_name()
    {
        QFETCH(qlonglong, number);
        QFETCH(QByteArray, prefix);
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, expected);
        QCOMPARE(make_numbered_name(number, prefix, name), expected);
    }

    void case_mapping_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("upper");
        QTest::addColumn<bool>("turkic");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("lower") << u8("Foto.JPG") << false << false << u8("foto.jpg");
        QTest::newRow("upper") << u8("Foto.JPG") << true << false << u8("FOTO.JPG");
        QTest::newRow("umlaut") << u8("Übersicht 2.doc") << false << false << u8("übersicht 2.doc");
        QTest::newRow("umlaut up") << u8("grüße.txt") << true << false << u8("GRÜßE.TXT");
        QTest::newRow("sharp s keeps the length") << u8("ß") << true << false << u8("ß");
        QTest::newRow("titlecase digraph up") << u8("ǅ") << true << false << u8("Ǆ");
        QTest::newRow("sigma is simple") << u8("ΟΔΟΣ") << false << false << u8("οδοσ");
        QTest::newRow("stray bytes stay") << u8("a\xff"
                                                "b\xc3")
                                          << true << false
                                          << u8("A\xff"
                                                "B\xc3");
        QTest::newRow("dotless i up") << u8("ı") << true << false << u8("I");
        QTest::newRow("turkish up") << u8("istanbul") << true << true << u8("İSTANBUL");
        QTest::newRow("turkish down") << u8("DIŞ İÇ") << false << true << u8("dış iç");
        QTest::newRow("elsewhere i is I") << u8("istanbul") << true << false << u8("ISTANBUL");
    }
    void case_mapping()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, upper);
        QFETCH(bool, turkic);
        QFETCH(QByteArray, expected);
        const QByteArray got =
            case_name(name, upper ? TargetCase::Upper : TargetCase::Lower, turkic);
        QCOMPARE(got, expected);
        QCOMPARE(char_count(got), char_count(name));
    }

    // A long name maps as its characters do one by one, wherever the runs of
    // ASCII begin and end and whichever letters border the alphabet.
    void case_mapping_of_long_names()
    {
        const QByteArrayList pieces = {"@",     "A",     "Z",     "[",     "`",     "a",    "z",
                                       "{",     "m",     "0",     " ",     "~",     "i",    "I",
                                       u8("ä"), u8("Ä"), u8("ß"), u8("ı"), u8("İ"), "\xff", "\x7f"};
        std::mt19937 rng(20261208);
        for (int round = 0; round < 4000; ++round) {
            const bool upper = round % 2, turkic = round % 4 >= 2;
            const TargetCase target = upper ? TargetCase::Upper : TargetCase::Lower;
            QByteArray name, expected;
            const int length = int(rng() % 40);
            for (int k = 0; k < length; ++k) {
                // ASCII nine times out of ten: runs of eight and more are common
                const QByteArray &piece = pieces[rng() % 10 ? rng() % 14 : 14 + rng() % 7];
                name += piece;
                expected += case_name(piece, target, turkic);
            }
            QCOMPARE(case_name(name, target, turkic), expected);
        }
    }

    void case_variants()
    {
        QVERIFY(same_but_case("a.txt", "A.TXT"));
        QVERIFY(same_but_case("Übersicht", "übersicht"));
        QVERIFY(!same_but_case("a.txt", "a.txt"));
        QVERIFY(!same_but_case("a.txt", "b.txt"));
    }

    void natural_order_data()
    {
        QTest::addColumn<QByteArrayList>("expected");
        QTest::newRow("digits by value, letters without case")
            << QByteArrayList{"A.TXT", "a.txt",  "ä.txt",     "b.txt",     "file1",
                              "File2", "file10", "img 9.jpg", "img 10.jpg"};
        QTest::newRow("ASCII only")
            << QByteArrayList{"_zyx_ 2.jpg", "_zyx_ 10.jpg", "01.jpg",       "1.jpg", "2.jpg",
                              "10.jpg",      "IMG_0009.JPG", "IMG_0010.JPG", "z"};
        // alike in their first sixteen bytes of key, apart after
        QTest::newRow("long names alike") << QByteArrayList{
            "Urlaubsbilder 2",           "urlaubsbilder 2a",         "Urlaubsbilder 2b",
            "Urlaubsbilder 3 x",         "Urlaubsbilder 10",         "Urlaubsbilder 10 Strand",
            "Urlaubsbilder 10 strand 2", "Urlaubsbilder 10 Strand 3"};
        QTest::newRow("mixed scripts") << QByteArrayList{
            u8("1 Ärger.txt"), u8("2 ärger.txt"), "Bericht 2023",     u8("Élan.doc"),  "foto 7.jpg",
            u8("Ωmega 3"),     u8("Отчёт 2.txt"), u8("Отчёт 10.txt"), u8("写真 1.jpg")};
    }
    void natural_order()
    {
        QFETCH(QByteArrayList, expected);
        NameList names;
        for (auto it = expected.rbegin(); it != expected.rend(); ++it)
            names.append(*it);
        NaturalOrder().sort(names);
        QCOMPARE(names_of(names), expected);
    }

    // The order follows the session's language when it changes: Swedish
    // puts ä after z, German beside a.
    void natural_order_follows_the_language()
    {
        const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
        for (const char *language : {"de_DE", "sv_SE", "de_DE"}) {
            QLocale::setDefault(QLocale(QString::fromLatin1(language)));
            NameList names;
            for (const QByteArray &name : {QByteArray("z.txt"), u8("ä.txt"), QByteArray("b.txt")})
                names.append(name);
            NaturalOrder().sort(names);
            const QByteArrayList expected = language[0] == 's'
                                                ? QByteArrayList{"b.txt", "z.txt", u8("ä.txt")}
                                                : QByteArrayList{u8("ä.txt"), "b.txt", "z.txt"};
            QCOMPARE(names_of(names), expected);
        }
    }

    // The keys made for ASCII names order them exactly as the collator's keys
    // do, in languages whose rules leave ASCII alone and in those that do not.
    void ascii_keys_agree_with_the_collator_data()
    {
        QTest::addColumn<QString>("language");
        for (const char *l : {"en_US", "de_DE", "da_DK", "cs_CZ", "tr_TR", "sv_SE", "ja_JP",
                              "es_ES", "fr_CA", "fi_FI", "hu_HU", "pl_PL"})
            QTest::newRow(l) << QString::fromLatin1(l);
    }
    void ascii_keys_agree_with_the_collator()
    {
        QFETCH(QString, language);
        QLocale::setDefault(QLocale(language));
        const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
        std::mt19937 rng(20261207);
        // Mostly ASCII, now and then a letter beyond it or a byte that is no
        // UTF-8: the two kinds of keys and the merge between them.
        const QByteArray ascii = "aAbBcChHiIyYzZ0123456789   ._-()[]+,~!#$%&'@^`{}=;";
        const QByteArrayList beyond = {
            u8("ä"),    u8("Ä"),    u8("É"),        u8("é"),     u8("è"), u8("ß"), u8("ñ"),
            u8("ø"),    u8("æ"),    u8("Ç"),        u8("ô"),     u8("å"), u8("ÿ"), u8("×"),
            u8("°"),    u8("Œ"),    u8("€"),        "\xff",      "\xc3",  "\xfc",  "\xe9",
            "\xf6\xdf", "\xf0\x9f", "\xef\xbb\xbf", u8("\uFFFD")};
        // Short names of a few letters that share their base letters, so that
        // accents, ß and case decide between them.
        const QByteArrayList close = {"s",     "S",     u8("ß"), "a",     "A", u8("á"),
                                      u8("ä"), u8("Ä"), "e",     u8("é"), "1", "\xfc"};
        // Pieces of the names a folder holds side by side: long alike
        // beginnings that part in a number, an accent, a byte that is no
        // UTF-8 or in the middle of a character.
        const QByteArrayList pieces = {
            "Urlaub ", "urlaub ", u8("Über "), "IMG_", "0",          "00",    "1",       "9", "10",
            "19",      "100",     u8("ß"),     "ss",   "\xfc",       u8("ü"), "\xc3",    "a", "A",
            ".jpg",    " (2)",    u8("ő"),     "\x01", u8("\uFFFD"), "\xef",  "\xef\xbf"};
        for (int round = 0; round < 80; ++round) {
            NameList fast, slow;
            for (int i = 0; i < 500; ++i) {
                QByteArray name;
                if (round % 4 == 3) {
                    const int length = 1 + int(rng() % 6);
                    for (int k = 0; k < length; ++k)
                        name += pieces[int(rng() % pieces.size())];
                    fast.append(name);
                    continue;
                }
                if (round % 4 == 2) {
                    const int length = 1 + int(rng() % 5);
                    for (int k = 0; k < length; ++k)
                        name += close[int(rng() % close.size())];
                    fast.append(name);
                    continue;
                }
                const int length = 1 + int(rng() % 12);
                for (int k = 0; k < length; ++k) {
                    if (rng() % 6 == 0)
                        name += beyond[int(rng() % beyond.size())];
                    else
                        name += ascii[int(rng() % ascii.size())];
                }
                fast.append(name);
            }
            slow = fast;
            NaturalOrder(NaturalOrder::Keys::fastest).sort(fast);
            NaturalOrder(NaturalOrder::Keys::collator).sort(slow);
            QCOMPARE(names_of(fast), names_of(slow));
            // A list in order is only checked, pair by pair: each pair of
            // neighbours handed out the wrong way round must still be turned.
            for (qsizetype k = 0; k + 1 < slow.size(); ++k) {
                NameList pair;
                pair.append(slow[k + 1]);
                pair.append(slow[k]);
                NaturalOrder().sort(pair);
                QCOMPARE(pair.at(0), slow.at(k));
            }
        }
    }

    void display_text()
    {
        QCOMPARE(display_name("bad\xff.txt"), QString::fromUtf8("bad\uFFFD.txt"));
        // a leading byte order mark is kept, so the name does not pass for "abc"
        QCOMPARE(display_name("\xEF\xBB\xBF"
                              "abc")
                     .size(),
                 4);
        QCOMPARE(display_name("abc\xe2\x82"), QString::fromUtf8("abc\uFFFD\uFFFD"));
    }

    void full_paths()
    {
        QCOMPARE(full_path("/home/u/Bilder", "Urlaub.jpg"), u8("/home/u/Bilder/Urlaub.jpg"));
        QCOMPARE(full_path("/", "Urlaub.jpg"), u8("//Urlaub.jpg"));
    }
};

QTEST_GUILESS_MAIN(tst_names)
#include "tst_names.moc"
