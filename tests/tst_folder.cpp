// SPDX-License-Identifier: GPL-3.0-or-later
// Listing a folder's ordinary files and the rename that never replaces,
// provoked for real on a temporary folder.

#include <cerrno>
#include <sys/stat.h>

#include <QtTest>

#include "folder.h"
#include "namelists.h"
#include "names.h"
#include "testfolder.h"

using namespace talvence;

namespace {

// The folder's list, read with what it is believed to hold where given.
QByteArrayList listed(const QByteArray &folder, const QByteArrayList &likely = {})
{
    const Folder f(folder);
    const auto entries = likely.empty() ? list_ordinary_files(folder)
                                        : list_ordinary_files(f.fd(), name_list(likely));
    if (!entries)
        return {"<unreadable>"};
    // Each name goes to the system calls as it stands, so each must end in a NUL.
    for (qsizetype i = 0; i < entries->size(); ++i)
        if ((*entries)[i].data()[(*entries)[i].size()] != '\0')
            return {"<a name without its NUL>"};
    return names_of(*entries);
}

int rename_at(const TestFolder &f, const QByteArray &from, const QByteArray &to)
{
    const Folder folder(f.path());
    return rename_in_folder(folder.fd(), from, to);
}

} // namespace

class tst_folder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lists_ordinary_files_only()
    {
        TestFolder f;
        f.file("b.txt");
        f.file("a10.txt");
        f.file("a9.txt");
        f.file(".hidden");
        f.file("bad\xff\xfe.txt");
        f.folder("folder.txt");
        f.folder("sub");
        f.link("link-to-file.txt", "b.txt");
        f.link("link-to-folder", "sub");
        f.link("dangling.txt", "nowhere");
        QCOMPARE(::mkfifo(f.at("pipe.txt").constData(), 0644), 0);
        QCOMPARE(listed(f.path()), QByteArrayList({"a9.txt", "a10.txt", "b.txt", "bad\xff\xfe.txt",
                                                   "link-to-file.txt"}));
        const auto entries = list_ordinary_files(f.path());
        QCOMPARE(display_name((*entries)[3]), QString::fromUtf8("bad\uFFFD\uFFFD.txt"));
    }

    // What the folder is believed to hold only makes the reading cheaper: the
    // list is the same as without it, whether the belief is right, stale,
    // out of order or names what is no ordinary file.
    void a_likely_list_changes_nothing_data()
    {
        QTest::addColumn<QByteArrayList>("likely");
        QTest::newRow("right") << QByteArrayList{"a9.txt", "a10.txt", "b.txt", "link.txt", "z.txt"};
        QTest::newRow("reversed") << QByteArrayList{"z.txt", "link.txt", "b.txt", "a10.txt",
                                                    "a9.txt"};
        QTest::newRow("stale") << QByteArrayList{"a9.txt", "gone.txt", "b.txt"};
        QTest::newRow("not ordinary")
            << QByteArrayList{"a9.txt", "sub", "dangling.txt", ".hidden", "a10.txt"};
        QTest::newRow("none of them") << QByteArrayList{"x", "y"};
    }
    void a_likely_list_changes_nothing()
    {
        QFETCH(QByteArrayList, likely);
        TestFolder f;
        for (const char *name : {"z.txt", "b.txt", "a10.txt", "a9.txt", ".hidden"})
            f.file(name);
        f.folder("sub");
        f.link("link.txt", "b.txt");
        f.link("dangling.txt", "nowhere");
        QCOMPARE(listed(f.path(), likely), listed(f.path()));
    }

    // Enough names that a folder handing them out in another order than the
    // hint's (by hash, or newest first) makes the reading drop the hint.
    void a_likely_list_in_another_order()
    {
        TestFolder f;
        QByteArrayList hint;
        for (int i = 300; i > 0; --i) {
            f.file("f" + QByteArray::number(i * 7919 % 1000));
            hint.push_back("f" + QByteArray::number(i));
        }
        QCOMPARE(listed(f.path(), hint), listed(f.path()));
    }

    // A name of the hint gone from the folder early on: the folder no longer
    // follows the hint, and the names after it still all come into the list.
    void a_likely_list_that_lost_a_name()
    {
        TestFolder f;
        QByteArrayList hint;
        for (int i = 1; i <= 300; ++i) {
            f.file("f" + QByteArray::number(i));
            hint.push_back("f" + QByteArray::number(i));
            if (i == 2)
                hint.push_back("f2 gone");
        }
        QCOMPARE(listed(f.path(), hint), listed(f.path()));
        QCOMPARE(listed(f.path(), hint).size(), 300);
    }

    // The list on screen read again: the same list while nothing changed;
    // after any change, what a fresh listing gives, wherever in the order
    // the folder hands out the name that changed.
    void a_listing_read_again()
    {
        TestFolder f;
        for (const char *name : {"z.txt", "b.txt", "a10.txt", "a9.txt", "c", ".hidden"})
            f.file(name);
        const Folder folder(f.path());
        const auto again = [&](const NameList &shown) {
            const auto entries = list_ordinary_files_again(folder.fd(), shown);
            return entries ? names_of(*entries) : QByteArrayList{"<unreadable>"};
        };
        const QByteArrayList names = listed(f.path());
        for (const QByteArray &name : names) {
            const NameList shown = *list_ordinary_files(folder.fd());
            QCOMPARE(again(shown), names);
            QCOMPARE(::unlink(f.at(name).constData()), 0);
            QCOMPARE(again(shown), listed(f.path()));
            f.folder(name); // no ordinary file, though the name is the same
            QCOMPARE(again(shown), listed(f.path()));
            QCOMPARE(::rmdir(f.at(name).constData()), 0);
            f.file(name);
        }
        const NameList shown = *list_ordinary_files(folder.fd());
        f.file("new.txt");
        QCOMPARE(again(shown), listed(f.path()));
        QCOMPARE(again(NameList()), listed(f.path()));
    }

    void unreadable_folder()
    {
        TestFolder f;
        // The window tells why: the errno value comes with the failure.
        QCOMPARE(list_ordinary_files(f.at("gone")).error(), ENOENT);
        QVERIFY(!list_ordinary_files(QByteArray()).ok());
        f.file("plain");
        QCOMPARE(list_folder(f.at("plain")).error(), ENOTDIR);
        QVERIFY(!Folder(f.at("gone")).is_open());
    }

    void lists_subfolders()
    {
        TestFolder f;
        f.folder("B");
        f.folder("a");
        f.folder(".config");
        f.file("file");
        f.link("to-a", "a");
        const auto subs = list_subfolders(f.path());
        QVERIFY(subs);
        QCOMPARE(names_of(*subs), QByteArrayList({"a", "B", "to-a"}));
    }

    void renames_in_place()
    {
        TestFolder f;
        f.file("old.txt");
        f.file("\xff\xfe raw");
        const auto before = f.state();
        QCOMPARE(rename_at(f, "old.txt", "new.txt"), 0);
        QCOMPARE(rename_at(f, "\xff\xfe raw", "still \xff\xfe"), 0);
        QCOMPARE(f.content("new.txt"), QByteArray("content of old.txt"));
        QCOMPARE(f.content("still \xff\xfe"), QByteArray("content of \xff\xfe raw"));
        QVERIFY(f.nothing_lost(before));
    }

    void never_replaces_data()
    {
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<int>("error");
        QTest::newRow("a file") << QByteArray("taken.txt") << EEXIST;
        QTest::newRow("a hidden file") << QByteArray(".hidden") << EEXIST;
        QTest::newRow("a folder") << QByteArray("folder") << EEXIST;
        QTest::newRow("a dangling link") << QByteArray("dangling") << EEXIST;
        QTest::newRow("a slash leaves the folder") << QByteArray("../escaped.txt") << EINVAL;
        QTest::newRow("a slash into a folder") << QByteArray("folder/in.txt") << EINVAL;
        QTest::newRow("dot dot") << QByteArray("..") << EINVAL;
        QTest::newRow("dot") << QByteArray(".") << EINVAL;
        QTest::newRow("empty") << QByteArray() << EINVAL;
        QTest::newRow("NUL") << QByteArray("a\0b", 3) << EINVAL;
        QTest::newRow("too long") << QByteArray(256, 'x') << ENAMETOOLONG;
    }
    void never_replaces()
    {
        QFETCH(QByteArray, target);
        QFETCH(int, error);
        TestFolder f;
        f.file("mine.txt");
        f.file("taken.txt");
        f.file(".hidden");
        f.folder("folder");
        f.link("dangling", "nowhere");
        const auto before = f.state();
        QCOMPARE(rename_at(f, "mine.txt", target), error);
        QCOMPARE(f.state(), before);
        QVERIFY(f.nothing_lost(before));
    }

    void same_name_is_a_success_that_changes_nothing()
    {
        TestFolder f;
        f.file("same.txt");
        const auto before = f.state();
        QCOMPARE(rename_at(f, "same.txt", "same.txt"), 0);
        QCOMPARE(f.state(), before);
        QCOMPARE(rename_at(f, "vanished.txt", "vanished.txt"), ENOENT);
    }

    void vanished_file_fails()
    {
        TestFolder f;
        QCOMPARE(rename_at(f, "vanished.txt", "new.txt"), ENOENT);
        QVERIFY(f.names().empty());
    }

    void link_is_renamed_not_its_target()
    {
        TestFolder f;
        f.file("target.txt");
        f.link("link.txt", "target.txt");
        QCOMPARE(rename_at(f, "link.txt", "renamed.txt"), 0);
        QCOMPARE(f.state().at("renamed.txt"), QByteArray("<link to target.txt>"));
        QCOMPARE(f.content("target.txt"), QByteArray("content of target.txt"));
    }

    void case_change()
    {
        TestFolder f;
        f.file("Foto.JPG");
        QCOMPARE(rename_at(f, "Foto.JPG", "foto.jpg"), 0);
        QCOMPARE(f.names(), std::vector<QByteArray>{"foto.jpg"});
    }

    void case_change_onto_another_file_keeps_both()
    {
        TestFolder f;
        f.file("a.txt");
        f.file("A.TXT");
        const auto before = f.state();
        QCOMPARE(rename_at(f, "A.TXT", "a.txt"), EEXIST);
        QCOMPARE(f.state(), before); // the parking step was undone
    }
};

QTEST_GUILESS_MAIN(tst_folder)
#include "tst_folder.moc"
