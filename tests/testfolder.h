// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A real folder to rename in, inside a private temporary tree that also holds
// a neighbour folder: every test can then check that nothing was lost in the
// folder and nothing changed beside it.

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <QByteArray>
#include <QTemporaryDir>
#include <QtTest>

// Writes a file whole, replacing one that is there; false when it cannot.
inline bool write_file(const QByteArray &path, const QByteArray &content)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, content.constData(), std::size_t(content.size())) == content.size();
    return ::close(fd) == 0 && ok;
}

class TestFolder {
public:
    TestFolder()
    {
        QVERIFY(tree_.isValid());
        root_ = QFile::encodeName(tree_.path());
        path_ = root_ + "/work";
        ::mkdir(path_.constData(), 0755);
        ::mkdir((root_ + "/beside").constData(), 0755);
        write(root_ + "/beside/keep.txt", "neighbour");
        beside_ = listing(root_ + "/beside");
    }

    // QTemporaryDir cannot remove names that are not UTF-8; the raw calls can.
    ~TestFolder()
    {
        ::nftw(
            root_.constData(),
            [](const char *path, const struct stat *, int, struct FTW *) { return ::remove(path); },
            16, FTW_DEPTH | FTW_PHYS);
    }
    TestFolder(const TestFolder &) = delete;
    TestFolder &operator=(const TestFolder &) = delete;

    const QByteArray &path() const { return path_; }
    QByteArray at(const QByteArray &name) const { return path_ + '/' + name; }

    // A file whose content is its first name, so a test can follow it.
    void file(const QByteArray &name) { write(at(name), "content of " + name); }
    void file(const QByteArray &name, const QByteArray &content) { write(at(name), content); }
    void folder(const QByteArray &name) { QCOMPARE(::mkdir(at(name).constData(), 0755), 0); }
    void link(const QByteArray &name, const QByteArray &target)
    {
        QCOMPARE(::symlink(target.constData(), at(name).constData()), 0);
    }

    // Every entry of the folder, hidden ones too, sorted by bytes.
    std::vector<QByteArray> names() const
    {
        std::vector<QByteArray> out;
        for (const auto &[name, content] : listing(path_))
            out.push_back(name);
        return out;
    }
    QByteArray content(const QByteArray &name) const { return read(at(name)); }

    // Name to content of every entry (folders and links marked as such).
    std::map<QByteArray, QByteArray> state() const { return listing(path_); }

    // The same contents are all still there, under whatever names, and the
    // neighbour folder is as it was.
    bool nothing_lost(const std::map<QByteArray, QByteArray> &before) const
    {
        std::multiset<QByteArray> was, is;
        for (const auto &[n, c] : before)
            was.insert(c);
        for (const auto &[n, c] : listing(path_))
            is.insert(c);
        if (was != is) {
            qWarning() << "contents changed in" << path_;
            return false;
        }
        if (listing(root_ + "/beside") != beside_ || listing(root_).size() != 2) {
            qWarning() << "something changed beside" << path_;
            return false;
        }
        return true;
    }

    static void write(const QByteArray &path, const QByteArray &content)
    {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        QVERIFY2(fd >= 0, path.constData());
        QCOMPARE(::write(fd, content.constData(), content.size()), ssize_t(content.size()));
        ::close(fd);
    }
    static QByteArray read(const QByteArray &path)
    {
        QByteArray out;
        const int fd = ::open(path.constData(), O_RDONLY);
        if (fd < 0)
            return "<missing>";
        char buf[4096];
        for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
            out.append(buf, n);
        ::close(fd);
        return out;
    }

private:
    static std::map<QByteArray, QByteArray> listing(const QByteArray &dir)
    {
        std::map<QByteArray, QByteArray> out;
        DIR *d = ::opendir(dir.constData());
        if (!d)
            return out;
        while (const dirent *e = ::readdir(d)) {
            const QByteArray name(e->d_name);
            if (name == "." || name == "..")
                continue;
            const QByteArray full = dir + '/' + name;
            struct stat st;
            ::lstat(full.constData(), &st);
            if (S_ISLNK(st.st_mode)) {
                char target[4096];
                const ssize_t n = ::readlink(full.constData(), target, sizeof target);
                out[name] = "<link to " + QByteArray(target, qMax<ssize_t>(n, 0)) + '>';
            } else if (S_ISDIR(st.st_mode)) {
                out[name] = "<folder " + name + '>';
            } else if (!S_ISREG(st.st_mode)) {
                out[name] = "<special " + name + '>'; // a FIFO's content would wait for a writer
            } else if (st.st_size > (1 << 26)) {
                out[name] = "<large " + QByteArray::number(qint64(st.st_size)) + '>';
            } else {
                out[name] = read(full);
            }
        }
        ::closedir(d);
        return out;
    }

    QTemporaryDir tree_;
    QByteArray root_, path_;
    std::map<QByteArray, QByteArray> beside_;
};
