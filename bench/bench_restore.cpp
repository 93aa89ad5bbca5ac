// SPDX-License-Identifier: GPL-3.0-or-later
// Giving names back: the restore of a run cut short and the undo of a
// finished one, each against the least any program does to make the same
// moves, in the same run: one read of the folder and one renameat2 with
// RENAME_NOREPLACE per file. Besides: how long the opening of a folder
// takes with hostile records beside it, and what undo records cost.
//
//   bench_restore [-r repeats] [--shape ordinary|chain|ring] [count ...]
//       (defaults: -r 5, every shape, 10000 100000 200000)
//   bench_restore --hostile [files]     hostile records at a folder's opening
//   bench_restore --records [runs] [files]
//       undo records of `runs` runs on one folder: bytes on disk, and how
//       long writing the record adds to the run
//
// Folders lie in TMPDIR (else /tmp); the state folder of the records too.
//
// Each turn runs the engine and the reference once, one of them first in
// turn. Beside the ratio of the two medians stands the median of each
// turn's own ratio ("paired"), which the goal is held against: both runs of
// a turn meet the host in the same state.
//
// The shapes: ordinary varied names; a chain (2.jpg … N+1.jpg numbered, so
// every new name is its neighbour's old one); a ring (2.jpg … N.jpg, 1.jpg
// numbered in that order, so that the names go round). The numbering
// engine itself numbers in natural order and cannot make a ring, so the
// ring's run is the engine's passes (journal, parking, numbering, two
// cycles) over that order, written with the engine's own journal.
//
// A restore is of a run killed (SIGKILL, in a child process) late in its
// last pass; an undo of a run that came to its end in a child process.
// The reference's moves, and their order, are worked out before its clock
// starts: the folder's own order, except that a file moves after the one
// that holds its old name, and a ring takes one rename more, onto a
// parking name, as the engine's does.

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <map>
#include <numeric>
#include <optional>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTimer>

#include "benchclock.h"
#include "folder.h"
#include "form1.h"
#include "journal.h"
#include "passnames.h"
#include "renamestandard.h"
#include "runhistory.h"
#include "seams.h"

using namespace talvence;

