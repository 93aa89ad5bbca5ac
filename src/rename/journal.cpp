// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <new>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace talvence {

namespace {

// The journal's file lies in the folder itself, hidden, so that it travels
// with a stick that is pulled out halfway; where the folder cannot take it,
// in the user's state folder, named after the folder's path.
constexpr std::string_view in_folder_name = ".talvence-journal";
constexpr std::string_view magic = "talvence-journal 1\n";
constexpr std::size_t header_bytes = 64 * 1024;
constexpr qsizetype longest_name = 4096;

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

int hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool unescape(std::string_view text, QByteArray &out, qsizetype longest)
{
    // Most names are printable ASCII and stand as they are: one copy.
    if (text.find('%') == std::string_view::npos) {
        if (qsizetype(text.size()) > longest)
            return false;
        out.resize(qsizetype(text.size()));
        if (!text.empty())
            std::memcpy(out.data(), text.data(), text.size());
        return true;
    }
    // Three bytes of text at most make one byte of name: a longer text
    // cannot come within `longest`, and no more room is taken than that.
    if (qsizetype(text.size()) > 3 * longest)
        return false;
    out.resize(qsizetype(text.size())); // keeps what it had: no allocation per name
    char *const begin = out.data();
    char *to = begin;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            *to++ = text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return false;
        const int high = hex_digit(text[i + 1]), low = hex_digit(text[i + 2]);
        if (high < 0 || low < 0)
            return false;
        *to++ = char(high * 16 + low);
        i += 2;
    }
    if (to - begin > longest)
        return false;
    out.truncate(to - begin);
    return true;
}

std::string_view view(QByteArrayView b)
{
    return std::string_view(b.data(), std::size_t(b.size()));
}

bool write_all(int fd, std::string_view text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        done += std::size_t(n);
    }
    return true;
}

// The state folder's records of one folder start with this.
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

QByteArray undo_name(const QByteArray &folder, qint64 started)
{
    return state_stem(folder) + '-' + QByteArray::number(started) + ".undo";
}

// Opens a folder, made first with the folders above it where `create` says
// so; the state folder is the user's alone.
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
    for (int i = 0; i < journals_per_folder; ++i) {
        name = in_folder ? journal_name(i) : state_journal_name(folder, i);
        const int fd = ::openat(dirfd, name.constData(),
                                O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0) {
            ::flock(fd, LOCK_EX);
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    errno = EEXIST;
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

void sync_folder_of(const QByteArray &path)
{
    const QByteArray folder = path.left(path.lastIndexOf('/'));
    const int dirfd =
        ::open(folder.isEmpty() ? "/" : folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirfd >= 0) {
        ::fsync(dirfd);
        ::close(dirfd);
    }
}

// The names in a folder that start with `start` and end with `end`, plain
// names only.
std::vector<QByteArray> names_in(const QByteArray &folder, const QByteArray &start,
                                 QByteArrayView end)
{
    std::vector<QByteArray> out;
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return out;
    while (const dirent *d = ::readdir(dir)) {
        const QByteArrayView name(d->d_name);
        if (name.startsWith(start) && name.endsWith(end) && is_plain_name(name))
            out.push_back(name.toByteArray());
    }
    ::closedir(dir);
    return out;
}

// When an undo record's run began, from its name.
qint64 undo_started(QByteArrayView name)
{
    const qsizetype dash = name.lastIndexOf('-');
    qint64 started = 0;
    const QByteArrayView digits = name.sliced(dash + 1, name.size() - dash - 1 - 5);
    const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), started);
    return r.ec == std::errc() && r.ptr == digits.data() + digits.size() ? started : -1;
}

