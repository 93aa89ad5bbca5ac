// SPDX-License-Identifier: GPL-3.0-or-later
// A rename run cut short leaves every name recoverable: runs in a child
// process killed outright at points of every pass, then restored.

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QtTest>

#include "fatvolume.h"
#include "namelists.h"
#include "renamecase.h"
#include "renamestandard.h"
#include "runhistory.h"
#include "testfolder.h"

using namespace talvence;

namespace {

void fill(TestFolder &f, int count)
{
    for (int i = 0; i < count; ++i)
        f.file(varied_name(i));
    f.file(".hidden", "hidden");
}

// Runs the numbering rename in a child that kills itself outright after
// `at` renames of pass `pass`; the parent sees it die.
bool run_killed(const QByteArray &folder, int pass, qsizetype at, bool upper_case = false)
{
    const pid_t child = ::fork();
    if (child == 0) {
        const RenameProgress progress = [&](int p, int, qsizetype done, qsizetype) {
            if (p == pass && done == at)
                ::kill(::getpid(), SIGKILL);
            return true;
        };
        if (upper_case) {
            rename_case(
                folder, TargetCase::Upper, [](const NameList &) {}, nullptr, progress);
        } else {
            StandardRenameIo io;
            io.prefix = [] { return QStringLiteral(" Ferien "); };
            io.prefix_too_long = [] {};
            io.reread = [](const NameList &) {};
            io.progress = progress;
            rename_standard(folder, io);
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

RestoreReport restore(const QByteArray &folder)
{
    const auto runs = find_interrupted_runs(folder);
    if (runs.size() != 1) {
        qWarning() << "interrupted runs found:" << runs.size();
        return {};
    }
    return restore_interrupted_run(folder, runs.front());
}

} // namespace

class tst_journal : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        // A journal the folder cannot take goes to the user's state folder:
        // never the real user's.
        qputenv("XDG_STATE_HOME", QFile::encodeName(state_.path()));
    }

    void killed_numbering_restores_every_name_data()
    {
        QTest::addColumn<int>("pass");
        QTest::addColumn<int>("at");
        // Before the first rename, inside and at the end of each of the four
        // passes.
        for (int pass = 1; pass <= 4; ++pass)
            for (const int at : {1, 777, 2000}) {
                const QByteArray row =
                    "pass " + QByteArray::number(pass) + " after " + QByteArray::number(at);
                QTest::newRow(row.constData()) << pass << at;
            }
    }
    void killed_numbering_restores_every_name()
    {
        QFETCH(int, pass);
        QFETCH(int, at);
        TestFolder f;
        fill(f, 2000);
        const auto before = f.state();
        QVERIFY(run_killed(f.path(), pass, at));
        QVERIFY(f.state() != before);
        const RestoreReport report = restore(f.path());
        QVERIFY(report.finished);
        for (const auto &[now, was] : report.taken)
            qWarning() << "taken" << now << was;
        for (const auto &[now, was] : report.replaced)
            qWarning() << "replaced" << now << was;
        for (const auto &was : report.missing)
            qWarning() << "missing" << was;
        QVERIFY(!report.problems());
        QCOMPARE(f.state(), before);
        QVERIFY(find_interrupted_runs(f.path()).empty());
    }

    void a_run_that_ends_leaves_no_journal()
    {
        TestFolder f;
        fill(f, 50);
        StandardRenameIo io;
        io.prefix = [] { return QString(); };
        io.prefix_too_long = [] {};
        io.reread = [](const NameList &) {};
        QCOMPARE(rename_standard(f.path(), io).cycles, 2);
        QVERIFY(find_interrupted_runs(f.path()).empty());
        // A refused rename ends the run too: a folder holds a number. Its
        // record is the undo record, out of the folder.
        TestFolder g;
        fill(g, 5);
        g.folder("3.jpg");
        QCOMPARE(rename_standard(g.path(), io).end, RunOutcome::End::Refused);
        QVERIFY(find_interrupted_runs(g.path()).empty());
        QCOMPARE(undo_paths(g.path()).size(), std::size_t(1));
    }

    // Someone gives a file one of the old names while the run is cut
    // short: the restore leaves that file alone and reports it.
    void restore_never_replaces()
    {
        TestFolder f;
        fill(f, 300);
        const auto before = f.state();
        QVERIFY(run_killed(f.path(), 2, 150));
        const QByteArray taken = varied_name(7);
        QVERIFY(!before.count(taken) || !QFileInfo::exists(QFile::decodeName(f.at(taken))));
        f.file(taken, "someone else's");
        const RestoreReport report = restore(f.path());
        QCOMPARE(report.taken.size(), std::size_t(1));
        QCOMPARE(report.taken.front().second, taken);
        QCOMPARE(f.content(taken), QByteArray("someone else's"));
        // Every other name is back, and the displaced file is still there.
        QCOMPARE(f.content(report.taken.front().first), before.at(taken));
        QCOMPARE(qsizetype(f.state().size()), qsizetype(before.size()) + 1);
    }

    // A restore cut short is finished by the next one.
    void restore_again_after_a_cut()
    {
        TestFolder f;
        fill(f, 400);
        const auto before = f.state();
        QVERIFY(run_killed(f.path(), 3, 200));
        const auto runs = find_interrupted_runs(f.path());
        QCOMPARE(runs.size(), std::size_t(1));
        const pid_t child = ::fork();
        if (child == 0) {
            restore_interrupted_run(f.path(), runs.front(),
                                    [](int, int, qsizetype done, qsizetype) {
                                        if (done == 120)
                                            ::kill(::getpid(), SIGKILL);
                                        return true;
                                    });
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        QVERIFY(WIFSIGNALED(status));
        const RestoreReport report = restore(f.path());
        QVERIFY(report.finished);
        QVERIFY(!report.problems());
        QCOMPARE(f.state(), before);
    }

    // A journal that never became whole was cut before any rename.
    void a_journal_cut_before_it_was_whole_is_dropped()
    {
        TestFolder f;
        fill(f, 10);
        const auto before = f.state();
        TestFolder::write(f.at(".talvence-journal"),
                          "talvence-journal 1\nstarted 5\nfiles 3\n12 a");
        const RestoreReport report = restore(f.path());
        QVERIFY(report.finished);
        QVERIFY(find_interrupted_runs(f.path()).empty());
        auto after = f.state();
        QCOMPARE(after, before);
    }

    // On a file system that ignores case, each file passes over a parking
    // name; a kill between the two steps leaves it there.
    void case_rename_on_fat_cut_while_parked()
    {
        FatVolume volume;
        const QByteArray why = volume.mount();
        if (!why.isEmpty())
            QSKIP(why.constData());
        const QByteArray folder = volume.path();
        for (int i = 0; i < 40; ++i)
            TestFolder::write(folder + "/Foto " + QByteArray::number(i) + ".jpg",
                              "photo " + QByteArray::number(i));
        QVERIFY(run_killed(folder, 1, 20, true));
        const auto runs = find_interrupted_runs(folder);
        QCOMPARE(runs.size(), std::size_t(1));
        // The kill came between the two steps of the next file's rename.
        QByteArray journal = TestFolder::read(runs.front().journal);
        const qsizetype park_at = journal.indexOf("\npark ") + 6;
        const QByteArray stem = journal.mid(park_at, journal.indexOf('\n', park_at) - park_at);
        const QByteArray parked = folder + '/' + stem + "-20.tmp";
        QCOMPARE(::rename((folder + "/Foto 20.jpg").constData(), parked.constData()), 0);

        const RestoreReport report = restore_interrupted_run(folder, runs.front());
        QVERIFY(report.finished);
        QVERIFY(!report.problems());
        for (int i = 0; i < 40; ++i) {
            const QByteArray name = folder + "/Foto " + QByteArray::number(i) + ".jpg";
            QCOMPARE(TestFolder::read(name), "photo " + QByteArray::number(i));
        }
    }

    // A large record is parsed whole only by its restore: damaged after its
    // head, it is offered, then told of as damaged and kept, nothing moved.
    void large_record_damaged_after_its_head()
    {
        TestFolder f;
        f.file("a.txt");
        const QByteArray journal = f.at(".talvence-journal");
        QByteArray text = "talvence-journal 1\nstarted 1\nfolder " + f.path() +
                          "\nfolder-id 0\nidentity 0\nrun c\nprefix \ncase upper plain\n"
                          "park talvence-1-1\nfiles 6000\n1 a.txt\n";
        for (int i = 1; i < 5999; ++i)
            text += QByteArray::number(i + 1) + " Urlaub " + QByteArray::number(i) + ".jpg\n";
        TestFolder::write(journal, text + "no-number.jpg\nready\npass c 0 0-5999\n");
        QVERIFY(text.size() > 100000);
        std::vector<QByteArray> damaged;
        const auto runs = find_interrupted_runs(f.path(), &damaged);
        QCOMPARE(runs.size(), std::size_t(1));
        QVERIFY(damaged.empty());
        const RestoreReport report = restore_interrupted_run(f.path(), runs.front());
        QVERIFY(report.damaged && !report.finished);
        QCOMPARE(f.names(), (std::vector<QByteArray>{".talvence-journal", "a.txt"}));
    }

    // What a folder may carry under a journal's name: each is skipped and
    // told of, none holds up the opening of the folder or takes it down,
    // and none moves a file.
    void hostile_journals_are_skipped_data()
    {
        QTest::addColumn<QByteArray>("kind");
        QTest::newRow("fifo") << QByteArray("fifo");
        QTest::newRow("sparse 100 GB") << QByteArray("sparse");
        QTest::newRow("40 ranges 0-100000000") << QByteArray("ranges");
        QTest::newRow("park path elsewhere") << QByteArray("park");
        QTest::newRow("name with a slash") << QByteArray("slash");
        QTest::newRow("name with a slash, nothing escaped") << QByteArray("plain slash");
        QTest::newRow("name beyond 4096 bytes") << QByteArray("long");
        QTest::newRow("not a journal") << QByteArray("garbage");
        QTest::newRow("a folder") << QByteArray("folder");
    }
    void hostile_journals_are_skipped()
    {
        QFETCH(QByteArray, kind);
        TestFolder f;
        f.file("a.txt");
        f.file("b.txt");
        TestFolder elsewhere;
        const QByteArray journal = f.at(".talvence-journal");
        const QByteArray head = "talvence-journal 1\nstarted 1\nfolder " + f.path() +
                                "\nfolder-id 0\nidentity 0\nrun c\nprefix \ncase upper plain\n";
        if (kind == "fifo") {
            QCOMPARE(::mkfifo(journal.constData(), 0600), 0);
        } else if (kind == "sparse") {
            TestFolder::write(journal, head);
            QCOMPARE(::truncate(journal.constData(), off_t(100) << 30), 0);
        } else if (kind == "ranges") {
            QByteArray text =
                head + "park talvence-1-1\nfiles 2\n1 a.txt\n2 b.txt\nready\npass c 0";
            for (int i = 0; i < 40; ++i)
                text += " 0-100000000";
            TestFolder::write(journal, text + "\n");
        } else if (kind == "park") {
            TestFolder::write(journal, head + "park " + elsewhere.path() +
                                           "/p\nfiles 2\n1 a.txt\n2 b.txt\nready\npass c 0 0-1\n");
        } else if (kind == "slash") {
            TestFolder::write(journal, head + "park talvence-1-1\nfiles 1\n1 ..%2F..%2Fx\nready\n");
        } else if (kind == "plain slash") {
            TestFolder::write(journal, head + "park talvence-1-1\nfiles 1\n1 ../x\nready\n");
        } else if (kind == "long") {
            TestFolder::write(journal, head + "park talvence-1-1\nfiles 1\n1 " +
                                           QByteArray(4097, 'n') + "\nready\n");
        } else if (kind == "garbage") {
            TestFolder::write(journal, QByteArray(5000, '\x7f'));
        } else {
            f.folder(".talvence-journal");
        }
        // Names only: reading a FIFO's content would wait for a writer.
        const auto before = f.names();
        std::vector<QByteArray> damaged;
        QVERIFY(find_interrupted_runs(f.path(), &damaged).empty());
        QCOMPARE(damaged.size(), std::size_t(1));
        const RestoreReport report = restore_interrupted_run(f.path(), {journal, 1, false});
        QVERIFY(report.damaged && !report.finished);
        QCOMPARE(f.names(), before);
        QCOMPARE(f.content("a.txt"), QByteArray("content of a.txt"));
        QVERIFY(elsewhere.names().empty());
        // A parking name is a name of the folder, or no rename happens.
        const Folder folder(f.path());
        QCOMPARE(
            rename_in_folder(folder.fd(), "a.txt", "A.TXT", (elsewhere.path() + "/p").constData()),
            EINVAL);
    }

private:
    QTemporaryDir state_;
};

QTEST_GUILESS_MAIN(tst_journal)
#include "tst_journal.moc"
