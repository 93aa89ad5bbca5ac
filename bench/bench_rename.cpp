// SPDX-License-Identifier: GPL-3.0-or-later
// Figures for the two batch renames and the file list, each set against
// bare loops that do the same file system work in the same run, so that a
// noisy shared machine still gives a fair ratio. The reference is the least
// any correct program does: it reads the folder before each pass (as each
// pass must, to take the files that are there now) and renames with
// renameat2, nothing else. Beside it stands the loop of the renames alone,
// and for the window rows the reading loop with the file list's reads that
// the window makes after each cycle.
//
//   bench_rename [--window|--list] [--case] [-r repeats] [count ...]
//   (defaults: -r 3, 10000 100000 200000)
//
// --window runs the window rows alone, as for the run with an accessibility
// client listening (bench/run-accessible.sh); --list the file list's rows
// alone; --case the case rename's rows alone.
//
// The window rows drive the rename window on Qt's offscreen platform unless
// QT_QPA_PLATFORM says otherwise.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <malloc.h>
#include <memory>
#include <random>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <utility>
#include <vector>

#include <QAccessible>
#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QListView>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>

#include "benchclock.h"
#include "folder.h"
#include "form1.h"
#include "names.h"
#include "naturalorder.h"
#include "renamecase.h"
#include "renamestandard.h"

namespace {

using Pairs = std::vector<std::pair<QByteArray, QByteArray>>;
using Passes = std::vector<Pairs>; // the renames of each pass, in order

constexpr double ratio_goal = 1.10;
constexpr double list_seconds_goal = 0.1;
constexpr double list_megabytes_goal = 10.0;

// Turns that had to start before the machine was quiet, since the last row
// was printed.
int unquiet_starts = 0;

[[noreturn]] void fail(const char *what, const QByteArray &detail = {})
{
    std::fprintf(stderr, "bench_rename: %s %s\n", what, detail.constData());
    std::exit(1);
}

// The processor time of the process so far, in the program's own code and
// in the kernel on its behalf.
struct CpuTime {
    double user = 0, system = 0;
    static CpuTime now()
    {
        rusage u{};
        ::getrusage(RUSAGE_SELF, &u);
        return {double(u.ru_utime.tv_sec) + double(u.ru_utime.tv_usec) / 1e6,
                double(u.ru_stime.tv_sec) + double(u.ru_stime.tv_usec) / 1e6};
    }
    CpuTime operator-(const CpuTime &o) const { return {user - o.user, system - o.system}; }
    CpuTime operator+(const CpuTime &o) const { return {user + o.user, system + o.system}; }
    CpuTime &operator+=(const CpuTime &o)
    {
        user += o.user;
        system += o.system;
        return *this;
    }
};

// Names as a camera, a scanner and a few years of downloads leave them: mostly
// ASCII, some umlauts, and some Latin-1 leftovers that are no UTF-8 at all.
// Every name ends in a non-digit so that the parked names of one run cannot
// meet each other however the counters line up.
QByteArray mixed_name(std::size_t i, std::mt19937 &rng)
{
    static const char *const patterns[] = {
        "IMG_%05zu.JPG",           "IMG_%05zu.JPG",         "IMG_%05zu.JPG",
        "DSC%05zu.jpeg",           "Urlaub %zu.jpg",        "urlaub %zu.JPG",
        "Bericht %zu (Kopie).txt", "scan%zu.tif",           "Lieder %zu - Mädchen.mp3",
        "Übersicht Größe %zu.pdf", "Grüße aus München %zu", "Hauptstraße %zu Straße",
        "M\xfcller %zu.txt",       "Caf\xe9 %zu.doc",       "\xff\xfe Notiz %zu.txt",
        "Akte %zu Gr\xf6\xdf",
    };
    constexpr std::size_t n = sizeof patterns / sizeof *patterns;
    char buf[128];
    std::snprintf(buf, sizeof buf, patterns[rng() % n], i);
    return QByteArray(buf);
}

// All lower case, and each holds a letter that changes, so that every file
// really gets a new name and no two upper-case names meet.
QByteArray lower_name(std::size_t i, std::mt19937 &rng)
{
    static const char *const patterns[] = {
        "img_%05zu.jpg",         "img_%05zu.jpg",           "dsc%05zu.jpeg",
        "urlaub %zu.jpg",        "bericht %zu (kopie).txt", "übersicht größe %zu.pdf",
        "grüße aus münchen %zu", "m\xfcller %zu.txt",       "caf\xe9 %zu.doc",
        "akte %zu gr\xf6\xdf",
    };
    constexpr std::size_t n = sizeof patterns / sizeof *patterns;
    char buf[128];
    std::snprintf(buf, sizeof buf, patterns[rng() % n], i);
    return QByteArray(buf);
}

// A fresh folder under the temporary folder, emptied by raw names when it
// goes: QDir would skip the names that are no UTF-8 and leave the folder behind.
class BenchFolder {
public:
    BenchFolder() : dir_(QDir::tempPath() + QStringLiteral("/talvence-bench-XXXXXX"))
    {
        if (!dir_.isValid())
            fail("cannot make a temporary folder in", QFile::encodeName(QDir::tempPath()));
        path_ = QFile::encodeName(dir_.path());
    }
    ~BenchFolder() { clear(); }
    BenchFolder(const BenchFolder &) = delete;
    BenchFolder &operator=(const BenchFolder &) = delete;

