// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace talvence {

namespace {

// The journal's file lies in the folder itself, hidden, so that it travels
// with a stick that is pulled out halfway; where the folder cannot take it,
// in the user's state folder, named after the folder's path.
constexpr std::string_view in_folder_name = ".talvence-journal";
constexpr int most_journals = 100;
constexpr std::string_view magic = "talvence-journal 1\n";

// Names are bytes: everything but printable ASCII (and the escape itself) is
// written as %XX, so that any name, text or not, stands on one line.
void escape(std::string &out, std::string_view name)
{
    static const char hex[] = "0123456789ABCDEF";
    for (const unsigned char c : name) {
        if (c > 0x20 && c < 0x7f && c != '%') {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
}

bool unescape(std::string_view text, QByteArray &out)
{
    out.clear();
    out.reserve(qsizetype(text.size()));
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return false;
        unsigned value = 0;
        const auto r = std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16);
        if (r.ec != std::errc() || r.ptr != text.data() + i + 3)
            return false;
        out += char(value);
        i += 2;
    }
    return true;
}

std::string_view view(QByteArrayView b)
{
    return std::string_view(b.data(), std::size_t(b.size()));
}

bool write_all(int fd, const std::string &text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

QByteArray state_folder()
{
    const char *state = std::getenv("XDG_STATE_HOME");
    if (state && state[0] == '/')
        return QByteArray(state) + "/talvence";
    const char *home = std::getenv("HOME");
    if (!home || home[0] != '/')
        return {};
    return QByteArray(home) + "/.local/state/talvence";
}

// The state folder's journals of one folder start with this.
QByteArray state_stem(const QByteArray &folder)
{
    std::uint64_t h = 14695981039346656037ull; // FNV-1a
    for (const char c : folder) {
        h ^= std::uint8_t(c);
        h *= 1099511628211ull;
    }
    return QByteArray::number(qulonglong(h), 16).rightJustified(16, '0');
}

QByteArray journal_name(int index)
{
    QByteArray name(in_folder_name.data(), qsizetype(in_folder_name.size()));
    return index == 0 ? name : name + '-' + QByteArray::number(index + 1);
}

QByteArray state_journal_name(const QByteArray &folder, int index)
{
    return state_stem(folder) + (index == 0 ? "" : "-" + QByteArray::number(index + 1)) +
           ".journal";
}

// Opens a folder, made first with the folders above it where `create` says so.
int open_folder(const QByteArray &path, bool create)
{
    if (create) {
        for (qsizetype slash = path.indexOf('/', 1); slash != -1;
             slash = path.indexOf('/', slash + 1))
            ::mkdir(path.left(slash).constData(), 0700);
        ::mkdir(path.constData(), 0700);
    }
    return ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// Creates the first free journal file of a folder, locked for this run.
int create_journal(int dirfd, const QByteArray &folder, bool in_folder, QByteArray &name)
{
    for (int i = 0; i < most_journals; ++i) {
        name = in_folder ? journal_name(i) : state_journal_name(folder, i);
        const int fd = ::openat(dirfd, name.constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0) {
            ::flock(fd, LOCK_EX);
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

qint64 now_ns()
{
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void add_ranges(std::string &out, const std::vector<std::uint32_t> &order)
{
    for (std::size_t i = 0; i < order.size();) {
        std::size_t j = i;
        while (j + 1 < order.size() && order[j + 1] == order[j] + 1)
            ++j;
        out += ' ';
        out += std::to_string(order[i]);
        if (j > i) {
            out += '-';
            out += std::to_string(order[j]);
        }
        i = j + 1;
    }
}

} // namespace

std::unique_ptr<RunJournal> RunJournal::begin(int dirfd, const QByteArray &folder, const Run &run,
                                              const NameList &names, const FileIds &ids)
{
    std::unique_ptr<RunJournal> j(new RunJournal);
    QByteArray name;
    int holder = ::dup(dirfd);
    int fd = holder >= 0 ? create_journal(holder, folder, true, name) : -1;
    if (fd < 0) {
        if (holder >= 0)
            ::close(holder);
        holder = -1;
        const QByteArray state = state_folder();
        if (!state.isEmpty())
            holder = open_folder(state, true);
        fd = holder >= 0 ? create_journal(holder, folder, false, name) : -1;
        if (fd < 0) {
            if (holder >= 0)
                ::close(holder);
            return nullptr;
        }
    }
    j->fd_ = fd;
    j->dirfd_ = holder;
    j->path_ = name;
    const qint64 started = now_ns();
    j->stem_ =
        "talvence-" + QByteArray::number(::getpid()) + '-' + QByteArray::number(started / 1000000);
    j->records_ = std::uint32_t(names.size());

    struct stat folder_st {};
    ::fstat(dirfd, &folder_st);
    // Inode numbers as the folder hands them out are the file's own on most
    // file systems; FAT-like ones make them up anew, and there the names
    // alone find the files again.
    bool identity = !names.empty();
    if (identity) {
        struct stat st {};
        identity =
            ::fstatat(dirfd, names[0].data(), &st, AT_SYMLINK_NOFOLLOW) == 0 && st.st_ino == ids[0];
    }

    std::string text(magic);
    text.reserve(std::size_t(names.name_bytes()) * 11 / 10 + std::size_t(names.size()) * 24 + 512);
    text += "started " + std::to_string(started) + '\n';
    text += "folder ";
    escape(text, view(folder));
    text += "\nfolder-id " + std::to_string(folder_st.st_ino) + '\n';
    text += "park ";
    text += view(j->stem_);
    text += "\nidentity ";
    text += identity ? "1\n" : "0\n";
    text += "prefix ";
    escape(text, view(run.prefix));
    text += "\ncase ";
    text += run.target == TargetCase::Upper ? "upper" : "lower";
    text += run.turkic ? " turkic\n" : " plain\n";
    text += "files " + std::to_string(names.size()) + '\n';
    char number[24];
    for (qsizetype i = 0; i < names.size(); ++i) {
        const auto r = std::to_chars(number, number + sizeof number, ids[std::size_t(i)]);
        text.append(number, r.ptr);
        text += ' ';
        escape(text, view(names[i]));
        text += '\n';
    }
    text += "ready\n";
    // The journal and its name in the folder are on disk before any file
    // is renamed.
    if (!write_all(fd, text) || ::fsync(fd) != 0 || ::fsync(holder) != 0) {
        ::unlinkat(holder, name.constData(), 0);
        ::close(fd);
        ::close(holder);
        j->fd_ = j->dirfd_ = -1;
        return nullptr;
    }
    return j;
}

RunJournal::~RunJournal()
{
    if (fd_ >= 0) {
        if (!pending_.empty())
            write_all(fd_, pending_);
        ::close(fd_);
    }
    if (dirfd_ >= 0)
        ::close(dirfd_);
}

bool RunJournal::append(const std::string &text, bool durable)
{
    pending_ += text;
    if (!durable)
        return true;
    const bool ok = write_all(fd_, pending_) && ::fdatasync(fd_) == 0;
    pending_.clear();
    return ok;
}

std::uint32_t RunJournal::add(int dirfd, const NameList &names, qsizetype from)
{
    const std::uint32_t first = records_;
    std::string text;
    for (qsizetype i = from; i < names.size(); ++i) {
        struct stat st {};
        ::fstatat(dirfd, names[i].data(), &st, AT_SYMLINK_NOFOLLOW);
        text += "add " + std::to_string(st.st_ino) + ' ';
        escape(text, view(names[i]));
        text += '\n';
        ++records_;
    }
    append(text, false);
    return first;
}

bool RunJournal::begin_pass(PassKind kind, std::int64_t counter_start,
                            const std::vector<std::uint32_t> &order)
{
    std::string text = "pass ";
    text += char(kind);
    text += ' ' + std::to_string(counter_start);
    add_ranges(text, order);
    text += '\n';
    return append(text, true);
}

void RunJournal::end_pass(qsizetype renamed)
{
    append("done " + std::to_string(renamed) + '\n', false);
}

void RunJournal::finish()
{
    if (fd_ < 0)
        return;
    ::unlinkat(dirfd_, path_.constData(), 0);
    ::close(fd_);
    fd_ = -1;
    pending_.clear();
    ::fsync(dirfd_);
}

QByteArray RunJournal::park_name(std::uint32_t record) const
{
    return stem_ + '-' + QByteArray::number(record) + ".tmp";
}

namespace {

struct Pass {
    char kind = 0;
    std::int64_t counter = 0;
    std::vector<std::uint32_t> order;
    qsizetype done = -1; // -1: the pass was cut short somewhere
};

struct Journal {
    qint64 started = 0;
    QByteArray folder;
    std::uint64_t folder_id = 0;
    QByteArray park;
    bool identity = false;
    QByteArray prefix;
    TargetCase target = TargetCase::Lower;
    bool turkic = false;
    bool ready = false;
    std::vector<QByteArray> names;
    std::vector<std::uint64_t> ids;
    std::vector<Pass> passes;
};

bool read_whole(int fd, std::string &out)
{
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        out.append(buffer, std::size_t(n));
    }
}

template <typename T> bool number_of(std::string_view text, T &out)
{
    const auto r = std::from_chars(text.data(), text.data() + text.size(), out);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

bool parse_ranges(std::string_view text, std::vector<std::uint32_t> &order)
{
    while (!text.empty()) {
        const std::size_t space = text.find(' ');
        const std::string_view item = text.substr(0, space);
        text = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
        if (item.empty())
            continue;
        const std::size_t dash = item.find('-');
        std::uint32_t from = 0, to = 0;
        if (!number_of(item.substr(0, dash), from))
            return false;
        to = from;
        if (dash != std::string_view::npos && !number_of(item.substr(dash + 1), to))
            return false;
        if (to < from || to - from > 100000000u)
            return false;
        for (std::uint64_t i = from; i <= to; ++i)
            order.push_back(std::uint32_t(i));
    }
    return true;
}

// Reads a journal; a line cut off by a crash ends it. False where the
// journal is not one of ours.
bool parse(const std::string &text, Journal &j)
{
    if (text.compare(0, magic.size(), magic) != 0)
        return false;
    std::size_t at = magic.size();
    std::size_t files = 0;
    bool in_files = false;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            break; // the last line never made it to the disk whole
        const std::string_view line(text.data() + at, end - at);
        at = end + 1;
        const std::size_t space = line.find(' ');
        const std::string_view key = line.substr(0, space);
        const std::string_view rest =
            space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
        if (in_files || key == "add") {
            const std::string_view record = key == "add" ? rest : line;
            const std::size_t gap = record.find(' ');
            std::uint64_t id = 0;
            QByteArray name;
            if (gap == std::string_view::npos || !number_of(record.substr(0, gap), id) ||
                !unescape(record.substr(gap + 1), name))
                return false;
            j.ids.push_back(id);
            j.names.push_back(name);
            if (in_files && j.names.size() == files)
                in_files = false;
        } else if (key == "started") {
            number_of(rest, j.started);
        } else if (key == "folder") {
            unescape(rest, j.folder);
        } else if (key == "folder-id") {
            number_of(rest, j.folder_id);
        } else if (key == "park") {
            j.park = QByteArray(rest.data(), qsizetype(rest.size()));
        } else if (key == "identity") {
            j.identity = rest == "1";
        } else if (key == "prefix") {
            unescape(rest, j.prefix);
        } else if (key == "case") {
            j.target = rest.substr(0, 5) == "upper" ? TargetCase::Upper : TargetCase::Lower;
            j.turkic = rest.find("turkic") != std::string_view::npos;
        } else if (key == "files") {
            if (!number_of(rest, files))
                return false;
            in_files = files > 0;
        } else if (key == "ready") {
            j.ready = true;
        } else if (key == "pass") {
            Pass pass;
            if (rest.size() < 2 || rest[1] != ' ')
                return false;
            pass.kind = rest[0];
            std::string_view tail = rest.substr(2);
            const std::size_t gap = tail.find(' ');
            if (!number_of(tail.substr(0, gap), pass.counter))
                return false;
            tail = gap == std::string_view::npos ? std::string_view() : tail.substr(gap + 1);
            if (!parse_ranges(tail, pass.order))
                return false;
            j.passes.push_back(std::move(pass));
        } else if (key == "done") {
            if (j.passes.empty() || !number_of(rest, j.passes.back().done))
                return false;
        }
    }
    return true;
}

// The journal files of a folder that exist, in the folder and in the state folder.
std::vector<QByteArray> journal_files(const QByteArray &folder)
{
    std::vector<QByteArray> out;
    struct stat st {};
    for (int i = 0; i < most_journals; ++i) {
        const QByteArray path = full_path(folder, journal_name(i));
        if (::lstat(path.constData(), &st) != 0)
            break;
        out.push_back(path);
    }
    const QByteArray state = state_folder();
    if (!state.isEmpty())
        for (int i = 0; i < most_journals; ++i) {
            const QByteArray path = state + '/' + state_journal_name(folder, i);
            if (::lstat(path.constData(), &st) != 0)
                break;
            out.push_back(path);
        }
    return out;
}

bool load(const QByteArray &path, Journal &j, int *locked_fd)
{
    const int fd = ::open(path.constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    // A run that is still going holds its journal locked.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    std::string text;
    const bool ok = read_whole(fd, text) && parse(text, j);
    if (!ok || !locked_fd)
        ::close(fd);
    else
        *locked_fd = fd;
    return ok;
}

std::string key(QByteArrayView b)
{
    return std::string(b.data(), std::size_t(b.size()));
}

QByteArray new_name(const Journal &j, const Pass &pass, std::size_t place, const QByteArray &name)
{
    switch (pass.kind) {
    case 't':
        return make_temp_name(pass.counter + std::int64_t(place) + 1, name);
    case 'n':
        return make_numbered_name(pass.counter + std::int64_t(place) + 1, j.prefix, name);
    default:
        return case_name(name, j.target, j.turkic);
    }
}

void remove_journal(const QByteArray &path)
{
    ::unlink(path.constData());
    const QByteArray folder = path.left(path.lastIndexOf('/'));
    const int dirfd =
        ::open(folder.isEmpty() ? "/" : folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirfd >= 0) {
        ::fsync(dirfd);
        ::close(dirfd);
    }
}

} // namespace

std::vector<InterruptedRun> find_interrupted_runs(const QByteArray &folder)
{
    std::vector<InterruptedRun> runs;
    struct stat folder_st {};
    if (::stat(folder.constData(), &folder_st) != 0)
        return runs;
    for (const QByteArray &path : journal_files(folder)) {
        Journal j;
        if (!load(path, j, nullptr))
            continue;
        // A journal in the state folder belongs to this folder only if it
        // names it; one in the folder goes with it wherever it is mounted.
        const bool in_folder = path.startsWith(full_path(folder, {}));
        if (!in_folder && (j.folder != folder || j.folder_id != folder_st.st_ino))
            continue;
        runs.push_back({path, j.started});
    }
    std::sort(runs.begin(), runs.end(), [](const InterruptedRun &a, const InterruptedRun &b) {
        return a.started > b.started;
    });
    return runs;
}

bool drop_interrupted_run(const InterruptedRun &run)
{
    remove_journal(run.journal);
    return true;
}

RestoreReport restore_interrupted_run(const QByteArray &folder_path, const InterruptedRun &run,
                                      const RenameProgress &progress)
{
    RestoreReport report;
    Journal j;
    int lock = -1;
    if (!load(run.journal, j, &lock))
        return report;
    const Folder folder(folder_path);
    if (!folder.is_open()) {
        ::close(lock);
        return report;
    }
    const std::size_t count = j.names.size();
    // A journal that never got ready was cut short before the first rename.
    if (!j.ready || count == 0) {
        remove_journal(run.journal);
        ::close(lock);
        report.finished = true;
        return report;
    }

    // What the folder holds now, name for name, as the folder spells them.
    std::unordered_set<std::string> on_disk;
    {
        DIR *dir = ::fdopendir(::openat(folder.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!dir) {
            ::close(lock);
            return report;
        }
        while (const dirent *d = ::readdir(dir))
            on_disk.insert(d->d_name);
        ::closedir(dir);
    }
    const auto exists = [&](const QByteArray &name) { return on_disk.count(key(name)) > 0; };

    // Follow every file through the passes the journal knows of: a pass
    // that ended tells how far it came. A pass goes through its files in
    // order and stops at a refused rename, so where one was cut short, the
    // last file it renamed is the last whose new name is on disk while its
    // old one is not (no later file can have taken that old name), and
    // every file before it was renamed too.
    std::vector<QByteArray> now(j.names);
    std::vector<QByteArray> or_else(count); // the name before the cut-short pass
    for (const Pass &pass : j.passes) {
        std::vector<QByteArray> next(pass.order.size());
        for (std::size_t place = 0; place < pass.order.size(); ++place)
            if (pass.order[place] < count)
                next[place] = new_name(j, pass, place, now[pass.order[place]]);
        qsizetype reached = pass.done;
        if (reached < 0) {
            reached = 0;
            for (std::size_t place = pass.order.size(); place-- > 0;) {
                const std::uint32_t r = pass.order[place];
                if (r < count && exists(next[place]) &&
                    (next[place] == now[r] || !exists(now[r]))) {
                    reached = qsizetype(place) + 1;
                    break;
                }
            }
        }
        for (std::size_t place = 0; place < std::size_t(reached) && place < pass.order.size();
             ++place) {
            const std::uint32_t r = pass.order[place];
            if (r >= count)
                continue;
            if (pass.done < 0)
                or_else[r] = now[r];
            now[r] = next[place];
        }
        if (pass.done < 0)
            break;
    }

    const auto park = [&](std::uint32_t r) {
        return j.park + '-' + QByteArray::number(r) + ".tmp";
    };
    const auto same_file = [&](const QByteArray &name, std::uint32_t r) {
        if (!j.identity)
            return true;
        struct stat st {};
        return ::fstatat(folder.fd(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
               st.st_ino == j.ids[r];
    };

    struct Todo {
        std::uint32_t record;
        QByteArray at;
    };
    std::vector<Todo> todo;
    std::unordered_map<std::string, std::uint32_t> held; // names our files stand on now
    for (std::uint32_t r = 0; r < count; ++r) {
        const QByteArray &original = j.names[r];
        QByteArray at;
        for (const QByteArray *candidate :
             std::initializer_list<const QByteArray *>{&now[r], &or_else[r], &original}) {
            if (!candidate->isEmpty() && exists(*candidate) && same_file(*candidate, r)) {
                at = *candidate;
                break;
            }
        }
        const QByteArray parked = park(r);
        if (exists(parked) && same_file(parked, r))
            at = parked;
        if (at.isEmpty()) {
            // Is the file under a name of the run at all, but not itself?
            if (exists(now[r]) && now[r] != original)
                report.replaced.emplace_back(now[r], original);
            else
                report.missing.push_back(original);
            continue;
        }
        if (at == original)
            continue;
        held.emplace(key(at), r);
        todo.push_back({r, at});
    }

    const qsizetype total = qsizetype(todo.size());
    // Back to the old names, none replaced. A file whose old name another
    // of ours still holds waits for it; where files wait for each other in
    // a ring, one steps aside onto its parking name.
    while (!todo.empty()) {
        bool moved = false;
        std::vector<Todo> waiting;
        for (Todo &t : todo) {
            const QByteArray &original = j.names[t.record];
            const QByteArray parked = park(t.record);
            const int e = rename_in_folder(folder.fd(), t.at, original, parked.constData());
            if (e == 0) {
                held.erase(key(t.at));
                ++report.restored;
                moved = true;
                if (progress && !progress(1, 1, report.restored, total)) {
                    ::close(lock); // the journal stays: the next restore goes on
                    return report;
                }
            } else if (e == EEXIST && held.count(key(original))) {
                waiting.push_back(std::move(t));
            } else if (e == EEXIST) {
                report.taken.emplace_back(t.at, original);
                held.erase(key(t.at));
            } else {
                report.missing.push_back(original);
                held.erase(key(t.at));
            }
        }
        if (!moved && !waiting.empty()) {
            auto it = std::find_if(waiting.begin(), waiting.end(),
                                   [&](const Todo &w) { return w.at != park(w.record); });
            if (it == waiting.end())
                it = waiting.begin();
            Todo &t = *it;
            const QByteArray parked = park(t.record);
            if (t.at == parked || rename_in_folder(folder.fd(), t.at, parked) != 0) {
                for (const Todo &w : waiting)
                    report.taken.emplace_back(w.at, j.names[w.record]);
                waiting.clear();
            } else {
                held.erase(key(t.at));
                held.emplace(key(parked), t.record);
                t.at = parked;
            }
        }
        todo = std::move(waiting);
    }
    ::fsync(folder.fd());
    remove_journal(run.journal);
    ::close(lock);
    report.finished = true;
    return report;
}

} // namespace talvence
