// SPDX-License-Identifier: GPL-3.0-or-later
#include "folder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <new>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

#include <QAtomicInteger>

#include "names.h"
#include "naturalorder.h"
#include "passnames.h"

namespace talvence {

// Once for each name of every rename.
bool is_plain_name(QByteArrayView n)
{
    const auto size = std::size_t(n.size());
    const char *const p = n.data();
    if (size == 0 || (p[0] == '.' && (size == 1 || (size == 2 && p[1] == '.'))))
        return false;
    return !std::memchr(p, '/', size) && !std::memchr(p, '\0', size);
}

namespace {

bool refused(int e)
{
    return e == EINVAL || e == ENOSYS || e == EOPNOTSUPP || e == EPERM;
}

// One rename that never replaces, down the chain of what file systems offer:
// renameat2 with RENAME_NOREPLACE; where that flag is unknown, a hard link
// and removal of the old name; where hard links are refused too (FAT), a look
// that the name is free, then a plain rename.
int rename_once(int dirfd, const char *from, const char *to)
{
    if (::renameat2(dirfd, from, dirfd, to, RENAME_NOREPLACE) == 0)
        return 0;
    int e = errno;
    if (e != EINVAL && e != ENOSYS && e != EOPNOTSUPP)
        return e;

    if (::linkat(dirfd, from, dirfd, to, 0) == 0) {
        if (::unlinkat(dirfd, from, 0) == 0)
            return 0;
        e = errno;
        ::unlinkat(dirfd, to, 0); // the file keeps its old name alone
        return e;
    }
    e = errno;
    if (!refused(e))
        return e;

    struct stat st;
    if (::fstatat(dirfd, to, &st, AT_SYMLINK_NOFOLLOW) == 0)
        return EEXIST;
    if (errno != ENOENT)
        return errno;
    return ::renameat(dirfd, from, dirfd, to) == 0 ? 0 : errno;
}

QAtomicInteger<unsigned> parking_counter;

// A change of case on a file system that ignores case: the new name "exists"
// because it is the file itself. Park the file on a free name first; if the
// new name is still taken then, another file holds it, and the file goes back.
int rename_case_only(int dirfd, const char *from, const char *to, const char *park)
{
    QByteArray parked;
    int e = EEXIST;
    if (park) {
        parked = park;
        e = rename_once(dirfd, from, park);
    }
    for (int attempt = 0; attempt < 100 && e == EEXIST; ++attempt) {
        parked = "talvence-" + QByteArray::number(::getpid()) + '-' +
                 QByteArray::number(parking_counter.fetchAndAddRelaxed(1)) + ".tmp";
        e = rename_once(dirfd, from, parked.constData());
    }
    if (e != 0)
        return e;
    e = rename_once(dirfd, parked.constData(), to);
    if (e != 0)
        rename_once(dirfd, parked.constData(), from);
    return e;
}

// A visible entry of the wanted kind; a link counts by what it ends at.
bool is_visible_kind(int dirfd, const dirent *d, unsigned char kind, mode_t st_kind)
{
    if (d->d_name[0] == '.')
        return false;
    if (d->d_type == kind)
        return true;
    if (d->d_type != DT_LNK && d->d_type != DT_UNKNOWN)
        return false;
    struct stat st;
    return ::fstatat(dirfd, d->d_name, &st, 0) == 0 && (st.st_mode & S_IFMT) == st_kind;
}

bool is_ordinary(int dirfd, const dirent *d)
{
    return is_visible_kind(dirfd, d, DT_REG, S_IFREG);
}

bool is_visible_folder(int dirfd, const dirent *d)
{
    return is_visible_kind(dirfd, d, DT_DIR, S_IFDIR);
}

// Calls `visit` for every entry of the folder. Returns 0, or the errno
// value of why it cannot be read.
template <typename Visit> int read_folder(int dirfd, Visit visit)
{
    // A descriptor of our own: closedir closes it, the caller's stays open.
    const int own = ::openat(dirfd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (own < 0)
        return errno;
    // Closed also when `visit` throws (a list that runs out of memory).
    const std::unique_ptr<DIR, int (*)(DIR *)> dir(::fdopendir(own), ::closedir);
    if (!dir) {
        const int e = errno;
        ::close(own);
        return e;
    }
    errno = 0;
    while (const dirent *d = ::readdir(dir.get())) {
        visit(d);
        errno = 0;
    }
    return errno;
}

// A listing that runs out of memory is a listing that failed: the window
// above it carries on with what it showed.
template <typename List> auto listed_or_enomem(List list) -> decltype(list())
{
    try {
        return list();
    } catch (const std::bad_alloc &) {
        return decltype(list())::failure(ENOMEM);
    }
}

QByteArrayView name_of(const dirent *d)
{
    return QByteArrayView(d->d_name, qsizetype(std::strlen(d->d_name)));
}

// `ids` holds the inode numbers of the list's names in the order they were
// appended; afterwards it holds them in the order the list stands in.
void put_ids_in_list_order(const NameList &list, FileIds &ids)
{
    std::vector<std::pair<std::size_t, std::uint32_t>> by_offset(std::size_t(list.size()));
    for (qsizetype i = 0; i < list.size(); ++i)
        by_offset[std::size_t(i)] = {list.offset(i), std::uint32_t(i)};
    std::sort(by_offset.begin(), by_offset.end());
    FileIds ordered(ids.size());
    for (std::size_t appended = 0; appended < by_offset.size(); ++appended)
        ordered[by_offset[appended].second] = ids[appended];
    ids = std::move(ordered);
}

template <typename Keep> Result<NameList> list_entries(int dirfd, Keep keep, FileIds *ids = nullptr)
{
    NameList entries;
    if (ids)
        ids->clear();
    if (const int e = read_folder(dirfd, [&](const dirent *d) {
            if (keep(dirfd, d)) {
                entries.append(name_of(d));
                if (ids)
                    ids->push_back(d->d_ino);
            }
        }))
        return Result<NameList>::failure(e);
    NaturalOrder().sort(entries);
    if (ids)
        put_ids_in_list_order(entries, *ids);
    return entries;
}

// A file or a link by the entry itself, not by what a link points at.
bool is_file_or_link(int dirfd, const dirent *d)
{
    if (d->d_type == DT_REG || d->d_type == DT_LNK)
        return true;
    if (d->d_type != DT_UNKNOWN)
        return false;
    struct stat st;
    return ::fstatat(dirfd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode));
}

} // namespace

Folder::Folder(const QByteArray &path)
{
    if (path.isEmpty() || path.contains('\0')) {
        error_ = ENOENT;
        return;
    }
    fd_ = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0)
        error_ = errno;
}

