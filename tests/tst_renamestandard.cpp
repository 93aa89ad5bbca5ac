// SPDX-License-Identifier: GPL-3.0-or-later
// The numbering rename on real folders: the two cycles, the counters, the
// prefix limit, and every way a cycle can be stopped without losing a file.

#include <sys/stat.h>

#include <QtTest>

#include "folder.h"
#include "namelists.h"
#include "names.h"
#include "renamestandard.h"
#include "testfolder.h"

using namespace talvence;

namespace {

struct Run {
    QString prefix;
    int messages = 0;
    std::vector<std::vector<QByteArray>> rereads; // the folder as each re-read found it
};

int run(const TestFolder &f, Run &r)
{
    StandardRenameIo io;
    io.prefix = [&] { return r.prefix; };
    io.prefix_too_long = [&] { ++r.messages; };
    // The run's journal lies beside the files while it goes on.
    io.reread = [&](const auto &) {
        auto names = f.names();
        std::erase(names, QByteArray(".talvence-journal"));
        r.rereads.push_back(names);
    };
    return rename_standard(f.path(), io).cycles;
}

using Names = std::vector<QByteArray>;

} // namespace

class tst_renamestandard : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void three_files_through_both_cycles()
    {
        TestFolder f;
        f.file("c.txt");
        f.file("a.txt");
        f.file("b.txt");
        const auto before = f.state();
        Run r;
        QCOMPARE(run(f, r), 2);
        QCOMPARE(r.messages, 0);
        const Names numbered{"1.txt", "2.txt", "3.txt"};
        QCOMPARE(r.rereads, (std::vector<Names>{numbered, numbered}));
        QCOMPARE(f.content("1.txt"), QByteArray("content of a.txt"));
        QCOMPARE(f.content("2.txt"), QByteArray("content of b.txt"));
        QCOMPARE(f.content("3.txt"), QByteArray("content of c.txt"));
        QVERIFY(f.nothing_lost(before));
    }

    void numbers_follow_the_natural_order()
    {
        TestFolder f;
        for (const char *n : {"img10.jpg", "img9.jpg", "IMG1.jpg"})
            f.file(n);
        Run r;
        run(f, r);
        QCOMPARE(f.content("1.jpg"), QByteArray("content of IMG1.jpg"));
        QCOMPARE(f.content("2.jpg"), QByteArray("content of img9.jpg"));
        QCOMPARE(f.content("3.jpg"), QByteArray("content of img10.jpg"));
    }

    void one_counter_whatever_the_extension_data()
    {
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        QTest::newRow("no prefix") << QString() << QByteArray("1.txt") << QByteArray("2.jpg");
        QTest::newRow("prefix") << QStringLiteral(" Ferien ") << QByteArray("Ferien1.txt")
                                << QByteArray("Ferien2.jpg");
        QTest::newRow("blanks only")
            << QStringLiteral("   ") << QByteArray("1.txt") << QByteArray("2.jpg");
        QTest::newRow("umlauts") << QStringLiteral("Übersicht-") << QByteArray("Übersicht-1.txt")
                                 << QByteArray("Übersicht-2.jpg");
    }
    void one_counter_whatever_the_extension()
    {
        QFETCH(QString, prefix);
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        TestFolder f;
        f.file("a.txt");
        f.file("b.jpg");
        Run r{prefix, 0, {}};
        QCOMPARE(run(f, r), 2);
        QCOMPARE(f.names(), (Names{first, second}));
        QCOMPARE(f.content(first), QByteArray("content of a.txt"));
    }

    void lone_short_name()
    {
        TestFolder f;
        f.file("ab");
        Run r;
        run(f, r);
        QCOMPARE(r.rereads, (std::vector<Names>{{"1 1ab"}, {"1 1ab"}}));
    }

    // File i of the list gets number i through both cycles, also where the
    // kept ending begins with a digit and runs into the number before it.
    void every_file_keeps_its_place_data()
    {
        QTest::addColumn<Names>("listed");
        QTest::newRow("digit endings")
            << Names{"anhang.md",   "Bericht 2023", "kapitel1.md",
                     "kapitel2.md", "kapitel10.md", "zusammenfassung.md"};
        QTest::newRow("scripts and archives")
            << Names{"data3.gz", "notes.txt", "scan 2023", "script2.py", "script9.py"};
        Names many; // past ten files the numbers grow a digit
        for (int i = 1; i <= 12; ++i)
            many.push_back("teil" + QByteArray::number(i) + ".md");
        QTest::newRow("more than ten") << many;
    }
    void every_file_keeps_its_place()
    {
        QFETCH(Names, listed);
        TestFolder f;
        for (auto it = listed.rbegin(); it != listed.rend(); ++it)
            f.file(*it);
        const auto shown = list_ordinary_files(f.path());
        QVERIFY(shown);
        QCOMPARE(names_of<Names>(*shown), listed); // the list as the user saw it
        const auto before = f.state();
        Run r;
        QCOMPARE(run(f, r), 2);
        for (size_t i = 0; i < listed.size(); ++i) {
            const QByteArray now = make_numbered_name(qint64(i + 1), {}, listed[i]);
            QCOMPARE(f.content(now), "content of " + listed[i]);
        }
        QVERIFY(f.nothing_lost(before));
    }

    // A link to its neighbour is parked, its target then moves away: the link
    // is still this run's and ends on a number like every other file. A link
    // that dangled from the start takes no part.
    void link_to_a_neighbour()
    {
        TestFolder f;
        f.file("b.jpg");
        f.link("a.jpg", "b.jpg");
        f.link("z.jpg", "gone.jpg");
        const auto before = f.state();
        Run r;
        QCOMPARE(run(f, r), 2);
        QCOMPARE(f.names(), (Names{"1.jpg", "2.jpg", "z.jpg"}));
        QCOMPARE(f.state()["1.jpg"], QByteArray("<link to b.jpg>"));
        QCOMPARE(f.content("2.jpg"), QByteArray("content of b.jpg"));
        QVERIFY(f.nothing_lost(before));
    }

    void names_that_are_not_text()
    {
        TestFolder f;
        f.file("x\xff.t\xfe");
        f.file("y\xc3");
        const auto before = f.state();
        Run r;
        QCOMPARE(run(f, r), 2);
        QCOMPARE(f.names(), (Names{"1\xff.t\xfe", "2 2y\xc3"}));
        QVERIFY(f.nothing_lost(before));
    }

    // An entry the list does not show holds "2.txt": the rename onto it fails
    // and ends the cycle; the second cycle's parking numbers go on from 3.
    void unlisted_entry_stops_each_cycle()
    {
        TestFolder f;
        f.file("a.txt");
        f.file("b.txt");
        f.file("c.txt");
        f.link("2.txt", "nowhere");
        const auto before = f.state();
        Run r;
        QCOMPARE(run(f, r), 0);
        QVERIFY(r.rereads.empty());
        // cycle 1 ends with 1.txt (a), "_zyx_ 2.txt" (b), "_zyx_ 3.txt" (c); cycle 2
        // takes them in that order, parks them as 4, 5, 6 and stops again.
        QCOMPARE(f.names(), (Names{"1.txt", "2.txt", "_zyx_ 5.txt", "_zyx_ 6.txt"}));
        QCOMPARE(f.content("1.txt"), QByteArray("content of a.txt"));
        QCOMPARE(f.content("_zyx_ 5.txt"), QByteArray("content of b.txt"));
        QCOMPARE(f.content("_zyx_ 6.txt"), QByteArray("content of c.txt"));
        QVERIFY(f.nothing_lost(before));
    }

    void folder_named_like_a_target()
    {
        TestFolder f;
        f.folder("1.txt");
        f.file("a.txt");
        f.file("b.txt");
        const auto before = f.state();
        Run r;
        QCOMPARE(run(f, r), 0);
        QVERIFY(r.rereads.empty());
        QCOMPARE(f.names(), (Names{"1.txt", "_zyx_ 3.txt", "_zyx_ 4.txt"}));
        QVERIFY(f.nothing_lost(before));
    }

    void prefix_limit_data()
    {
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<bool>("with_files");
        QTest::addColumn<int>("messages");
        QTest::addColumn<int>("cycles");
        const QString at_limit(235, QLatin1Char('x'));
        const QString over(236, QLatin1Char('x'));
        QTest::newRow("235 on files") << at_limit << true << 0 << 2;
        QTest::newRow("235 on empty") << at_limit << false << 0 << 2;
        QTest::newRow("236 on files") << over << true << 1 << 0;
        QTest::newRow("236 on empty") << over << false << 1 << 0;
        QTest::newRow("236 counted in characters") << QString(236, QChar(0xE4)) << true << 1 << 0;
        QTest::newRow("blanks count") << QString(236, QLatin1Char(' ')) << true << 1 << 0;
        // Counted in bytes as well: a name holds 255 of them, not characters.
        QTest::newRow("235 bytes of umlauts")
            << QString(117, QChar(0xE4)) + QLatin1Char('x') << true << 0 << 2;
        QTest::newRow("260 bytes in 130 characters") << QString(130, QChar(0xE4)) << true << 1 << 0;
        QTest::newRow("one emoji over 235 bytes")
            << QString(234, QLatin1Char('x')).replace(0, 1, QString::fromUtf8("😀")) << true << 1
            << 0;
    }
    void prefix_limit()
    {
        QFETCH(QString, prefix);
        QFETCH(bool, with_files);
        QFETCH(int, messages);
        QFETCH(int, cycles);
        TestFolder f;
        if (with_files) {
            f.file("a.txt");
            f.file("b.txt");
        }
        const auto before = f.state();
        Run r{prefix, 0, {}};
        QCOMPARE(run(f, r), cycles);
        QCOMPARE(r.messages, messages);
        QCOMPARE(int(r.rereads.size()), cycles);
        if (messages)
            QCOMPARE(f.state(), before); // no file touched
        else if (with_files)
            QCOMPARE(f.names(), (Names{prefix.toUtf8() + "1.txt", prefix.toUtf8() + "2.txt"}));
        QVERIFY(f.nothing_lost(before));
    }

    void prefix_with_slash_stays_in_the_folder_data()
    {
        QTest::addColumn<QString>("prefix");
        QTest::newRow("into the parent") << QStringLiteral("../");
        QTest::newRow("into a subfolder") << QStringLiteral("sub/");
        QTest::newRow("absolute") << QStringLiteral("/tmp/");
        // would cut the name short on its way to the system
        QTest::newRow("a NUL inside") << QString::fromUtf8("a\0b", 3);
    }
    void prefix_with_slash_stays_in_the_folder()
    {
        QFETCH(QString, prefix);
        TestFolder f;
        f.folder("sub");
        f.file("a.txt");
        const auto before = f.state();
        Run r{prefix, 0, {}};
        QCOMPARE(run(f, r), 0);
        QCOMPARE(f.names(), (Names{"_zyx_ 2.txt", "sub"}));
        QVERIFY(f.nothing_lost(before));
    }

    void vanished_folder()
    {
        TestFolder f;
        Run r;
        StandardRenameIo io;
        io.prefix = [&] { return r.prefix; };
        io.prefix_too_long = [&] { ++r.messages; };
        io.reread = [&](const auto &) { r.rereads.push_back({}); };
        const RunOutcome o = rename_standard(f.at("gone"), io);
        QCOMPARE(o.end, RunOutcome::End::NoFolder);
        QCOMPARE(o.cycles, 0);
        QCOMPARE(r.messages, 0);
        QVERIFY(r.rereads.empty());
    }

    void leftovers_of_an_earlier_run_are_ordinary_files()
    {
        TestFolder f;
        f.file("_zyx_ 1.txt");
        f.file("_zyx_ 7.txt");
        f.file("z.txt");
        const auto before = f.state();
        Run r;
        QCOMPARE(run(f, r), 2);
        QCOMPARE(f.names(), (Names{"1.txt", "2.txt", "3.txt"}));
        QCOMPARE(f.content("3.txt"), QByteArray("content of z.txt"));
        QVERIFY(f.nothing_lost(before));
    }
};

QTEST_GUILESS_MAIN(tst_renamestandard)
#include "tst_renamestandard.moc"