// Drops the oldest undo records beyond the bounds: per folder, in number and
// in bytes. Only names of our own form are looked at.
void prune_undo_records(const QByteArray &folder)
{
    const QByteArray state = state_folder();
    struct Kept {
        qint64 started;
        QByteArray name;
        bool this_folder;
        std::int64_t bytes;
    };
    std::vector<Kept> all;
    const QByteArray stem = state_stem(folder) + '-';
    for (const QByteArray &name : names_in(state, {}, ".undo")) {
        const qint64 started = undo_started(name);
        struct stat st {};
        if (started < 0 || ::lstat((state + '/' + name).constData(), &st) != 0)
            continue;
        all.push_back({started, name, name.startsWith(stem), std::int64_t(st.st_size)});
    }
    std::sort(all.begin(), all.end(),
              [](const Kept &a, const Kept &b) { return a.started > b.started; });
    int of_folder = 0, kept = 0;
    std::int64_t bytes = 0;
    for (const Kept &k : all) {
        const bool over = (k.this_folder && ++of_folder > undo_records_per_folder) ||
                          ++kept > undo_records_total || (bytes += k.bytes) > undo_bytes_total;
        if (over)
            ::unlink((state + '/' + k.name).constData());
    }
}

template <typename T> bool number_of(std::string_view text, T &out)
{
    const auto r = std::from_chars(text.data(), text.data() + text.size(), out);
    return !text.empty() && r.ec == std::errc() && r.ptr == text.data() + text.size();
}

// The records of a pass as ranges; each at most once, each one the record
// knows. So no range can make the order larger than the record.
bool parse_ranges(std::string_view text, std::size_t records, std::vector<std::uint32_t> &order)
{
    std::vector<bool> seen(records, false);
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
        if (to < from || to >= records || order.size() + (to - from) >= records)
            return false;
        for (std::uint64_t i = from; i <= to; ++i) {
            if (seen[std::size_t(i)])
                return false;
            seen[std::size_t(i)] = true;
            order.push_back(std::uint32_t(i));
        }
    }
    return true;
}

bool parse_file_line(std::string_view record, RunRecord &j, QByteArray &name)
{
    const std::size_t gap = record.find(' ');
    std::uint64_t id = 0;
    if (gap == std::string_view::npos || !number_of(record.substr(0, gap), id) ||
        std::size_t(j.names.size()) >= record_max_files)
        return false;
    // A name with nothing escaped goes into the list as it stands.
    const std::string_view escaped = record.substr(gap + 1);
    QByteArrayView plain(escaped.data(), qsizetype(escaped.size()));
    if (escaped.find('%') != std::string_view::npos) {
        if (!unescape(escaped, name, longest_name))
            return false;
        plain = name;
    }
    if (plain.size() > longest_name || !is_plain_name(plain))
        return false;
    j.ids.push_back(id);
    j.names.append(plain);
    return true;
}