Folder::~Folder()
{
    if (fd_ >= 0)
        ::close(fd_);
}

QByteArray full_path(const QByteArray &folder, const QByteArray &name)
{
    return folder + '/' + name;
}

Result<NameList> list_ordinary_files(int dirfd)
{
    return listed_or_enomem([&] { return list_entries(dirfd, is_ordinary); });
}

Result<NameList> list_ordinary_files(const QByteArray &folder)
{
    Folder f(folder);
    if (!f.is_open())
        return Result<NameList>::failure(f.error());
    return list_ordinary_files(f.fd());
}

namespace {

// One read of the folder against names believed to be in it: those of
// `known` still there (as `counts` has it), in the order of `known`, and
// apart from them every other ordinary file as the folder hands it out.
//
// Many file systems list a folder in the order its names came, or in the
// reverse of it, which after a pass is the order the pass gave them or its
// reverse. So each name the folder hands out is first held against the one
// expected next, and looked up in a table (made on first need) only when it
// is not that one.
//
// Where `known` is only a hint, a folder that hands out its names in some
// other order (by hash, as ext4 does) would make every name a look-up in a
// table of them all, which costs more than sorting. So the table is made
// only once the folder has been seen to follow the hint; until then, and
// for good where it does not, a name out of turn joins the rest, and the
// caller's sort puts it in its place.
struct Reading {
    NameList known;            // in the order of `known`
    NameList rest;             // as the folder handed them out
    std::vector<bool> present; // which of `known` are there
};

template <typename Counts>
Result<Reading> read_against(int dirfd, const NameList &known, Counts counts,
                             bool only_a_hint = false)
{
    const auto count = std::size_t(known.size());
    const auto view = [&](std::size_t i) {
        const QByteArrayView name = known[qsizetype(i)];
        return std::string_view(name.data(), std::size_t(name.size()));
    };
    std::unordered_map<std::string_view, std::size_t> place;
    std::size_t next = 0; // past either end when nothing is expected
    bool backwards = false;
    std::size_t expected = 0, unexpected = 0;
    const auto find_known = [&](std::string_view name) {
        std::size_t at = count;
        if (next < count && view(next) == name) {
            at = next;
            ++expected;
        } else if (next == 0 && view(count - 1) == name) {
            at = count - 1; // the first name handed out is the last given
            backwards = true;
            ++expected;
        } else {
            if (only_a_hint && (++unexpected > expected || expected < 64))
                return at;
            if (place.empty()) {
                place.reserve(count);
                for (std::size_t i = 0; i < count; ++i)
                    place.emplace(view(i), i);
            }
            const auto it = place.find(name);
            if (it == place.end())
                return at;
            at = it->second;
        }
        next = backwards ? at - 1 : at + 1;
        return at;
    };
    std::vector<bool> present(count, false);
    Reading reading;
    if (const int e = read_folder(dirfd, [&](const dirent *d) {
            if (d->d_name[0] == '.')
                return;
            const QByteArrayView name = name_of(d);
            const std::size_t at =
                find_known(std::string_view(name.data(), std::size_t(name.size())));
            if (at < count && counts(dirfd, d))
                present[at] = true;
            else if (is_ordinary(dirfd, d))
                reading.rest.append(name);
        }))
        return Result<Reading>::failure(e);
    // Mostly every name is still there: then the list is the same, copied
    // in two blocks.
    if (std::find(present.begin(), present.end(), false) == present.end()) {
        reading.known = known;
    } else {
        reading.known.reserve(known.size(), known.name_bytes());
        for (std::size_t i = 0; i < count; ++i)
            if (present[i])
                reading.known.append(known[qsizetype(i)]);
    }
    reading.present = std::move(present);
    return reading;
}

} // namespace

