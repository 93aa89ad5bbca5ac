// SPDX-License-Identifier: GPL-3.0-or-later
// Giving names back, for runs cut short and for runs taken back: the order
// of the moves (chains, rings), what is left alone (taken, replaced,
// renamed by hand), where the record lives and when it goes.

#include <csignal>
#include <new>
#include <sys/file.h>
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

RunOutcome numbering(const QByteArray &folder, const QString &prefix = {},
                     const RenameProgress &progress = {})
{
    StandardRenameIo io;
    io.prefix = [prefix] { return prefix; };
    io.prefix_too_long = [] {};
    io.reread = [](const NameList &) {};
    io.progress = progress;
    return rename_standard(folder, io);
}

RunOutcome case_run(const QByteArray &folder, TargetCase target)
{
    return rename_case(folder, target, [](const NameList &) {});
}

// A run in a process of its own, as a Talvence that was closed since.
void in_child(const std::function<void()> &run)
{
    const pid_t child = ::fork();
    if (child == 0) {
        run();
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
}

void killed_numbering(const QByteArray &folder, int pass, qsizetype at)
{
    in_child([&] {
        numbering(folder, {}, [&](int p, int, qsizetype done, qsizetype) {
            if (p == pass && done == at)
                ::kill(::getpid(), SIGKILL);
            return true;
        });
    });
}

RestoreReport undo_last(const QByteArray &folder)
{
    const auto run = last_undoable_run(folder);
    if (!run) {
        qWarning() << "nothing to take back in" << folder;
        RestoreReport none;
        none.damaged = true;
        return none;
    }
    return undo_run(folder, *run);
}

QByteArray state_record_text(const QByteArray &folder, const std::vector<QByteArray> &names,
                             const QByteArray &passes)
{
    QByteArray text = "talvence-journal 1\nstarted 7\nfolder " + folder +
                      "\nfolder-id 0\npark talvence-1-7\nidentity 0\nrun n\nprefix \ncase "
                      "lower plain\nfiles " +
                      QByteArray::number(qsizetype(names.size())) + '\n';
    for (const QByteArray &n : names)
        text += "0 " + n + '\n';
    return text + "ready\n" + passes;
}

} // namespace