    const QByteArray &path() const { return path_; }

    void fill(std::size_t count, QByteArray (*make)(std::size_t, std::mt19937 &)) const
    {
        std::mt19937 rng(20240501);
        const talvence::Folder f(path_);
        for (std::size_t i = 1; i <= count; ++i) {
            const QByteArray name = make(i, rng);
            const int fd =
                ::openat(f.fd(), name.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
            if (fd < 0)
                fail("cannot create", name);
            ::close(fd);
        }
        // Whatever the file system still has to write for the creation is not
        // part of what is measured next.
        ::syncfs(f.fd());
    }

    std::vector<QByteArray> raw_names() const
    {
        std::vector<QByteArray> names;
        DIR *d = ::opendir(path_.constData());
        if (!d)
            fail("cannot read", path_);
        while (const dirent *e = ::readdir(d)) {
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names.emplace_back(e->d_name);
        }
        ::closedir(d);
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    void clear() const
    {
        const talvence::Folder f(path_);
        if (!f.is_open())
            return;
        for (const QByteArray &name : raw_names())
            ::unlinkat(f.fd(), name.constData(), 0);
    }

    QTemporaryDir dir_;
    QByteArray path_;
};

talvence::NameList listing(const QByteArray &path)
{
    auto entries = talvence::list_ordinary_files(path);
    if (!entries)
        fail("cannot list", path);
    return std::move(*entries);
}

// The renames of the numbering rename, worked out the way it works them out:
// the first snapshot in natural order; each file parked on a "_zyx_" name
// with a counter that runs on through both cycles, then numbered from 1;
// every later pass takes the files in the order the pass before it left.
Passes numbering_renames(const QByteArray &path)
{
    const QByteArray prefix;
    const talvence::NameList listed = listing(path);
    std::vector<QByteArray> names;
    for (qsizetype i = 0; i < listed.size(); ++i)
        names.push_back(listed.at(i));
    Passes passes;
    std::int64_t temp_number = 0;
    for (int cycle = 0; cycle < 2; ++cycle) {
        Pairs parking, numbering;
        parking.reserve(names.size());
        numbering.reserve(names.size());
        for (QByteArray &name : names) {
            QByteArray to = talvence::make_temp_name(++temp_number, name);
            parking.emplace_back(name, to);
            name = std::move(to);
        }
        std::int64_t number = 0;
        for (QByteArray &name : names) {
            QByteArray to = talvence::make_numbered_name(++number, prefix, name);
            numbering.emplace_back(name, to);
            name = std::move(to);
        }
        passes.push_back(std::move(parking));
        passes.push_back(std::move(numbering));
    }
    return passes;
}

Passes case_renames(const QByteArray &path, talvence::TargetCase target)
{
    Pairs pairs;
    const talvence::NameList names = listing(path);
    for (qsizetype i = 0; i < names.size(); ++i) {
        QByteArray to = talvence::case_name(names[i], target);
        if (to != names[i])
            pairs.emplace_back(names.at(i), std::move(to));
    }
    return {pairs};
}

std::size_t rename_count(const Passes &passes)
{
    std::size_t n = 0;
    for (const Pairs &p : passes)
        n += p.size();
    return n;
}

// What a pass must read before it renames: the folder's visible regular
// files, their names and no more.
void read_folder(int dirfd, std::vector<std::string> &names)
{
    names.clear();
    const int own = ::openat(dirfd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *d = own >= 0 ? ::fdopendir(own) : nullptr;
    if (!d)
        fail("cannot read the folder");
    while (const dirent *e = ::readdir(d))
        if (e->d_name[0] != '.' && e->d_type == DT_REG)
            names.emplace_back(e->d_name);
    ::closedir(d);
}

std::size_t read_folder(int dirfd)
{
    std::vector<std::string> names;
    read_folder(dirfd, names);
    return names.size();
}

// The reference: before each pass a read of the folder, then the pass's renames.
// A window also reads the folder after each cycle, for its file list: where
// `list_every` passes is not 0, the loop does the same after every such
// count of passes, and `list_seconds` learns what those reads took; they are
// not part of the time returned, which stays the reference's.
double reading_renames(const QByteArray &path, const Passes &passes, std::size_t list_every = 0,
                       double *list_seconds = nullptr, CpuTime *list_cpu = nullptr)
{
    const auto start = Clock::now();
    double listing_time = 0;
    CpuTime listing_cpu;
    const int dirfd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirfd < 0)
        fail("cannot open", path);
    for (std::size_t p = 0; p < passes.size(); ++p) {
        if (read_folder(dirfd) < passes[p].size())
            fail("the folder holds fewer files than the pass renames");
        for (const auto &[from, to] : passes[p])
            if (::renameat2(dirfd, from.constData(), dirfd, to.constData(), RENAME_NOREPLACE) != 0)
                fail("bare rename failed:", from + " -> " + to + ": " + std::strerror(errno));
        if (list_every && (p + 1) % list_every == 0) {
            const CpuTime cpu_start = CpuTime::now();
            const auto read_start = Clock::now();
            (void)read_folder(dirfd);
            listing_time += seconds_since(read_start);
            listing_cpu += CpuTime::now() - cpu_start;
        }
    }
    ::close(dirfd);
    if (list_seconds)
        *list_seconds = listing_time;
    if (list_cpu)
        *list_cpu = listing_cpu;
    return seconds_since(start) - listing_time;
}

// The renames and nothing else, not even a look at the folder.
double bare_renames(const QByteArray &path, const Passes &passes)
{
    const auto start = Clock::now();
    const int dirfd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirfd < 0)
        fail("cannot open", path);
    for (const Pairs &pass : passes)
        for (const auto &[from, to] : pass)
            if (::renameat2(dirfd, from.constData(), dirfd, to.constData(), RENAME_NOREPLACE) != 0)
                fail("bare rename failed:", from + " -> " + to + ": " + std::strerror(errno));
    ::close(dirfd);
    return seconds_since(start);
}

// The same renames in the order the folder hands its files out, which the
// file system answers fastest: each pass reads the folder and renames every
// entry it meets that the pass renames. The targets are looked up in a map
// made before the clock starts, as a program that knows its rule computes
// them. Beside the reading loop, which keeps the rename's own order, it
// shows what that order costs.
using Targets = std::vector<std::unordered_map<std::string, std::string>>;
Targets targets_of(const Passes &passes)
{
    Targets out(passes.size());
    for (std::size_t p = 0; p < passes.size(); ++p)
        for (const auto &[from, to] : passes[p])
            out[p].emplace(from.toStdString(), to.toStdString());
    return out;
}

double folder_order_renames(const QByteArray &path, const Targets &targets)
{
    const auto start = Clock::now();
    const int dirfd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirfd < 0)
        fail("cannot open", path);
    std::vector<std::string> names;
    for (const auto &pass : targets) {
        read_folder(dirfd, names);
        std::size_t done = 0;
        for (const std::string &name : names) {
            const auto it = pass.find(name);
            if (it == pass.end())
                continue;
            if (::renameat2(dirfd, name.c_str(), dirfd, it->second.c_str(), RENAME_NOREPLACE) != 0)
                fail("folder-order rename failed:", QByteArray::fromStdString(name));
            ++done;
        }
        if (done != pass.size())
            fail("the folder-order loop missed files of a pass");
    }
    ::close(dirfd);
    return seconds_since(start);
}

// The same readdir walk and choice of files as the list, without display
// text and without sorting: what the list costs at the least.
double bare_listing(const QByteArray &path, std::size_t expected)
{
    const auto start = Clock::now();
    std::vector<std::string> names;
    DIR *d = ::opendir(path.constData());
    if (!d)
        fail("cannot read", path);
    while (const dirent *e = ::readdir(d)) {
        if (e->d_name[0] != '.' && e->d_type == DT_REG)
            names.emplace_back(e->d_name);
    }
    ::closedir(d);
    const double s = seconds_since(start);
    if (names.size() != expected)
        fail("bare listing found a different number of files");
    return s;
}

long status_kib(const char *field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::size_t len = std::strlen(field);
    while (std::getline(in, line)) {
        if (line.compare(0, len, field) == 0 && line.size() > len && line[len] == ':')
            return std::strtol(line.c_str() + len + 1, nullptr, 10);
    }
    return -1;
}

void reset_peak_rss()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

constexpr double mib = 1024.0 * 1024.0;

std::string runs(const std::vector<double> &seconds)
{
    std::string text;
    char buf[32];
    for (const double s : seconds) {
        std::snprintf(buf, sizeof buf, text.empty() ? "%.3f" : " %.3f", s);
        text += buf;
    }
    return text;
}

void print_three(const char *what, std::size_t n, const std::vector<double> &engine,
                 const std::vector<double> &reading, const std::vector<double> &bare,
                 const std::vector<double> &in_order, bool same, const CpuTime (&cpu)[3])
{
    const double e = median(engine), r = median(reading), b = median(bare);
    std::printf("%-18s N=%-7zu engine %8.3f s   reading loop %8.3f s   ratio %5.2f  (goal <= "
                "%.2f)   renames alone %8.3f s   ratio %5.2f%s\n",
                what, n, e, r, e / r, ratio_goal, b, e / b,
                same ? "" : "  RESULT DIFFERS FROM THE BARE LOOP");
    if (!in_order.empty()) {
        const double o = median(in_order);
        std::printf("%-18s N=%-7zu in the folder's own order (reads and renames) %8.3f s   "
                    "engine ratio %5.2f   the rename's own order costs the reading loop "
                    "%+.0f %%\n",
                    "", n, o, e / o, (r / o - 1) * 100);
    }
    // Each engine run and the loops of the same round went back to back;
    // their ratios show how much of the spread is the machine's.
    std::vector<double> paired;
    for (std::size_t i = 0; i < engine.size() && i < reading.size(); ++i)
        paired.push_back(engine[i] / reading[i]);
    std::printf("%-18s N=%-7zu runs: engine %s; reading loop %s; renames alone %s; ratio to the "
                "reading loop per round %s\n",
                "", n, runs(engine).c_str(), runs(reading).c_str(), runs(bare).c_str(),
                runs(paired).c_str());
    // Where the time went, summed over the runs: the program's own code, and
    // the kernel on its behalf.
    // Processor time leaves out what the machine's other guests take from
    // it, so its ratio wanders less from run to run than the clock's.
    const double k = double(engine.size());
    std::printf(
        "%-18s N=%-7zu processor time per run: engine user %.3f s system %.3f s; reading "
        "loop user %.3f s system %.3f s; renames alone user %.3f s system %.3f s; "
        "ratio to the reading loop %.2f; turns that began before the machine was quiet %d\n",
        "", n, cpu[0].user / k, cpu[0].system / k, cpu[1].user / k, cpu[1].system / k,
        cpu[2].user / k, cpu[2].system / k,
        (cpu[0].user + cpu[0].system) / (cpu[1].user + cpu[1].system), unquiet_starts);
    unquiet_starts = 0;
    std::fflush(stdout);
}

// Processor ticks the whole machine has spent busy so far.
unsigned long long busy_ticks()
{
    std::ifstream in("/proc/stat");
    std::string cpu;
    unsigned long long v[8] = {}; // user nice system idle iowait irq softirq steal
    in >> cpu;
    for (auto &x : v)
        in >> x;
    // The time the hypervisor gave to other guests counts as busy: it is
    // not ours to have.
    return v[0] + v[1] + v[2] + v[5] + v[6] + v[7];
}

// Passes at least `least` slices of a tenth of a second, then as many as
// it takes until the machine has been quiet for two of them in a row (at
// most one tick of work on any processor, ours waiting meanwhile), or
// `most` has passed. `pass` spends one slice. The kernel frees the files of
// the last folder after the calls that removed them have returned; with a
// window, an accessibility client reads the window over after it has
// changed, and on this machine of two processors whatever runs on the other
// one slows ours. A run that starts before all that is done measures it.
template <typename Pass> void wait_until_quiet(int least, std::chrono::seconds most, Pass pass)
{
    const auto until = Clock::now() + most;
    int slices = 0, quiet = 0;
    while ((slices < least || quiet < 2) && Clock::now() < until) {
        const unsigned long long before = busy_ticks();
        pass(std::chrono::milliseconds(100));
        quiet = busy_ticks() - before <= 1 ? quiet + 1 : 0;
        ++slices;
    }
    unquiet_starts += quiet < 2;
}

// Before each run.
void settle()
{
    wait_until_quiet(5, std::chrono::seconds(5),
                     [](std::chrono::milliseconds slice) { std::this_thread::sleep_for(slice); });
}

double list_benchmark(std::size_t n, int repeats)
{
    BenchFolder folder;
    folder.fill(n, mixed_name);
    settle();

    // The collator's tables are loaded once per process and shared by every
    // list; they are not what a list of N files holds, so they come in first.
    {
        BenchFolder warm;
        warm.fill(10, mixed_name);
        listing(warm.path());
    }
    // Memory first, in a heap with nothing freed lying about, so that the
    // growth of the resident set is the list's own.
    ::malloc_trim(0);
    const long before = status_kib("VmRSS");
    reset_peak_rss();
    std::vector<double> engine, bare;
    auto start = Clock::now();
    talvence::NameList held = listing(folder.path());
    engine.push_back(seconds_since(start));
    const long peak = status_kib("VmHWM");
    ::malloc_trim(0);
    const long after = status_kib("VmRSS");
    if (std::size_t(held.size()) != n)
        fail("the list holds a different number of files");
    const double heap = double(held.heap_bytes()) / mib;
    held = {};

    bare.push_back(bare_listing(folder.path(), n));
    for (int r = 1; r < repeats; ++r) {
        start = Clock::now();
        const auto again = listing(folder.path());
        engine.push_back(seconds_since(start));
        bare.push_back(bare_listing(folder.path(), n));
    }
    const double e = median(engine), b = median(bare);
    std::printf("%-18s N=%-7zu engine %8.3f s   bare readdir %5.3f s   ratio %5.2f  "
                "(goal < %.1f s)\n",
                "list re-read", n, e, b, e / b, list_seconds_goal);
    std::printf("%-18s N=%-7zu resident set +%.1f MB while the list is held, peak +%.1f MB "
                "during the call (VmRSS/VmHWM); the list's heap blocks %.1f MB (counted)  "
                "(goal < %.0f MB)\n",
                "list memory", n, (after - before) / 1024.0, (peak - before) / 1024.0, heap,
                list_megabytes_goal);

    // Opening the rename window on the folder: its subfolders for the folder
    // list and its files for the file list, against one bare readdir with a
    // sort of the names in natural order.
    const QString was = QDir::currentPath();
    QDir::setCurrent(QFile::decodeName(folder.path()));
    std::vector<double> window, sorted;
    for (int r = 0; r < repeats; ++r) {
        settle();
        start = Clock::now();
        auto form = std::make_unique<talvence::Form1>();
        window.push_back(seconds_since(start));
        form.reset();
        settle();
        start = Clock::now();
        std::vector<std::string> names;
        DIR *d = ::opendir(folder.path().constData());
        while (const dirent *entry = d ? ::readdir(d) : nullptr)
            if (entry->d_name[0] != '.' && entry->d_type == DT_REG)
                names.emplace_back(entry->d_name);
        if (d)
            ::closedir(d);
        talvence::NameList list;
        for (const std::string &name : names)
            list.append(QByteArrayView(name.data(), qsizetype(name.size())));
        talvence::NaturalOrder().sort(list);
        sorted.push_back(seconds_since(start));
    }
    QDir::setCurrent(was);
    const double w = median(window), o = median(sorted);
    std::printf("%-18s N=%-7zu window %8.3f s   bare readdir + sort %5.3f s   ratio %5.2f  "
                "(%.2f us a file; goal within 1.5x)\n",
                "window open", n, w, o, w / o, w / double(n) * 1e6);
    std::fflush(stdout);
    return e;
}

// Single runs on a shared machine swing by a tenth and more, most of all
// the short ones: each median stands on about four million renames (at most
// 51 runs), so that the numbering of 10,000 files gets 51 runs, of 100,000
// ten and of 200,000 five, and the case rename, a quarter of the renames,
// 51 runs at 10,000 files, 40 at 100,000 and 20 at 200,000.
int runs_for(std::size_t renames, int repeats)
{
    return std::max(repeats,
                    int(std::min<std::size_t>(4000000 / std::max<std::size_t>(renames, 1), 51)));
}

// Processor time that a run spends outside its clock (opening and closing
// the window); compare() leaves it out of the run's processor time.
CpuTime untimed_cpu;

// One round: the engine, the reading loop and the renames alone, each on a
// fresh folder of the same names, who goes first turning from round to round
// so that none always meets a busier disk.
template <typename Engine, typename Replay>
void compare(const char *what, std::size_t n, int repeats,
             QByteArray (*name)(std::size_t, std::mt19937 &), std::size_t renames,
             Engine engine_run, Replay replay, std::size_t list_every = 0)
{
    std::vector<double> engine, reading, bare, with_list, in_order;
    CpuTime cpu[3], list_cpu_sum;
    bool same = true;
    repeats = runs_for(renames, repeats);
    for (int r = 0; r < repeats; ++r) {
        for (int turn = 0; turn < 4; ++turn) {
            BenchFolder folder;
            folder.fill(n, name);
            settle();
            // Every turn starts alike: the renames are worked out from a
            // listing of the folder first, which leaves it fresh in the
            // processor's caches for the loops; the engine gets the same.
            Passes passes = replay(folder.path());
            if (rename_count(passes) != renames)
                fail("the replay renames a different number of files");
            const int who = (turn + r) % 4;
            if (who == 3) {
                const Targets targets = targets_of(passes);
                passes = {};
                in_order.push_back(folder_order_renames(folder.path(), targets));
            } else if (who == 0) {
                passes = {};
                untimed_cpu = {};
                const CpuTime before = CpuTime::now();
                engine.push_back(engine_run(folder.path()));
                cpu[0] += CpuTime::now() - before - untimed_cpu;
                if (r == 0) {
                    BenchFolder check;
                    check.fill(n, name);
                    bare_renames(check.path(), replay(check.path()));
                    same = folder.raw_names() == check.raw_names();
                }
            } else {
                const CpuTime before = CpuTime::now();
                CpuTime list_cpu;
                if (who == 1) {
                    double list_seconds = 0;
                    reading.push_back(reading_renames(folder.path(), passes, list_every,
                                                      &list_seconds, &list_cpu));
                    with_list.push_back(reading.back() + list_seconds);
                    list_cpu_sum += list_cpu;
                } else {
                    bare.push_back(bare_renames(folder.path(), passes));
                }
                cpu[who] += CpuTime::now() - before - list_cpu;
            }
        }
    }
    print_three(what, n, engine, reading, bare, in_order, same, cpu);
    if (list_every) {
        // The least a window does that shows the folder as it is afterwards.
        const double e = median(engine), l = median(with_list);
        const CpuTime loop = cpu[1] + list_cpu_sum;
        std::printf("%-18s N=%-7zu the reading loop with the file list's reads as the window "
                    "makes them %8.3f s   ratio %5.2f  (processor time %.2f)\n",
                    "", n, l, e / l, (cpu[0].user + cpu[0].system) / (loop.user + loop.system));
        std::fflush(stdout);
    }
}

void numbering_benchmark(std::size_t n, int repeats)
{
    compare(
        "numbering rename", n, repeats, mixed_name, 4 * n,
        [](const QByteArray &path) {
            talvence::StandardRenameIo io;
            io.prefix = [] { return QString(); };
            io.prefix_too_long = [] { fail("the empty prefix was called too long"); };
            io.reread = [](const auto &) {};
            const auto start = Clock::now();
            if (talvence::rename_standard(path, io).cycles != 2)
                fail("the numbering rename did not finish both cycles");
            return seconds_since(start);
        },
        numbering_renames);
}

// Learns when a widget has painted.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget *w) : widget_(w) { w->installEventFilter(this); }
    ~PaintWatch() override
    {
        if (widget_)
            widget_->removeEventFilter(this);
    }
    bool painted = false;

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            painted = true;
        return false;
    }