namespace {

constexpr double ratio_goal = 1.10;

[[noreturn]] void fail(const char *what, const QByteArray &detail = {})
{
    std::fprintf(stderr, "bench_restore: %s %s\n", what, detail.constData());
    std::exit(1);
}

QByteArray temp_base()
{
    const char *t = std::getenv("TMPDIR");
    return t && *t ? QByteArray(t) : QByteArray("/tmp");
}

void remove_all(const QByteArray &folder)
{
    ::nftw(
        folder.constData(),
        [](const char *path, const struct stat *, int, struct FTW *) { return ::remove(path); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

// Names as cameras and downloads leave them, a tenth not UTF-8, none of
// them a bare number, so that no numbered name meets an old one.
QByteArray varied_name(int i)
{
    static const char *const stems[] = {"IMG_", "Urlaub ",  "M\xc3\xbcller ", "M\xfcller ",
                                        "scan", "Bericht ", "kapitel",        "x"};
    static const char *const tails[] = {".jpg", ".JPG", " (Kopie).txt", "", ".txt", ".pdf"};
    return stems[i % 8] + QByteArray::number(i) + tails[(i / 8) % 6];
}

enum class Shape { Ordinary, Chain, Ring };
const char *shape_name(Shape s)
{
    return s == Shape::Ordinary ? "ordinary" : s == Shape::Chain ? "chain" : "ring";
}

// The names before the run, in the order the run takes them.
std::vector<QByteArray> names_of(Shape shape, int n)
{
    std::vector<QByteArray> out;
    out.reserve(std::size_t(n));
    for (int i = 0; i < n; ++i) {
        if (shape == Shape::Ordinary)
            out.push_back(varied_name(i));
        else if (shape == Shape::Chain)
            out.push_back(QByteArray::number(i + 2) + ".jpg");
        else
            out.push_back(QByteArray::number(i + 1 < n ? i + 2 : 1) + ".jpg");
    }
    return out;
}

void make(const QByteArray &folder, const std::vector<QByteArray> &names)
{
    if (::mkdir(folder.constData(), 0755) != 0)
        fail("cannot make", folder);
    for (const QByteArray &name : names) {
        const int fd = ::open((folder + '/' + name).constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0 || ::write(fd, name.constData(), std::size_t(name.size())) < 0)
            fail("cannot write in", folder);
        ::close(fd);
    }
}

// Every entry but the dot-files: name and inode number, in the folder's order.
std::vector<std::pair<std::string, ino_t>> entries(const QByteArray &folder)
{
    std::vector<std::pair<std::string, ino_t>> out;
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        fail("cannot read", folder);
    while (const dirent *d = ::readdir(dir))
        if (d->d_name[0] != '.')
            out.emplace_back(d->d_name, d->d_ino);
    ::closedir(dir);
    return out;
}

StandardRenameIo plain_io()
{
    StandardRenameIo io;
    io.prefix = [] { return QString(); };
    io.prefix_too_long = [] {};
    io.reread = [](const NameList &) {};
    return io;
}

// The engine's passes over the files in the order given: two cycles of a
// parking pass and a numbering pass, each written to the journal before
// it begins. `progress` as the engine's.
void ordered_run(const QByteArray &path, const std::vector<QByteArray> &order,
                 const RenameProgress &progress)
{
    const Folder folder(path);
    NameList names;
    FileIds ids;
    for (const QByteArray &name : order) {
        struct stat st {};
        ::fstatat(folder.fd(), name.constData(), &st, AT_SYMLINK_NOFOLLOW);
        names.append(name);
        ids.push_back(st.st_ino);
    }
    const auto journal = RunJournal::begin(folder.fd(), path, {}, names, ids);
    if (!journal)
        fail("no journal in", path);
    std::vector<std::uint32_t> records(order.size());
    std::iota(records.begin(), records.end(), 0u);
    std::vector<QByteArray> now = order;
    std::int64_t parking = 0;
    int pass = 0;
    for (int cycle = 0; cycle < 2; ++cycle)
        for (const PassKind kind : {PassKind::Parking, PassKind::Numbering}) {
            PassRule rule;
            rule.kind = kind;
            rule.counter_start = kind == PassKind::Parking ? parking : 0;
            ++pass;
            if (!journal->begin_pass(kind, rule.counter_start, records))
                fail("journal refused a pass in", path);
            std::string to;
            for (std::size_t i = 0; i < now.size(); ++i) {
                pass_new_name(rule, i, now[i], to);
                if (rename_in_folder(folder.fd(), now[i], to) != 0)
                    fail("a rename of the ordered run was refused in", path);
                now[i] = QByteArray(to.data(), qsizetype(to.size()));
                if (progress && !progress(pass, 4, qsizetype(i) + 1, qsizetype(now.size())))
                    return;
            }
            journal->end_pass(qsizetype(now.size()));
            if (kind == PassKind::Parking)
                parking += qsizetype(now.size());
        }
    journal->finish(true, true);
}

// The run in a child process, as a Talvence that has ended since; `cut`
// kills it there (SIGKILL) after that many renames of its last pass.
void run_in_child(Shape shape, const QByteArray &folder, const std::vector<QByteArray> &names,
                  qsizetype cut)
{
    const pid_t child = ::fork();
    if (child == 0) {
        const RenameProgress kill_late = [cut](int pass, int, qsizetype done, qsizetype) {
            if (pass == 4 && done == cut)
                ::kill(::getpid(), SIGKILL);
            return true;
        };
        const RenameProgress progress = cut >= 0 ? kill_late : RenameProgress();
        if (shape == Shape::Ring) {
            ordered_run(folder, names, progress);
        } else {
            StandardRenameIo io = plain_io();
            io.progress = progress;
            rename_standard(folder, io);
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if ((cut >= 0) != WIFSIGNALED(status))
        fail("the run did not end as planned in", folder);
}

// The moves that give every file its old name back, worked out before the
// clock starts, in the folder's own order, a file after the one on its name.
using Moves = std::vector<std::pair<std::string, std::string>>;
Moves plan_moves(const QByteArray &folder, const std::unordered_map<ino_t, std::string> &before)
{
    std::vector<std::pair<std::string, std::string>> wanted; // from, to
    for (const auto &[name, ino] : entries(folder)) {
        const auto it = before.find(ino);
        if (it == before.end())
            fail("a file the run did not know in", folder);
        if (it->second != name)
            wanted.emplace_back(name, it->second);
    }
    std::unordered_map<std::string, std::size_t> from;
    for (std::size_t i = 0; i < wanted.size(); ++i)
        from.emplace(wanted[i].first, i);
    Moves moves;
    std::vector<char> state(wanted.size(), 0); // waiting, on the path, done
    std::vector<std::size_t> path;
    for (std::size_t first = 0; first < wanted.size(); ++first) {
        if (state[first])
            continue;
        path.clear();
        for (std::size_t x = first;;) {
            state[x] = 1;
            path.push_back(x);
            const auto h = from.find(wanted[x].second);
            if (h == from.end() || state[h->second] == 2)
                break;
            if (state[h->second] == 1) { // round: one steps aside first
                const std::string park = "ring-park-" + std::to_string(h->second);
                moves.emplace_back(wanted[h->second].first, park);
                wanted[h->second].first = park;
                break;
            }
            x = h->second;
        }
        for (std::size_t k = path.size(); k-- > 0;) {
            state[path[k]] = 2;
            moves.push_back(wanted[path[k]]);
        }
    }
    return moves;
}

// The reference: one read of the folder, then the moves.
double bare_moves(const QByteArray &folder, const Moves &moves)
{
    const auto start = Clock::now();
    const int dirfd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *dir = ::fdopendir(::dup(dirfd));
    std::size_t seen = 0;
    while (const dirent *d = ::readdir(dir))
        seen += d->d_name[0] != 0;
    ::closedir(dir);
    std::size_t refused = 0;
    for (const auto &[from, to] : moves)
        refused += ::renameat2(dirfd, from.c_str(), dirfd, to.c_str(), RENAME_NOREPLACE) != 0;
    const double s = seconds_since(start);
    ::close(dirfd);
    if (refused || seen == 0)
        fail("the reference's moves were refused in", folder);
    return s;
}

// The folder holds its names from before the run again, each on its file.
void check_given_back(const QByteArray &folder,
                      const std::unordered_map<ino_t, std::string> &before)
{
    const auto now = entries(folder);
    if (now.size() != before.size())
        fail("files lost or added in", folder);
    for (const auto &[name, ino] : now) {
        const auto it = before.find(ino);
        if (it == before.end() || it->second != name)
            fail("a name not given back in", folder);
    }
}

std::unordered_map<ino_t, std::string> identities(const QByteArray &folder)
{
    std::unordered_map<ino_t, std::string> out;
    for (const auto &[name, ino] : entries(folder))
        out.emplace(ino, name);
    return out;
}

struct Cell {
    std::vector<double> engine, bare;
    qsizetype moved = 0;
};

// One turn: two folders brought to the same state by the same run, then
// the engine on one and the reference on the other, taking turns at going
// first.
void turn(Shape shape, int n, bool undo, int round, Cell &cell)
{
    static int serial = 0;
    const QByteArray base = temp_base() + "/bench-restore-" + QByteArray::number(::getpid()) + '-' +
                            QByteArray::number(++serial);
    const QByteArray mine = base + "-engine", theirs = base + "-bare";
    const std::vector<QByteArray> names = names_of(shape, n);
    const qsizetype cut = undo ? -1 : qsizetype(n) - qsizetype(n) / 20;
    std::unordered_map<ino_t, std::string> before_mine, before_theirs;
    for (const QByteArray &folder : {mine, theirs}) {
        make(folder, names);
        (folder == mine ? before_mine : before_theirs) = identities(folder);
        run_in_child(shape, folder, names, cut);
    }
    const Moves moves = plan_moves(theirs, before_theirs);
    // Both folders listed once before their clocks start, alike.
    (void)entries(mine);
    (void)entries(theirs);

    const auto engine = [&] {
        const auto start = Clock::now();
        RestoreReport report;
        if (undo) {
            const auto run = last_undoable_run(mine);
            if (!run)
                fail("no run to take back in", mine);
            report = undo_run(mine, *run);
        } else {
            const auto runs = find_interrupted_runs(mine);
            if (runs.size() != 1)
                fail("not one run cut short in", mine);
            report = restore_interrupted_runs(mine, runs);
        }
        cell.engine.push_back(seconds_since(start));
        if (!report.finished || report.problems())
            fail("the engine reported problems in", mine);
        cell.moved = report.restored;
    };
    if (round % 2 == 0) {
        engine();
        cell.bare.push_back(bare_moves(theirs, moves));
    } else {
        cell.bare.push_back(bare_moves(theirs, moves));
        engine();
    }
    check_given_back(mine, before_mine);
    check_given_back(theirs, before_theirs);
    if (undo ? last_undoable_run(mine).has_value() : !find_interrupted_runs(mine).empty())
        fail("a record outlived its job in", mine);
    remove_all(mine);
    remove_all(theirs);
}

int restore_benchmark(const std::vector<Shape> &shapes, const std::vector<int> &counts, int repeats)
{
    std::printf("%-8s %-7s %7s %8s %10s %10s %6s %7s  %s\n", "shape", "what", "files", "moved",
                "engine s", "bare s", "ratio", "paired", "runs (engine/bare)");
    int misses = 0;
    for (const int n : counts)
        for (const Shape shape : shapes)
            for (const bool undo : {false, true}) {
                Cell cell;
                for (int r = 0; r < repeats; ++r)
                    turn(shape, n, undo, r, cell);
                const double e = median(cell.engine), b = median(cell.bare);
                // Each turn's own ratio: the two runs of a turn meet the
                // host in one state, turns in states up to ±15 % apart.
                std::vector<double> own;
                for (std::size_t i = 0; i < cell.engine.size(); ++i)
                    own.push_back(cell.engine[i] / cell.bare[i]);
                const double paired = median(own);
                std::string runs;
                for (std::size_t i = 0; i < cell.engine.size(); ++i) {
                    char one[48];
                    std::snprintf(one, sizeof one, "%s%.3f/%.3f", i ? " " : "", cell.engine[i],
                                  cell.bare[i]);
                    runs += one;
                }
                misses += paired > ratio_goal;
                std::printf("%-8s %-7s %7d %8lld %10.4f %10.4f %5.2fx %5.2fx%s  %s\n",
                            shape_name(shape), undo ? "undo" : "restore", n,
                            static_cast<long long>(cell.moved), e, b, e / b, paired,
                            paired > ratio_goal ? "!" : " ", runs.c_str());
                std::fflush(stdout);
            }
    return misses ? 1 : 0;
}

// --hostile: records that must not hold up the opening of a folder, put
// beside a folder of `files` files and into the state folder under the
// folder's own record names; the two scans that the opening makes, timed
// alone and through the window.
void plant(const QByteArray &path, const char *kind)
{
    ::unlink(path.constData());
    const QByteArray k(kind);
    if (k == "fifo") {
        if (::mkfifo(path.constData(), 0600) != 0)
            fail("no FIFO at", path);
        return;
    }
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        fail("cannot write", path);
    const QByteArray head = "talvence-journal 1\nstarted 1\nfolder /x\nfolder-id 0\n"
                            "park talvence-1-1\nidentity 0\nrun n\nprefix \ncase lower plain\n";
    if (k == "sparse") { // 100 GB of nothing behind a head of ours
        if (::write(fd, head.constData(), std::size_t(head.size())) < 0 ||
            ::ftruncate(fd, off_t(100) << 30) != 0)
            fail("cannot write", path);
    } else if (k == "big") { // 1 GB written out
        const std::string block(1 << 20, 'x');
        for (int i = 0; i < 1024; ++i)
            if (::write(fd, block.data(), block.size()) != ssize_t(block.size()))
                fail("cannot write", path);
    } else if (k == "ranges") { // 40 ranges that would ask for 4 billion entries
        QByteArray text = head + "files 2\n1 a\n2 b\nready\npass n 0";
        for (int i = 0; i < 40; ++i)
            text += " 0-100000000";
        text += '\n';
        if (::write(fd, text.constData(), std::size_t(text.size())) < 0)
            fail("cannot write", path);
    } else { // a head of ours, then lines of nobody's
        QByteArray text = head + "files 3\n1 a\n2 ../../etc\n";
        text += QByteArray(4000, '\x7f');
        if (::write(fd, text.constData(), std::size_t(text.size())) < 0)
            fail("cannot write", path);
    }
    ::close(fd);
}

struct OpenTimes {
    double scans = 0;       // both scans, engine alone
    double longest_gap = 0; // the longest the window's event loop went without a turn,
                            // from the window's making (and its reading of the folder) on
    std::size_t damaged = 0;
};

OpenTimes open_folder_times(const QByteArray &folder)
{
    OpenTimes t;
    {
        const auto start = Clock::now();
        std::vector<QByteArray> damaged;
        const auto runs = find_interrupted_runs(folder, &damaged);
        const auto last = last_undoable_run(folder);
        t.scans = seconds_since(start);
        t.damaged = damaged.size();
        if (!runs.empty())
            fail("a hostile record taken for a run in", folder);
        (void)last;
    }
    // The window opens on its working folder; it scans once it stands and
    // tells of the damaged records in a message, the seam here.
    const QString before = QDir::currentPath();
    QDir::setCurrent(QFile::decodeName(folder));
    seams().message = [](const QString &) {};
    seams().ask = [](const QString &, const QStringList &) { return 2; }; // "Später"
    const auto start = Clock::now();
    auto last_turn = start;
    QTimer beat;
    beat.setInterval(1);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        t.longest_gap =
            std::max(t.longest_gap, std::chrono::duration<double>(now - last_turn).count());
        last_turn = now;
    });
    beat.start();
    auto form = std::make_unique<Form1>();
    form->show();
    // The scans are queued behind the window's first events; 0.3 s of
    // turns after it stands sees them run.
    const auto until = Clock::now() + std::chrono::milliseconds(300);
    while (Clock::now() < until)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    beat.stop();
    form.reset();
    QDir::setCurrent(before);
    seams() = Seams::defaults();
    return t;
}

int hostile_benchmark(int files)
{
    const QByteArray folder = temp_base() + "/bench-hostile-" + QByteArray::number(::getpid());
    std::vector<QByteArray> names;
    for (int i = 0; i < files; ++i)
        names.push_back(varied_name(i));
    make(folder, names);
    // A finished run of our own first, for the name its undo record has.
    run_in_child(Shape::Ordinary, folder, names, -1);
    const auto undo = undo_paths(folder);
    if (undo.size() != 1)
        fail("no undo record of", folder);
    const QByteArray undo_name = undo.front();
    const auto median_of = [&](int repeats) {
        std::vector<double> scans, gaps;
        OpenTimes t;
        for (int r = 0; r < repeats; ++r) {
            t = open_folder_times(folder);
            scans.push_back(t.scans);
            gaps.push_back(t.longest_gap);
        }
        std::printf("  scans %.4f s (slowest %.4f), window's longest gap %.4f s (slowest %.4f), "
                    "%zu records told of as damaged\n",
                    median(scans), *std::max_element(scans.begin(), scans.end()), median(gaps),
                    *std::max_element(gaps.begin(), gaps.end()), t.damaged);
    };
    std::printf("folder of %d files, one undo record of its own:\n", files);
    median_of(5);

    const QByteArray journal = folder + "/.talvence-journal";
    const QByteArray state = state_folder();
    const QByteArray stem = undo_name.mid(state.size() + 1, 16);
    struct Case {
        const char *what;
        QByteArray path;
        const char *kind;
    };
    const Case cases[] = {
        {"a FIFO named .talvence-journal", journal, "fifo"},
        {"a 100 GB sparse .talvence-journal-2", journal + "-2", "sparse"},
        {"a 1 GB .talvence-journal-3", journal + "-3", "big"},
        {"a malformed .talvence-journal-4 (40 ranges 0-100000000)", journal + "-4", "ranges"},
        {"a malformed .talvence-journal-5 (a name with /, then bytes of nobody's)", journal + "-5",
         "garbage"},
        {"the folder's undo record made a FIFO", undo_name, "fifo"},
        {"a malformed undo record", state + '/' + stem + "-2.undo", "garbage"},
        {"a 100 GB sparse undo record", state + '/' + stem + "-3.undo", "sparse"},
        {"a FIFO as the folder's journal in the state folder", state + '/' + stem + ".journal",
         "fifo"},
    };
    for (const Case &c : cases) {
        plant(c.path, c.kind);
        std::printf("with %s too:\n", c.what);
        median_of(5);
    }
    for (const Case &c : cases)
        ::unlink(c.path.constData());
    remove_all(folder);
    return 0;
}

// --records: `runs` numberings of one folder of `files` files, each in a
// child process; the undo records they leave, and the time from the last
// rename of each run to its end (the record's end line, its copy into the
// state folder, the syncs, the pruning).
int records_benchmark(int runs, int files)
{
    const QByteArray folder = temp_base() + "/bench-records-" + QByteArray::number(::getpid());
    std::vector<QByteArray> names;
    for (int i = 0; i < files; ++i)
        names.push_back(varied_name(i));
    make(folder, names);
    std::vector<double> whole, tail;
    for (int run = 0; run < runs; ++run) {
        int pipefd[2];
        if (::pipe(pipefd) != 0)
            fail("no pipe");
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(pipefd[0]);
            Clock::time_point last{};
            StandardRenameIo io = plain_io();
            io.progress = [&](int pass, int, qsizetype done, qsizetype total) {
                if (pass == 4 && done == total)
                    last = Clock::now();
                return true;
            };
            const auto start = Clock::now();
            rename_standard(folder, io);
            const double times[2] = {seconds_since(start), seconds_since(last)};
            if (::write(pipefd[1], times, sizeof times) != ssize_t(sizeof times))
                ::_exit(1);
            ::_exit(0);
        }
        ::close(pipefd[1]);
        double times[2] = {};
        const bool got = ::read(pipefd[0], times, sizeof times) == ssize_t(sizeof times);
        ::close(pipefd[0]);
        ::waitpid(child, nullptr, 0);
        if (!got)
            fail("a run did not report in", folder);
        whole.push_back(times[0]);
        tail.push_back(times[1]);
        std::int64_t bytes = 0, blocks = 0;
        const auto records = undo_paths(folder);
        for (const QByteArray &path : records) {
            struct stat st {};
            ::stat(path.constData(), &st);
            bytes += st.st_size;
            blocks += st.st_blocks;
        }
        std::printf("run %2d: %.3f s, of it %.4f s from the last rename to the end; %zu undo "
                    "records, %.1f MB (%.1f MB on disk)\n",
                    run + 1, times[0], times[1], records.size(), double(bytes) / 1e6,
                    double(blocks) * 512 / 1e6);
        std::fflush(stdout);
    }
    std::printf("median: run %.3f s, writing the undo record %.4f s (%.1f %%)\n", median(whole),
                median(tail), 100 * median(tail) / median(whole));
    for (const QByteArray &path : undo_paths(folder))
        ::unlink(path.constData());
    remove_all(folder);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    // The records go to a state folder of the benchmark's own, on the file
    // system of the folders.
    const QByteArray state = temp_base() + "/bench-restore-state-" + QByteArray::number(::getpid());
    qputenv("XDG_STATE_HOME", state);
    qputenv("XDG_CONFIG_HOME", state + "/config");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int repeats = 5;
    std::vector<int> counts;
    std::vector<Shape> shapes;
    enum { Restore, Hostile, Records } mode = Restore;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg = argv[i];
        if (arg == "-r" && i + 1 < argc) {
            repeats = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--shape" && i + 1 < argc) {
            const QByteArray s = argv[++i];
            shapes.push_back(s == "chain"  ? Shape::Chain
                             : s == "ring" ? Shape::Ring
                                           : Shape::Ordinary);
        } else if (arg == "--hostile") {
            mode = Hostile;
        } else if (arg == "--records") {
            mode = Records;
        } else if (arg[0] >= '0' && arg[0] <= '9') {
            counts.push_back(std::atoi(argv[i]));
        } else {
            std::fprintf(stderr,
                         "usage: %s [-r repeats] [--shape ordinary|chain|ring] [count ...]\n"
                         "       %s --hostile [files]\n       %s --records [runs] [files]\n",
                         argv[0], argv[0], argv[0]);
            return 2;
        }
    }
    int result = 0;
    if (mode == Hostile) {
        result = hostile_benchmark(counts.empty() ? 10000 : counts[0]);
    } else if (mode == Records) {
        result = records_benchmark(counts.empty() ? 10 : counts[0],
                                   counts.size() < 2 ? 200000 : counts[1]);
    } else {
        if (counts.empty())
            counts = {10000, 100000, 200000};
        if (shapes.empty())
            shapes = {Shape::Ordinary, Shape::Chain, Shape::Ring};
        result = restore_benchmark(shapes, counts, repeats);
    }
    remove_all(state);
    return result;
}