bool parse_lines(std::string_view text, RunRecord &j, ParseDepth depth)
{
    if (text.substr(0, magic.size()) != magic)
        return false;
    std::size_t at = magic.size();
    std::size_t files = 0;
    bool in_files = false, have_files = false;
    QByteArray name; // each file's name, unescaped, before it joins the list
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            break; // the last line never made it to the disk whole
        const std::string_view line = text.substr(at, end - at);
        at = end + 1;
        if (in_files) {
            if (!parse_file_line(line, j, name))
                return false;
            in_files = std::size_t(j.names.size()) < files;
            continue;
        }
        const std::size_t space = line.find(' ');
        const std::string_view key = line.substr(0, space);
        const std::string_view rest =
            space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
        if (key == "add") {
            if (!j.ready || !parse_file_line(rest, j, name))
                return false;
        } else if (key == "started") {
            if (!number_of(rest, j.started))
                return false;
        } else if (key == "folder") {
            if (!unescape(rest, j.folder, longest_name))
                return false;
        } else if (key == "folder-id") {
            if (!number_of(rest, j.folder_id))
                return false;
        } else if (key == "park") {
            j.park = QByteArray(rest.data(), qsizetype(rest.size()));
            if (!is_park_stem(j.park))
                return false;
        } else if (key == "identity") {
            j.identity = rest == "1";
        } else if (key == "run") {
            j.run = rest == "c" ? PassKind::Case : PassKind::Numbering;
        } else if (key == "prefix") {
            if (!unescape(rest, j.prefix, 1024))
                return false;
        } else if (key == "case") {
            j.target = rest.substr(0, 5) == "upper" ? TargetCase::Upper : TargetCase::Lower;
            j.turkic = rest.find("turkic") != std::string_view::npos;
        } else if (key == "files") {
            if (have_files || !number_of(rest, files) || files > record_max_files)
                return false;
            have_files = true;
            j.files = files;
            if (depth == ParseDepth::Header)
                return true;
            const std::size_t likely = std::min<std::size_t>(files, (text.size() - at) / 3 + 1);
            j.names.reserve(qsizetype(likely),
                            qsizetype(std::min(text.size() - at, std::size_t(1) << 26)));
            j.ids.reserve(likely);
            in_files = files > 0;
        } else if (key == "ready") {
            // The parking names are the record's own, or it cannot be followed.
            if (!have_files || j.park.isEmpty())
                return false;
            j.ready = true;
        } else if (key == "pass") {
            RecordPass pass;
            if (!j.ready || j.passes.size() >= record_max_passes || rest.size() < 2 ||
                rest[1] != ' ')
                return false;
            switch (rest[0]) {
            case 't':
                pass.rule.kind = PassKind::Parking;
                break;
            case 'n':
                pass.rule.kind = PassKind::Numbering;
                break;
            case 'c':
                pass.rule.kind = PassKind::Case;
                break;
            default:
                return false;
            }
            std::string_view tail = rest.substr(2);
            const std::size_t gap = tail.find(' ');
            if (!number_of(tail.substr(0, gap), pass.rule.counter_start) ||
                pass.rule.counter_start < 0 || pass.rule.counter_start > (std::int64_t(1) << 40))
                return false;
            tail = gap == std::string_view::npos ? std::string_view() : tail.substr(gap + 1);
            if (!parse_ranges(tail, std::size_t(j.names.size()), pass.order))
                return false;
            pass.rule.prefix = j.prefix;
            pass.rule.target = j.target;
            pass.rule.turkic = j.turkic;
            j.passes.push_back(std::move(pass));
        } else if (key == "done") {
            if (j.passes.empty() || !number_of(rest, j.passes.back().done) ||
                j.passes.back().done < 0 ||
                std::size_t(j.passes.back().done) > j.passes.back().order.size())
                return false;
        } else if (key == "end") {
            j.ended = true;
        } else if (key == "undo") {
            j.undoing = true;
        }
    }
    // A header must reach its "files" line; a whole record may end anywhere
    // after its first line: cut before "ready", it is dropped unused.
    return depth == ParseDepth::Whole;
}

} // namespace

qsizetype RunRecord::renamed() const
{
    qsizetype most = 0;
    for (const RecordPass &p : passes)
        most = std::max(most, p.done >= 0 ? p.done : qsizetype(p.order.size()));
    return most;
}