private:
    QPointer<QWidget> widget_; // the window may go first
};

// The same through the rename window, offscreen: from the press of its
// button until the file list has painted the new names, read again after
// each cycle on the way, as the user sees it. Qt paints what changed, as
// it does on screen. The window is opened on the folder before the clock
// starts.
double window_run(const QByteArray &path, const char *button)
{
    const CpuTime opening = CpuTime::now();
    const QString before = QDir::currentPath();
    QDir::setCurrent(QFile::decodeName(path));
    auto form = std::make_unique<talvence::Form1>();
    form->show();
    // A listening client looks the new window over, as a screen reader
    // does, and the window answers it from its event loop; that is not part
    // of the rename. The turn ends once the machine is quiet again, as the
    // loops' turns start on a quiet machine.
    const auto client_turn = [] {
        wait_until_quiet(QAccessible::isActive() ? 10 : 5, std::chrono::seconds(10),
                         [](std::chrono::milliseconds slice) {
                             QEventLoop loop;
                             QTimer::singleShot(slice, &loop, &QEventLoop::quit);
                             loop.exec();
                         });
    };
    QCoreApplication::processEvents();
    client_turn();
    // The window listed the folder when it opened, a second or more ago
    // with a client listening; the loops list it just before their clocks start.
    // Listing it once more here starts every turn alike.
    (void)listing(path);
    auto *b = form->findChild<QPushButton *>(QLatin1String(button));
    PaintWatch list(form->findChild<QListView *>(QStringLiteral("list3"))->viewport());
    const CpuTime pressed = CpuTime::now();
    const auto start = Clock::now();
    b->click();
    while (!list.painted) {
        QCoreApplication::processEvents();
        if (seconds_since(start) > 600)
            fail("the file list did not paint after the rename");
    }
    const double s = seconds_since(start);
    const CpuTime painted = CpuTime::now();
    client_turn();
    form.reset();
    QDir::setCurrent(before);
    untimed_cpu += (pressed - opening) + (CpuTime::now() - painted);
    return s;
}