Result<NameList> list_ordinary_files(int dirfd, const NameList &likely)
{
    if (likely.empty())
        return list_ordinary_files(dirfd);
    return listed_or_enomem([&] {
        auto reading = read_against(dirfd, likely, is_ordinary, true);
        if (!reading)
            return Result<NameList>::failure(reading.error());
        // Where the folder holds just the likely names, their order needs
        // only a check; otherwise the sort puts every name in its place.
        reading->known.append(reading->rest);
        NaturalOrder().sort(reading->known);
        return Result<NameList>(std::move(reading->known));
    });
}

namespace {

Result<NameList> list_again(int dirfd, const NameList &listed, FileIds *ids)
{
    if (ids)
        ids->clear();
    NameList::AppendOrder expected(listed);
    qsizetype same = 0; // names that came as before
    bool changed = false;
    NameList entries; // the folder as it is, once it is seen to differ
    const auto take_the_same = [&] {
        entries.reserve(listed.size(), listed.name_bytes());
        NameList::AppendOrder again(listed);
        for (qsizetype i = 0; i < same; ++i)
            entries.append(again.next());
    };
    if (const int e = read_folder(dirfd, [&](const dirent *d) {
            if (!is_ordinary(dirfd, d))
                return;
            if (ids)
                ids->push_back(d->d_ino);
            const QByteArrayView name = name_of(d);
            if (!changed) {
                if (expected.next() == name) {
                    ++same;
                    return;
                }
                changed = true;
                take_the_same();
            }
            entries.append(name);
        }))
        return Result<NameList>::failure(e);
    if (!changed && same == listed.size() && expected.done()) {
        if (ids)
            put_ids_in_list_order(listed, *ids);
        return listed;
    }
    if (!changed)
        take_the_same(); // names have gone from the end
    NaturalOrder().sort(entries);
    if (ids)
        put_ids_in_list_order(entries, *ids);
    return entries;
}

} // namespace

