// SPDX-License-Identifier: GPL-3.0-or-later
// The case rename on real folders, and on a FAT file system that ignores
// case where the machine offers one through FUSE.

#include <cerrno>

#include <QtTest>

#include "fatvolume.h"
#include "folder.h"
#include "namelists.h"
#include "renamecase.h"
#include "testfolder.h"

using namespace talvence;

namespace {

using Names = std::vector<QByteArray>;

struct Outcome {
    bool done;
    RunOutcome::End end;
    int error;
    int rereads;
};

Outcome run(const QByteArray &folder, TargetCase target)
{
    int rereads = 0;
    const RunOutcome o = rename_case(folder, target, [&](const auto &) { ++rereads; });
    return {o.finished(), o.end, o.error, rereads};
}

Names listed(const QByteArray &folder)
{
    const auto entries = list_ordinary_files(folder);
    return entries ? names_of<Names>(*entries) : Names();
}

} // namespace

class tst_renamecase : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void both_directions_data()
    {
        QTest::addColumn<bool>("upper");
        QTest::addColumn<Names>("expected");
        QTest::newRow("gross lowercases")
            << false << Names{"foto.jpg", "readme", "x\xff.txt", "übersicht 2.doc"};
        QTest::newRow("klein uppercases")
            << true << Names{"FOTO.JPG", "README", "X\xff.TXT", "ÜBERSICHT 2.DOC"};
    }
    void both_directions()
    {
        QFETCH(bool, upper);
        QFETCH(Names, expected);
        TestFolder f;
        f.file("Foto.JPG");
        f.file("Übersicht 2.doc");
        f.file("x\xff.TxT");
        f.file(upper ? "README" : "readme"); // already in the target case: passed over
        f.file(".Hidden");
        f.folder("Folder");
        const auto before = f.state();
        const Outcome o = run(f.path(), upper ? TargetCase::Upper : TargetCase::Lower);
        QVERIFY(o.done);
        QCOMPARE(o.rereads, 1);
        Names got = f.names();
        std::erase(got, QByteArray(".Hidden"));
        std::erase(got, QByteArray("Folder"));
        std::sort(expected.begin(), expected.end());
        QCOMPARE(got, expected);
        QVERIFY(f.nothing_lost(before));
    }

    void empty_folder_only_rereads()
    {
        TestFolder f;
        const Outcome o = run(f.path(), TargetCase::Lower);
        QVERIFY(o.done);
        QCOMPARE(o.rereads, 1);
    }

    void two_files_one_name_keep_theirs()
    {
        TestFolder f;
        f.file("a.txt");
        f.file("A.TXT");
        f.file("b.txt");
        const auto before = f.state();
        const Outcome o = run(f.path(), TargetCase::Lower);
        QCOMPARE(o.end, RunOutcome::End::Refused);
        QCOMPARE(o.error, EEXIST);
        QCOMPARE(o.rereads, 0);
        QCOMPARE(f.state(), before); // the first rename failed and ended it
    }

    void stops_at_the_first_failure()
    {
        TestFolder f;
        f.file("A.txt");
        f.folder("b.txt"); // holds the new name of the second file
        f.file("B.TXT");
        f.file("C.txt");
        const auto before = f.state();
        const Outcome o = run(f.path(), TargetCase::Lower);
        QCOMPARE(o.end, RunOutcome::End::Refused);
        QCOMPARE(o.error, EEXIST);
        QCOMPARE(o.rereads, 0);
        QCOMPARE(f.names(), (Names{"B.TXT", "C.txt", "a.txt", "b.txt"}));
        QVERIFY(f.nothing_lost(before));
    }

    void vanished_folder()
    {
        TestFolder f;
        const Outcome o = run(f.at("gone"), TargetCase::Upper);
        QCOMPARE(o.end, RunOutcome::End::NoFolder);
        QCOMPARE(o.rereads, 0);
    }

    void fat_ignores_case()
    {
        FatVolume volume;
        if (const QByteArray why = volume.mount(); !why.isEmpty())
            QSKIP(why.constData());
        const QByteArray folder = volume.path();

        TestFolder::write(folder + "/Foto.JPG", "photo");
        TestFolder::write(folder + "/Notes.txt", "notes");
        QVERIFY(run(folder, TargetCase::Lower).done);
        QCOMPARE(listed(folder), (Names{"foto.jpg", "notes.txt"}));
        QVERIFY(run(folder, TargetCase::Upper).done);
        QCOMPARE(listed(folder), (Names{"FOTO.JPG", "NOTES.TXT"}));
        QCOMPARE(TestFolder::read(folder + "/FOTO.JPG"), QByteArray("photo"));
        QCOMPARE(TestFolder::read(folder + "/NOTES.TXT"), QByteArray("notes"));
    }
};

QTEST_GUILESS_MAIN(tst_renamecase)
#include "tst_renamecase.moc"
