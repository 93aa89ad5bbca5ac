// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A small FAT file system mounted through FUSE (fusefat) in a private
// folder, for the tests that need a file system that ignores case, or one
// whose process can be stopped so that it answers nothing. Its process runs
// in the foreground, so the test holds it.

#include <csignal>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class FatVolume {
public:
    // Empty when mounted; otherwise why not, for QSKIP.
    QByteArray mount()
    {
        fusefat_ = QStandardPaths::findExecutable(QStringLiteral("fusefat"));
        const QString mkfs = QStandardPaths::findExecutable(QStringLiteral("mkfs.vfat"),
                                                            {"/usr/sbin", "/sbin", "/usr/bin"});
        unmount_ = QStandardPaths::findExecutable(QStringLiteral("fusermount"));
        if (fusefat_.isEmpty() || mkfs.isEmpty() || unmount_.isEmpty() ||
            !QFileInfo::exists(QStringLiteral("/dev/fuse")))
            return "no FUSE FAT file system here (needs fusefat, mkfs.vfat, fusermount and "
                   "/dev/fuse)";
        const QString image = dir_.filePath(QStringLiteral("fat.img"));
        mount_point_ = dir_.filePath(QStringLiteral("mnt"));
        QDir().mkpath(mount_point_);
        if (QProcess::execute(mkfs, {QStringLiteral("-C"), image, QStringLiteral("2048")}) != 0)
            return "mkfs.vfat failed";
        // It talks about every call; nobody reads that, and a full pipe would stop it.
        process_.setStandardOutputFile(QProcess::nullDevice());
        process_.setStandardErrorFile(QProcess::nullDevice());
        process_.start(fusefat_, {QStringLiteral("-f"), QStringLiteral("-o"), QStringLiteral("rw+"),
                                  image, mount_point_});
        const QByteArray table_entry = " " + QFile::encodeName(mount_point_) + " ";
        const bool up = QTest::qWaitFor(
            [&] {
                QFile table(QStringLiteral("/proc/self/mountinfo"));
                return table.open(QIODevice::ReadOnly) && table.readAll().contains(table_entry);
            },
            10000);
        if (!up)
            return "fusefat could not mount here (FUSE not permitted in this sandbox?)";
        mounted_ = true;
        return {};
    }
    ~FatVolume()
    {
        if (process_.state() != QProcess::NotRunning)
            ::kill(pid_t(process_.processId()), SIGCONT);
        if (mounted_)
            QProcess::execute(unmount_, {QStringLiteral("-u"), QStringLiteral("-z"), mount_point_});
        process_.terminate();
        process_.waitForFinished(10000);
    }

    QByteArray path() const { return QFile::encodeName(mount_point_); }
    // The stick is pulled out: the file system's process is gone, and every
    // call into the volume fails from now on.
    void pull()
    {
        ::kill(pid_t(process_.processId()), SIGKILL);
        process_.waitForFinished(10000);
    }
    // The file system stops answering: every call into it waits. The signal
    // reaches one thread first, and until that one has stopped the others,
    // a worker can still answer a call; so this waits until all have stopped.
    bool stop()
    {
        const qint64 pid = process_.processId();
        if (::kill(pid_t(pid), SIGSTOP) != 0)
            return false;
        const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
        return QTest::qWaitFor(
            [&] {
                const QStringList threads = tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
                for (const QString &thread : threads) {
                    QFile stat(tasks.filePath(thread + QStringLiteral("/stat")));
                    if (!stat.open(QIODevice::ReadOnly))
                        return false;
                    // The state letter follows the command name, which may hold blanks.
                    const QByteArray line = stat.readAll();
                    const qsizetype end = line.lastIndexOf(") ");
                    if (end < 0 || end + 2 >= line.size() || line[end + 2] != 'T')
                        return false;
                }
                return !threads.isEmpty();
            },
            5000);
    }

private:
    QTemporaryDir dir_;
    QString fusefat_, unmount_, mount_point_;
    QProcess process_;
    bool mounted_ = false;
};