Result<NameList> list_ordinary_files_again(int dirfd, const NameList &listed)
{
    return listed_or_enomem([&] { return list_again(dirfd, listed, nullptr); });
}

Result<IdentifiedFiles> list_identified_files(int dirfd, const NameList *listed)
{
    return listed_or_enomem([&] {
        IdentifiedFiles files;
        Result<NameList> names = listed ? list_again(dirfd, *listed, &files.ids)
                                        : list_entries(dirfd, is_ordinary, &files.ids);
        if (!names)
            return Result<IdentifiedFiles>::failure(names.error());
        files.names = std::move(*names);
        return Result<IdentifiedFiles>(std::move(files));
    });
}

Result<PassSnapshot> list_pass(int dirfd, const NameList &ours)
{
    return listed_or_enomem([&] {
        PassSnapshot snapshot;
        if (ours.empty()) {
            Result<NameList> names = list_entries(dirfd, is_ordinary);
            if (!names)
                return Result<PassSnapshot>::failure(names.error());
            snapshot.names = std::move(*names);
            return Result<PassSnapshot>(std::move(snapshot));
        }
        // A name of ours counts while its entry is there, also a link whose
        // target this run has just parked.
        auto reading = read_against(dirfd, ours, is_file_or_link);
        if (!reading)
            return Result<PassSnapshot>::failure(reading.error());
        snapshot.ours_taken = reading->known.size();
        for (std::size_t i = 0; i < reading->present.size(); ++i)
            if (reading->present[i])
                snapshot.kept.push_back(std::uint32_t(i));
        NaturalOrder().sort(reading->rest);
        reading->known.append(reading->rest);
        snapshot.names = std::move(reading->known);
        return Result<PassSnapshot>(std::move(snapshot));
    });
}

Result<NameList> list_subfolders(const QByteArray &folder)
{
    Folder f(folder);
    if (!f.is_open())
        return Result<NameList>::failure(f.error());
    return listed_or_enomem([&] { return list_entries(f.fd(), is_visible_folder); });
}

Result<FolderListing> list_folder(const QByteArray &folder)
{
    Folder f(folder);
    if (!f.is_open())
        return Result<FolderListing>::failure(f.error());
    return listed_or_enomem([&] {
        FolderListing listing;
        if (const int e = read_folder(f.fd(), [&](const dirent *d) {
                if (is_ordinary(f.fd(), d))
                    listing.files.append(name_of(d));
                else if (is_visible_folder(f.fd(), d))
                    listing.subfolders.append(name_of(d));
            }))
            return Result<FolderListing>::failure(e);
        NaturalOrder order;
        order.sort(listing.files);
        order.sort(listing.subfolders);
        return Result<FolderListing>(std::move(listing));
    });
}

int rename_in_folder(int dirfd, QByteArrayView from_name, QByteArrayView to_name, const char *park)
{
    if (!is_plain_name(from_name) || !is_plain_name(to_name) ||
        (park && !is_plain_name(QByteArrayView(park))))
        return EINVAL;
    const char *const from = from_name.data();
    const char *const to = to_name.data();
    if (from_name == to_name) {
        struct stat st;
        return ::fstatat(dirfd, from, &st, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
    }
    const int e = rename_once(dirfd, from, to);
    if (e == EEXIST && same_but_case(from_name.toByteArray(), to_name.toByteArray()))
        return rename_case_only(dirfd, from, to, park);
    return e;
}

int rename_plain_in_folder(int dirfd, const char *from, const char *to, QByteArrayView park_stem,
                           std::uint32_t record)
{
    Q_ASSERT(is_plain_name(QByteArrayView(from)) && is_plain_name(QByteArrayView(to)));
    const int e = rename_once(dirfd, from, to);
    if (e != EEXIST || !same_but_case(QByteArray(from), QByteArray(to)))
        return e;
    return rename_case_only(dirfd, from, to, park_name(park_stem, record).constData());
}

} // namespace talvence