class tst_restore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        state_ = std::make_unique<QTemporaryDir>();
        qputenv("XDG_STATE_HOME", QFile::encodeName(state_->path()));
    }

    // Taken back after the program was closed and started again: every
    // name, nothing else; three runs one after the other.
    void undo_after_a_restart_data()
    {
        QTest::addColumn<QByteArrayList>("runs");
        QTest::newRow("numbering") << QByteArrayList{"n"};
        QTest::newRow("case") << QByteArrayList{"upper"};
        QTest::newRow("three runs") << QByteArrayList{"n", "lower", "Ferien"};
    }
    void undo_after_a_restart()
    {
        QFETCH(QByteArrayList, runs);
        TestFolder f;
        for (int i = 0; i < 3000; ++i)
            f.file(varied_name(i));
        f.file(".hidden", "hidden");
        std::vector<std::map<QByteArray, QByteArray>> states{f.state()};
        for (const QByteArray &run : runs) {
            in_child([&] {
                if (run == "upper" || run == "lower")
                    case_run(f.path(), run == "upper" ? TargetCase::Upper : TargetCase::Lower);
                else
                    numbering(f.path(), run == "n" ? QString() : QString::fromUtf8(run));
            });
            QVERIFY(f.state() != states.back());
            states.push_back(f.state());
        }
        // Nothing of a finished run is left in the folder itself.
        QCOMPARE(f.names().size(), states.front().size());
        for (std::size_t k = runs.size(); k-- > 0;) {
            const RestoreReport report = undo_last(f.path());
            QVERIFY(report.finished);
            QVERIFY(!report.problems());
            QCOMPARE(f.state(), states[k]);
        }
        QVERIFY(!last_undoable_run(f.path()));
        QVERIFY(f.nothing_lost(states.front()));
    }

    // Names that wait for each other: "2.jpg" … numbered, every new name is
    // its neighbour's old one; and a ring.
    void chain_resolves_from_its_free_end()
    {
        TestFolder f;
        for (int i = 2; i <= 5001; ++i)
            f.file(QByteArray::number(i) + ".jpg");
        const auto before = f.state();
        QCOMPARE(numbering(f.path()).end, RunOutcome::End::Finished);
        QVERIFY(f.state() != before);
        const RestoreReport report = undo_last(f.path());
        QVERIFY(report.finished && !report.problems());
        QCOMPARE(report.restored, qsizetype(5000));
        QCOMPARE(f.state(), before);
    }

    // Short names and names that end in blanks change their endings from
    // pass to pass: cut short in each later pass, with a prefix and without,
    // every name comes back, as it does from a run taken back.
    void changing_endings_come_back_data()
    {
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<int>("pass");
        for (const QString &prefix : {QString(), QStringLiteral("Ferien ")})
            for (const int pass : {2, 3, 4, 0}) {
                const QByteArray row =
                    (prefix.isEmpty() ? "no prefix, " : "prefix, ") +
                    (pass ? "cut in pass " + QByteArray::number(pass) : QByteArray("taken back"));
                QTest::newRow(row.constData()) << prefix << pass;
            }
    }
    void changing_endings_come_back()
    {
        QFETCH(QString, prefix);
        QFETCH(int, pass);
        TestFolder f;
        for (const char *name : {"a", "b ", "\xc3\xbc", "x y  ", "ab c", "de  ", "\xfc ", "1", "12",
                                 "Urlaub 2024 .jpg "})
            f.file(name);
        for (int i = 0; i < 40; ++i)
            f.file(varied_name(i));
        const auto before = f.state();
        RestoreReport report;
        if (pass == 0) {
            QCOMPARE(numbering(f.path(), prefix).end, RunOutcome::End::Finished);
            report = undo_last(f.path());
        } else {
            in_child([&] {
                numbering(f.path(), prefix, [&](int p, int, qsizetype done, qsizetype) {
                    if (p == pass && done == 30)
                        ::kill(::getpid(), SIGKILL);
                    return true;
                });
            });
            const auto runs = find_interrupted_runs(f.path());
            QCOMPARE(runs.size(), std::size_t(1));
            report = restore_interrupted_runs(f.path(), runs);
        }
        QVERIFY(report.finished && !report.problems());
        QCOMPARE(f.state(), before);
    }

    void ring_steps_aside_once_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("two") << 2;
        QTest::newRow("three") << 3;
        QTest::newRow("thousand") << 1000;
    }
    void ring_steps_aside_once()
    {
        QFETCH(int, size);
        TestFolder f;
        // Before the run: 2.jpg … size.jpg, then 1.jpg; numbered in that
        // order, each holds the old name of the one after it.
        std::vector<QByteArray> names;
        for (int i = 2; i <= size; ++i)
            names.push_back(QByteArray::number(i) + ".jpg");
        names.push_back("1.jpg");
        for (int i = 0; i < size; ++i)
            f.file(QByteArray::number(i + 1) + ".jpg", "was " + names[std::size_t(i)]);
        TestFolder::write(QFile::encodeName(state_->path()) + "/talvence-ring.journal",
                          state_record_text(f.path(), names,
                                            "pass n 0 0-" + QByteArray::number(size - 1) +
                                                "\ndone " + QByteArray::number(size) + '\n'));
        RunRecord record;
        QCOMPARE(read_record(QFile::encodeName(state_->path()) + "/talvence-ring.journal",
                             ParseDepth::Whole, record),
                 RecordRead::Ok);
        const RestoreReport report =
            restore_record(f.path(), record, false, RestoreKind::Interrupted);
        QVERIFY(report.finished && !report.problems());
        QCOMPARE(report.restored, qsizetype(size));
        for (const QByteArray &n : names)
            QCOMPARE(f.content(n), "was " + n);
        QCOMPARE(qsizetype(f.names().size()), qsizetype(size));
    }

    // A file caught on its parking name comes back from it; names that only
    // look like one of the record's parking names stay as they are.
    void parked_file_found_by_its_name()
    {
        TestFolder f;
        f.file("1.jpg", "was a.jpg");
        f.file("talvence-1-7-1.tmp", "was b.jpg");
        f.file("3.jpg", "was c.jpg");
        const QByteArrayList alike{"talvence-1-7-01.tmp", "talvence-1-70-1.tmp",
                                   "talvence-1-7-9.tmp", "talvence-1-7-2.tmpx",
                                   "talvence-1-7-.tmp"};
        for (const QByteArray &n : alike)
            f.file(n, "not the record's");
        const QByteArray path = QFile::encodeName(state_->path()) + "/talvence-parked.journal";
        TestFolder::write(path, state_record_text(f.path(), {"a.jpg", "b.jpg", "c.jpg"},
                                                  "pass n 0 0-2\ndone 3\n"));
        RunRecord record;
        QCOMPARE(read_record(path, ParseDepth::Whole, record), RecordRead::Ok);
        const RestoreReport report =
            restore_record(f.path(), record, false, RestoreKind::Interrupted);
        QVERIFY(report.finished && !report.problems());
        QCOMPARE(report.restored, qsizetype(3));
        for (const QByteArray n : {"a.jpg", "b.jpg", "c.jpg"})
            QCOMPARE(f.content(n), "was " + n);
        for (const QByteArray &n : alike)
            QCOMPARE(f.content(n), QByteArray("not the record's"));
    }

    // What someone did between the run and the undo: a file renamed by
    // hand keeps that name, one replaced stays as it is, one removed is
    // missed, and a file put on an old name keeps it; all are told.
    void undo_leaves_what_others_did_alone()
    {
        TestFolder f;
        for (int i = 0; i < 200; ++i)
            f.file(varied_name(i));
        QCOMPARE(numbering(f.path()).end, RunOutcome::End::Finished);
        const std::vector<QByteArray> after = f.names();
        const QByteArray mine = f.content(after[0]);
        const QByteArray occupied = f.content(after[3]).mid(11); // "content of " + old name
        // New files first, so that none of them gets the number of a file
        // removed (a file system hands a freed inode number out again).
        f.file(occupied, "put there");
        f.file("other", "someone else's");
        QCOMPARE(::rename(f.at(after[0]).constData(), f.at("mine.jpg").constData()), 0);
        QCOMPARE(::rename(f.at("other").constData(), f.at(after[1]).constData()), 0);
        QCOMPARE(::unlink(f.at(after[2]).constData()), 0);
        const RestoreReport report = undo_last(f.path());
        QVERIFY(report.finished);
        QCOMPARE(report.renamed.size(), std::size_t(1));
        QCOMPARE(report.renamed.front().first, QByteArray("mine.jpg"));
        QCOMPARE("content of " + report.renamed.front().second, mine);
        QCOMPARE(report.replaced.size(), std::size_t(1));
        QCOMPARE(report.missing.size(), std::size_t(1));
        QCOMPARE(report.taken.size(), std::size_t(1));
        QCOMPARE(report.taken.front().first, after[3]);
        QCOMPARE(report.restored, qsizetype(200 - 4));
        QCOMPARE(f.content("mine.jpg"), mine);
        QCOMPARE(f.content(after[1]), QByteArray("someone else's"));
        QCOMPARE(f.content(occupied), QByteArray("put there"));
    }

    // Runs that stop at a refused rename keep their record: every name can
    // be given back.
    void stranded_runs_keep_their_names_data()
    {
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QByteArrayList>("files");
        QTest::addColumn<QByteArray>("folder");
        QTest::newRow("a folder named 1.jpg")
            << QString() << QByteArrayList{"Strand.jpg", "Berge.jpg"} << QByteArray("1.jpg");
        QTest::newRow("a prefix with a slash")
            << QStringLiteral("Urlaub/2024 ") << QByteArrayList{"a.jpg", "b.jpg", "c.txt"}
            << QByteArray();
        QTest::newRow("parking names held")
            << QString() << QByteArrayList{"_a.txt", "_b.txt", "_zyx_ 2.txt", "_zyx_ 3.txt"}
            << QByteArray();
    }
    void stranded_runs_keep_their_names()
    {
        QFETCH(QString, prefix);
        QFETCH(QByteArrayList, files);
        QFETCH(QByteArray, folder);
        TestFolder f;
        for (const QByteArray &n : files)
            f.file(n);
        if (!folder.isEmpty())
            f.folder(folder);
        const auto before = f.state();
        const RunOutcome outcome = numbering(f.path(), prefix);
        QCOMPARE(outcome.end, RunOutcome::End::Refused);
        QVERIFY(outcome.undo);
        QVERIFY(f.state() != before);
        const RestoreReport report = undo_last(f.path());
        QVERIFY(report.finished && !report.problems());
        QCOMPARE(f.state(), before);
    }

    // A folder that cannot take a journal: the run writes it in the state
    // folder; where that cannot take it either, the run does not begin.
    void state_folder_takes_the_journal()
    {
        TestFolder f;
        for (int i = 0; i < 300; ++i)
            f.file(varied_name(i));
        const auto before = f.state();
        // Someone else's folder: a journal there would be theirs to change.
        if (::geteuid() != 0 || ::chown(f.path().constData(), 65534, 65534) != 0)
            QSKIP("needs root to give the folder to someone else");
        killed_numbering(f.path(), 2, 100);
        const auto runs = find_interrupted_runs(f.path());
        QCOMPARE(runs.size(), std::size_t(1));
        QVERIFY(runs.front().journal.startsWith(QFile::encodeName(state_->path())));
        QCOMPARE(f.names().size(), before.size());
        const RestoreReport report = restore_interrupted_run(f.path(), runs.front());
        QVERIFY(report.finished && !report.problems());
        QCOMPARE(f.state(), before);

        // The state folder cannot be made: nothing is touched.
        qputenv("XDG_STATE_HOME", f.at("a.jpg/"));
        TestFolder::write(f.at("a.jpg"), "a file where the state folder would be");
        const auto with_file = f.state();
        const RunOutcome outcome = numbering(f.path());
        QCOMPARE(outcome.end, RunOutcome::End::NoRecord);
        QCOMPARE(f.state(), with_file);
    }

    // The full volume: the journal cannot be written there.
    void full_volume_journal_goes_to_the_state_folder()
    {
        FatVolume volume;
        const QByteArray why = volume.mount();
        if (!why.isEmpty())
            QSKIP(why.constData());
        const QByteArray folder = volume.path();
        for (int i = 0; i < 60; ++i)
            TestFolder::write(folder + "/Foto " + QByteArray::number(i) + ".jpg",
                              "photo " + QByteArray::number(i));
        // Fill what is left.
        const int fd = ::open((folder + "/fill").constData(), O_WRONLY | O_CREAT, 0644);
        QVERIFY(fd >= 0);
        const QByteArray block(4096, 'x');
        while (::write(fd, block.constData(), std::size_t(block.size())) > 0) {
        }
        ::close(fd);
        killed_numbering(folder, 3, 30);
        const auto runs = find_interrupted_runs(folder);
        QCOMPARE(runs.size(), std::size_t(1));
        QVERIFY(runs.front().journal.startsWith(QFile::encodeName(state_->path())));
        const RestoreReport report = restore_interrupted_run(folder, runs.front());
        QVERIFY(report.finished && !report.problems());
        for (int i = 0; i < 60; ++i)
            QCOMPARE(TestFolder::read(folder + "/Foto " + QByteArray::number(i) + ".jpg"),
                     "photo " + QByteArray::number(i));
    }

    // The stick is pulled in the middle of a restore: the record stays and
    // says what is left.
    void io_error_during_a_restore_keeps_the_record()
    {
        FatVolume volume;
        const QByteArray why = volume.mount();
        if (!why.isEmpty())
            QSKIP(why.constData());
        const QByteArray folder = volume.path();
        for (int i = 0; i < 60; ++i)
            TestFolder::write(folder + "/Bild " + QByteArray::number(i) + ".jpg", "x");
        killed_numbering(folder, 3, 40);
        const auto runs = find_interrupted_runs(folder);
        QCOMPARE(runs.size(), std::size_t(1));
        const RestoreReport report =
            restore_interrupted_run(folder, runs.front(), [&](int, int, qsizetype done, qsizetype) {
                if (done == 10)
                    volume.pull();
                return true;
            });
        QVERIFY(!report.finished);
        QVERIFY(!report.failed.empty());
        QCOMPARE(report.restored, qsizetype(10));
    }

    // Memory that runs out in the middle of a pass ends the run as a stop
    // would, in this process: nothing thrown at the window, the record kept
    // and every name given back by it.
    void lack_of_memory_stops_with_the_record()
    {
        TestFolder f;
        for (int i = 0; i < 30; ++i)
            f.file("Bild " + QByteArray::number(i) + ".jpg", QByteArray::number(i));
        const auto before = f.state();
        const RunOutcome outcome =
            numbering(f.path(), {}, [](int pass, int, qsizetype done, qsizetype) {
                if (pass == 2 && done == 12)
                    throw std::bad_alloc();
                return true;
            });
        QCOMPARE(outcome.end, RunOutcome::End::Stopped);
        QCOMPARE(outcome.error, ENOMEM);
        QVERIFY(f.state() != before);
        const auto runs = find_interrupted_runs(f.path());
        QCOMPARE(runs.size(), std::size_t(1));
        QVERIFY(restore_interrupted_runs(f.path(), runs).finished);
        QCOMPARE(f.state(), before);
    }

    // Runs cut short one after another: restored newest first, each
    // giving back what the one before left.
    void several_journals_newest_first()
    {
        TestFolder f;
        for (int i = 0; i < 400; ++i)
            f.file(varied_name(i));
        const auto before = f.state();
        killed_numbering(f.path(), 2, 150);
        // A gap in the numbers of the kept journals hides none of them.
        QCOMPARE(::rename(f.at(".talvence-journal").constData(),
                          f.at(".talvence-journal-5").constData()),
                 0);
        killed_numbering(f.path(), 4, 50);
        const auto runs = find_interrupted_runs(f.path());
        QCOMPARE(runs.size(), std::size_t(2));
        QVERIFY(runs[0].started > runs[1].started);
        QVERIFY(runs[1].journal.endsWith(".talvence-journal-5"));
        const RestoreReport report = restore_interrupted_runs(f.path(), runs);
        QVERIFY(report.finished && !report.problems());
        QCOMPARE(f.state(), before);
    }

    // A second Talvence leaves alone a journal the first one holds.
    void locked_journal_is_left_alone()
    {
        TestFolder f;
        for (int i = 0; i < 50; ++i)
            f.file(varied_name(i));
        killed_numbering(f.path(), 1, 20);
        const auto runs = find_interrupted_runs(f.path());
        QCOMPARE(runs.size(), std::size_t(1));
        int ready[2], go[2];
        QCOMPARE(::pipe(ready), 0);
        QCOMPARE(::pipe(go), 0);
        const pid_t holder = ::fork();
        if (holder == 0) {
            const int fd = ::open(runs.front().journal.constData(), O_RDONLY);
            ::flock(fd, LOCK_EX);
            char c = 1;
            [[maybe_unused]] auto n = ::write(ready[1], &c, 1);
            n = ::read(go[0], &c, 1);
            ::_exit(0);
        }
        char c = 0;
        QCOMPARE(::read(ready[0], &c, 1), ssize_t(1));
        QVERIFY(find_interrupted_runs(f.path()).empty());
        const auto changed = f.state();
        QVERIFY(restore_interrupted_run(f.path(), runs.front()).locked);
        QCOMPARE(f.state(), changed);
        QCOMPARE(::write(go[1], &c, 1), ssize_t(1));
        ::waitpid(holder, nullptr, 0);
        QCOMPARE(find_interrupted_runs(f.path()).size(), std::size_t(1));
        for (const int fd : {ready[0], ready[1], go[0], go[1]})
            ::close(fd);
    }

    // A copy of a folder with a run cut short (cp -a): the journal went
    // with it, the files' identities did not. Every name comes back.
    void copy_of_a_folder_loses_no_name()
    {
        TestFolder f;
        for (int i = 0; i < 300; ++i)
            f.file(varied_name(i));
        const auto before = f.state();
        killed_numbering(f.path(), 3, 120);
        TestFolder copy;
        QVERIFY(::rmdir(copy.path().constData()) == 0);
        QCOMPARE(QProcess::execute(QStringLiteral("cp"),
                                   {QStringLiteral("-a"), QFile::decodeName(f.path()),
                                    QFile::decodeName(copy.path())}),
                 0);
        const auto runs = find_interrupted_runs(copy.path());
        QCOMPARE(runs.size(), std::size_t(1));
        const RestoreReport report = restore_interrupted_run(copy.path(), runs.front());
        QVERIFY(report.finished && !report.problems());
        QCOMPARE(copy.state(), before);
    }

    // An undo cut short is finished at the next opening.
    void undo_cut_short_is_offered_again()
    {
        TestFolder f;
        for (int i = 0; i < 500; ++i)
            f.file(varied_name(i));
        const auto before = f.state();
        QCOMPARE(numbering(f.path()).end, RunOutcome::End::Finished);
        in_child([&] {
            undo_run(f.path(), *last_undoable_run(f.path()),
                     [](int, int, qsizetype done, qsizetype) {
                         if (done == 200)
                             ::kill(::getpid(), SIGKILL);
                         return true;
                     });
        });
        const auto runs = find_interrupted_runs(f.path());
        QCOMPARE(runs.size(), std::size_t(1));
        QVERIFY(runs.front().undo);
        const RestoreReport report = restore_interrupted_runs(f.path(), runs);
        QVERIFY(report.finished && !report.problems());
        QCOMPARE(f.state(), before);
        QVERIFY(!last_undoable_run(f.path()));
    }

    // The undo records of one folder are bounded; the oldest go first.
    void undo_records_are_bounded()
    {
        TestFolder f;
        f.file("a.txt");
        for (int i = 0; i < undo_records_per_folder + 3; ++i)
            QVERIFY(case_run(f.path(), i % 2 ? TargetCase::Lower : TargetCase::Upper).undo);
        QCOMPARE(int(undo_paths(f.path()).size()), undo_records_per_folder);
        for (int i = 0; i < undo_records_per_folder; ++i)
            QVERIFY(undo_last(f.path()).finished);
        QVERIFY(!last_undoable_run(f.path()));
        // The state folder and its records are the user's alone.
        struct stat st {};
        QCOMPARE(::stat((QFile::encodeName(state_->path()) + "/talvence").constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0700u);
    }

private:
    std::unique_ptr<QTemporaryDir> state_;
};

QTEST_GUILESS_MAIN(tst_restore)
#include "tst_restore.moc"