std::optional<RunRecord> parse_record(std::string_view text, ParseDepth depth)
{
    if (text.size() > std::size_t(record_max_bytes))
        return std::nullopt;
    try {
        RunRecord record;
        if (parse_lines(text, record, depth))
            return record;
    } catch (const std::bad_alloc &) {
    }
    return std::nullopt;
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

RecordRead read_record(const QByteArray &path, ParseDepth depth, RunRecord &out, int *lock)
{
    out = RunRecord();
    if (lock)
        *lock = -1;
    // A FIFO or a device under a journal's name must not hold the window:
    // opened without waiting, and only a regular file is read.
    constexpr int flags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
    int fd = ::open(path.constData(), O_RDWR | flags);
    if (fd < 0 && (errno == EROFS || errno == EACCES || errno == EPERM))
        fd = ::open(path.constData(), O_RDONLY | flags);
    if (fd < 0)
        return errno == ENOENT ? RecordRead::Absent : RecordRead::Damaged;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > record_max_bytes) {
        ::close(fd);
        return RecordRead::Damaged;
    }
    // A run that is still going holds its journal locked.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return RecordRead::Locked;
    }
    // A record that the look at its head reads whole anyway is parsed whole:
    // a damaged one is then known before anyone is asked about it. A larger
    // one is parsed once, by the restore that follows it; parsed here too,
    // it would cost every opening of its folder as much as that parse.
    if (depth == ParseDepth::Header && st.st_size <= off_t(header_bytes))
        depth = ParseDepth::Whole;
    RecordRead result = RecordRead::Damaged;
    try {
        const std::size_t wanted = depth == ParseDepth::Header
                                       ? std::min(std::size_t(st.st_size), header_bytes)
                                       : std::size_t(st.st_size);
        std::string text(wanted, '\0');
        std::size_t got = 0;
        while (got < wanted) {
            const ssize_t n = ::pread(fd, text.data() + got, wanted - got, off_t(got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += std::size_t(n);
        }
        text.resize(got);
        if (std::optional<RunRecord> parsed = parse_record(text, depth)) {
            out = std::move(*parsed);
            result = RecordRead::Ok;
            if (depth == ParseDepth::Header) {
                // The lines that mark the end of a run and of its undo stand
                // last; a look at the tail is enough.
                char tail[16] = {};
                const off_t from = std::max<off_t>(0, st.st_size - off_t(sizeof tail));
                const ssize_t n = ::pread(fd, tail, sizeof tail, from);
                const std::string_view t(tail, std::size_t(std::max<ssize_t>(n, 0)));
                out.undoing = t.ends_with("\nundo\n");
                out.ended = out.undoing || t.ends_with("\nend\n");
            }
        }
    } catch (const std::bad_alloc &) {
        result = RecordRead::Damaged;
    }
    if (result == RecordRead::Ok && lock)
        *lock = fd;
    else
        ::close(fd);
    return result;
}

bool mark_undo_begun(int lock)
{
    return lock >= 0 && ::lseek(lock, 0, SEEK_END) >= 0 && write_all(lock, "undo\n") &&
           ::fdatasync(lock) == 0;
}

void remove_record(const QByteArray &path)
{
    if (::unlink(path.constData()) == 0)
        sync_folder_of(path);
}

std::vector<QByteArray> journal_paths(const QByteArray &folder)
{
    std::vector<QByteArray> out;
    // Every number is looked at: one kept journal among gaps is found too.
    struct stat st {};
    for (int i = 0; i < journals_per_folder; ++i) {
        const QByteArray path = full_path(folder, journal_name(i));
        if (::lstat(path.constData(), &st) == 0)
            out.push_back(path);
    }
    const QByteArray state = state_folder();
    if (!state.isEmpty())
        for (const QByteArray &name : names_in(state, state_stem(folder), ".journal"))
            out.push_back(state + '/' + name);
    return out;
}

std::vector<QByteArray> undo_paths(const QByteArray &folder)
{
    std::vector<QByteArray> out;
    const QByteArray state = state_folder();
    if (state.isEmpty())
        return out;
    for (const QByteArray &name : names_in(state, state_stem(folder) + '-', ".undo"))
        if (undo_started(name) >= 0)
            out.push_back(state + '/' + name);
    return out;
}

bool record_belongs(const QByteArray &path, const RunRecord &record, const QByteArray &folder)
{
    if (path.startsWith(full_path(folder, {})) && path.indexOf('/', folder.size() + 1) < 0)
        return true;
    struct stat st {};
    return ::stat(folder.constData(), &st) == 0 && record.folder == folder &&
           record.folder_id == std::uint64_t(st.st_ino);
}

std::unique_ptr<RunJournal> RunJournal::begin(int dirfd, const QByteArray &folder, const Run &run,
                                              const NameList &names, const FileIds &ids, int *error)
{
    std::unique_ptr<RunJournal> j(new RunJournal);
    j->started_ = now_ns();
    j->stem_ = park_stem(::getpid(), j->started_ / 1000000);
    j->records_ = std::uint32_t(names.size());
    j->folder_ = folder;

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
    text += "started " + std::to_string(j->started_) + '\n';
    text += "folder ";
    escape(text, view(folder));
    text += "\nfolder-id " + std::to_string(folder_st.st_ino) + '\n';
    text += "park ";
    text += view(j->stem_);
    text += "\nidentity ";
    text += identity ? "1\n" : "0\n";
    text += run.kind == PassKind::Case ? "run c\n" : "run n\n";
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

    // In the folder where it is the user's own and takes the journal whole;
    // else in the state folder. The journal and its name are on disk before
    // any file is renamed.
    int last_error = 0;
    for (const bool in_folder : {true, false}) {
        int holder = -1;
        if (in_folder) {
            if (folder_st.st_uid != ::geteuid()) {
                last_error = EACCES;
                continue;
            }
            holder = ::dup(dirfd);
        } else {
            const QByteArray state = state_folder();
            holder = state.isEmpty() ? -1 : open_folder(state, true);
        }
        QByteArray name;
        const int fd = holder >= 0 ? create_journal(holder, folder, in_folder, name) : -1;
        if (fd < 0) {
            last_error = errno;
            if (holder >= 0)
                ::close(holder);
            continue;
        }
        if (!write_all(fd, text) || ::fsync(fd) != 0 || ::fsync(holder) != 0) {
            last_error = errno;
            ::unlinkat(holder, name.constData(), 0);
            ::close(fd);
            ::close(holder);
            continue;
        }
        j->fd_ = fd;
        j->dirfd_ = holder;
        j->name_ = name;
        j->in_state_ = !in_folder;
        return j;
    }
    if (error)
        *error = last_error ? last_error : EIO;
    return nullptr;
}

RunJournal::~RunJournal()
{
    if (fd_ >= 0 && !pending_.empty())
        write_all(fd_, pending_);
    close_all();
}

void RunJournal::close_all()
{
    if (fd_ >= 0)
        ::close(fd_);
    if (dirfd_ >= 0)
        ::close(dirfd_);
    fd_ = dirfd_ = -1;
    pending_.clear();
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

bool RunJournal::finish(bool renamed, bool all_done)
{
    if (fd_ < 0)
        return false;
    // Nothing renamed: nothing to take back.
    if (!renamed) {
        ::unlinkat(dirfd_, name_.constData(), 0);
        ::fsync(dirfd_);
        close_all();
        return false;
    }
    if (!append("end\n", true)) {
        // A record that cannot say how far the run came stays a journal.
        close_all();
        return false;
    }
    const QByteArray undo = undo_name(folder_, started_);
    bool kept = false;
    if (in_state_) {
        kept = ::renameat(dirfd_, name_.constData(), dirfd_, undo.constData()) == 0 &&
               ::fsync(dirfd_) == 0;
    } else {
        const QByteArray state = state_folder();
        const int state_fd = state.isEmpty() ? -1 : open_folder(state, true);
        const int out = state_fd < 0 ? -1
                                     : ::openat(state_fd, undo.constData(),
                                                O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (out >= 0) {
            kept = true;
            off_t from = 0;
            char buffer[65536];
            for (;;) {
                const ssize_t n = ::pread(fd_, buffer, sizeof buffer, from);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0) {
                    kept = false;
                    break;
                }
                if (n == 0)
                    break;
                if (!write_all(out, std::string_view(buffer, std::size_t(n)))) {
                    kept = false;
                    break;
                }
                from += n;
            }
            kept = ::fsync(out) == 0 && kept;
            ::close(out);
            kept = kept && ::fsync(state_fd) == 0;
            if (!kept)
                ::unlinkat(state_fd, undo.constData(), 0);
        }
        if (state_fd >= 0)
            ::close(state_fd);
        // The journal in the folder goes once the undo record is on disk;
        // where there is none, a run that left files on the way keeps it,
        // and the next opening of the folder offers the names back.
        if (kept || all_done) {
            ::unlinkat(dirfd_, name_.constData(), 0);
            ::fsync(dirfd_);
        }
    }
    close_all();
    if (kept)
        prune_undo_records(folder_);
    return kept;
}

QByteArray RunJournal::park_name(std::uint32_t record) const
{
    return talvence::park_name(stem_, record);
}

} // namespace talvence
