// SPDX-License-Identifier: GPL-3.0-or-later
// Kills numbering runs at random moments and counts what the journal cannot
// give back, and what writing the journal costs.
//
//   bench_journal kill FOLDER RUNS FILES   a run killed outright (SIGKILL) at a
//                                          random moment, then restored, until
//                                          RUNS runs were killed
//   bench_journal leave FOLDER FILES       leaves one run cut short in FOLDER
//                                          (to see the window's question)

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <map>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>

#include "renamestandard.h"
#include "runhistory.h"

using namespace talvence;
using Clock = std::chrono::steady_clock;

namespace {

// Names as cameras and downloads leave them, a tenth not UTF-8.
QByteArray name_of(int i)
{
    static const char *const stems[] = {"IMG_", "Urlaub ", "M\xc3\xbcller ", "M\xfcller ",
                                        "scan", "_zyx_ ",  "kapitel",        "x"};
    static const char *const tails[] = {".jpg", ".JPG", "1.md", "", ".txt", ".pdf"};
    return stems[i % 8] + QByteArray::number(i) + tails[(i / 8) % 6];
}

void make(const QByteArray &folder, int files)
{
    ::mkdir(folder.constData(), 0755);
    for (int i = 0; i < files; ++i) {
        const QByteArray path = folder + '/' + name_of(i);
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        const QByteArray content = QByteArray::number(i);
        if (fd < 0 || ::write(fd, content.constData(), std::size_t(content.size())) < 0)
            std::perror(path.constData());
        ::close(fd);
    }
}

// Name to content, every entry but the journal.
std::map<QByteArray, QByteArray> state(const QByteArray &folder)
{
    std::map<QByteArray, QByteArray> out;
    DIR *dir = ::opendir(folder.constData());
    while (const dirent *d = dir ? ::readdir(dir) : nullptr) {
        const QByteArray name(d->d_name);
        if (name == "." || name == ".." || name.startsWith(".talvence-journal"))
            continue;
        char buffer[64];
        const int fd = ::open((folder + '/' + name).constData(), O_RDONLY);
        const ssize_t n = fd >= 0 ? ::read(fd, buffer, sizeof buffer) : -1;
        ::close(fd);
        out[name] = n >= 0 ? QByteArray(buffer, int(n)) : QByteArray("?");
    }
    if (dir)
        ::closedir(dir);
    return out;
}

void remove_all(const QByteArray &folder)
{
    ::nftw(
        folder.constData(),
        [](const char *path, const struct stat *, int, struct FTW *) { return ::remove(path); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

StandardRenameIo plain_io()
{
    StandardRenameIo io;
    io.prefix = [] { return QString(); };
    io.prefix_too_long = [] {};
    io.reread = [](const NameList &) {};
    return io;
}

int kill_runs(const QByteArray &base, int runs, int files)
{
    std::mt19937 random(20261209);
    // How long a whole run takes here, so that the kills fall inside one.
    const QByteArray probe = base + "/probe";
    make(probe, files);
    const auto t0 = Clock::now();
    rename_standard(probe, plain_io());
    const auto whole = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - t0);
    remove_all(probe);
    std::printf("a whole run of %d files: %.3f s\n", files, double(whole.count()) / 1e6);

    long lost_names = 0, lost_files = 0, changed = 0, untouched = 0, ended = 0;
    int killed = 0;
    for (int run = 0; killed < runs && run < 3 * runs; ++run) {
        const QByteArray folder = base + "/run" + QByteArray::number(run);
        make(folder, files);
        const auto before = state(folder);
        const long at = std::uniform_int_distribution<long>(0, whole.count() * 19 / 20)(random);
        const pid_t child = ::fork();
        if (child == 0) {
            rename_standard(folder, plain_io());
            ::_exit(0);
        }
        ::usleep(useconds_t(at));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const auto cut = state(folder);
        long renamed = 0;
        for (const auto &[name, content] : cut)
            renamed += !before.count(name);
        const auto found = find_interrupted_runs(folder);
        RestoreReport report;
        for (const InterruptedRun &r : found)
            report = restore_interrupted_run(folder, r);
        const auto after = state(folder);
        long names = 0, contents = 0;
        for (const auto &[name, content] : before) {
            const auto it = after.find(name);
            names += it == after.end();
            contents += it != after.end() && it->second != content;
        }
        // A run that ended before the kill renamed every file as it should.
        if (!WIFSIGNALED(status)) {
            ++ended;
            names = 0;
        } else {
            ++killed;
        }
        lost_names += names;
        changed += contents;
        lost_files += long(before.size()) - long(after.size());
        untouched += renamed == 0;
        std::printf("run %2d: killed after %7.3f s (%s), %6ld names changed at the kill, "
                    "journal %s; after the restore: %ld names lost, %ld files lost, %ld "
                    "contents changed%s\n",
                    run + 1, double(at) / 1e6, WIFSIGNALED(status) ? "killed" : "had ended",
                    renamed, found.empty() ? "none" : "found", names,
                    long(before.size()) - long(after.size()), contents,
                    report.problems() ? ", problems reported" : "");
        remove_all(folder);
    }
    std::printf("%d runs of %d files killed: %ld names lost, %ld files lost, %ld contents changed "
                "(%ld runs killed before their first rename, %ld ended before the kill)\n",
                killed, files, lost_names, lost_files, changed, untouched, ended);
    return lost_names || lost_files || changed ? 1 : 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QByteArray mode = argc > 1 ? argv[1] : "";
    if (mode == "kill" && argc == 5)
        return kill_runs(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    if (mode == "leave" && argc == 4) {
        const QByteArray folder = argv[2];
        make(folder, std::atoi(argv[3]));
        const pid_t child = ::fork();
        if (child == 0) {
            StandardRenameIo io = plain_io();
            io.progress = [](int pass, int, qsizetype done, qsizetype total) {
                if (pass == 2 && done == total / 2)
                    ::kill(::getpid(), SIGKILL);
                return true;
            };
            rename_standard(folder, io);
            ::_exit(0);
        }
        ::waitpid(child, nullptr, 0);
        return 0;
    }
    std::fprintf(stderr, "usage: %s kill FOLDER RUNS FILES | leave FOLDER FILES\n", argv[0]);
    return 2;
}