void numbering_window_benchmark(std::size_t n, int repeats)
{
    compare(
        "numbering, window", n, repeats, mixed_name, 4 * n,
        [](const QByteArray &path) { return window_run(path, "rename_standard_button"); },
        numbering_renames, 2); // the list after each cycle of two passes
}

void case_window_benchmark(std::size_t n, int repeats)
{
    compare(
        "case, window", n, repeats, lower_name, n,
        [](const QByteArray &path) { return window_run(path, "klein"); },
        [](const QByteArray &path) { return case_renames(path, talvence::TargetCase::Upper); },
        1); // the list after the one pass
}

void case_benchmark(std::size_t n, int repeats)
{
    compare(
        "case rename", n, repeats, lower_name, n,
        [](const QByteArray &path) {
            const auto start = Clock::now();
            if (!talvence::rename_case(path, talvence::TargetCase::Upper, [](const auto &) {
                 }).finished())
                fail("the case rename stopped early");
            return seconds_since(start);
        },
        [](const QByteArray &path) { return case_renames(path, talvence::TargetCase::Upper); });
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int repeats = 3;
    bool window_only = false, list_only = false, case_only = false;
    std::vector<std::size_t> counts;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--window") {
            window_only = true;
        } else if (arg == "--list") {
            list_only = true;
        } else if (arg == "--case") {
            case_only = true;
        } else if ((arg == "-r" || arg == "--repeat") && i + 1 < argc) {
            repeats = std::atoi(argv[++i]);
        } else if (arg.rfind("--repeat=", 0) == 0) {
            repeats = std::atoi(arg.c_str() + 9);
        } else if (!arg.empty() && arg.find_first_not_of("0123456789") == std::string::npos) {
            counts.push_back(std::stoul(arg));
        } else {
            std::fprintf(stderr, "usage: %s [--window|--list] [--case] [-r repeats] [count ...]\n",
                         argv[0]);
            return 2;
        }
    }
    if (counts.empty())
        counts = {10000, 100000, 200000};
    if (repeats < 1)
        repeats = 1;

    std::printf("Talvence rename benchmarks: renames the median of at least %d runs (of as "
                "many as give four million renames, at most 51), the list of %d; folders in %s\n",
                repeats, repeats, qPrintable(QDir::tempPath()));
    std::printf("Goals: numbering and case rename within %.2fx of a loop that reads the folder "
                "before each pass and renames with renameat2; list re-read of 100,000 files "
                "under %.1f s and %.0f MB.\n",
                ratio_goal, list_seconds_goal, list_megabytes_goal);
    {
        // Accessibility comes on when a client (a screen reader, a test
        // driver) is there to listen; with it, every change of the window
        // is also told to that client.
        QWidget probe;
        probe.show();
        QCoreApplication::processEvents();
        // The accessibility bridge learns over the bus whether a client
        // listens; on a real window system it is given a moment to hear.
        const auto until = Clock::now() + std::chrono::seconds(5);
        while (QGuiApplication::platformName() != QLatin1String("offscreen") &&
               !QAccessible::isActive() && Clock::now() < until)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        std::printf("Windows on the %s platform, accessibility %s.\n",
                    qPrintable(QGuiApplication::platformName()),
                    QAccessible::isActive() ? "active" : "off");
    }
    std::fflush(stdout);

    for (const std::size_t n : counts) {
        if (list_only) {
            list_benchmark(n, repeats);
            continue;
        }
        if (!window_only && !case_only) {
            list_benchmark(n, repeats);
            numbering_benchmark(n, repeats);
        }
        if (!case_only)
            numbering_window_benchmark(n, repeats);
        if (!window_only)
            case_benchmark(n, repeats);
        case_window_benchmark(n, repeats);
    }
    return 0;
}
