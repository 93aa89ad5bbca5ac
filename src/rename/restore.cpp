// SPDX-License-Identifier: GPL-3.0-or-later
#include "restore.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <string>
#include <string_view>
#include <unistd.h>
#include <unordered_map>

#include "passnames.h"

namespace talvence {

namespace {

template <typename T> void append(std::vector<T> &to, const std::vector<T> &from)
{
    to.insert(to.end(), from.begin(), from.end());
}

QByteArrayView bytes(std::string_view s)
{
    return QByteArrayView(s.data(), qsizetype(s.size()));
}

std::string_view text(QByteArrayView b)
{
    return std::string_view(b.data(), std::size_t(b.size()));
}

constexpr std::uint32_t none = std::numeric_limits<std::uint32_t>::max();

// The folder as one read found it: every entry's name and the inode number
// it hands out, in the folder's own order, the names in one block (each
// followed by a NUL, as a rename takes it) and found by a look-up.
class Entries {
public:
    // 0, or the error that ended the reading early: then files would look
    // missing, so nothing may be done.
    int read(int dirfd)
    {
        const int own = ::openat(dirfd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (own < 0)
            return errno;
        DIR *dir = ::fdopendir(own);
        if (!dir) {
            const int e = errno;
            ::close(own);
            return e;
        }
        errno = 0;
        while (const dirent *d = ::readdir(dir)) {
            const std::string_view name(d->d_name);
            if (name != "." && name != "..") {
                start_.push_back(bytes_.size());
                bytes_.append(name);
                bytes_ += '\0';
                ino_.push_back(std::uint64_t(d->d_ino));
            }
            errno = 0;
        }
        const int e = errno;
        ::closedir(dir);
        start_.push_back(bytes_.size());
        index_.reserve(ino_.size());
        for (std::uint32_t i = 0; i < ino_.size(); ++i)
            index_.emplace(name(i), i);
        return e;
    }
    std::uint32_t size() const { return std::uint32_t(ino_.size()); }
    std::string_view name(std::uint32_t e) const
    {
        return std::string_view(bytes_.data() + start_[e], start_[e + 1] - start_[e] - 1);
    }
    std::uint64_t ino(std::uint32_t e) const { return ino_[e]; }
    // The entry of that name, or none.
    std::uint32_t find(std::string_view name) const
    {
        const auto it = index_.find(name);
        return it == index_.end() ? none : it->second;
    }

private:
    std::string bytes_;
    std::vector<std::size_t> start_;
    std::vector<std::uint64_t> ino_;
    std::unordered_map<std::string_view, std::uint32_t> index_;
};

} // namespace

void RestoreReport::merge(const RestoreReport &other)
{
    restored += other.restored;
    append(taken, other.taken);
    append(replaced, other.replaced);
    append(renamed, other.renamed);
    append(missing, other.missing);
    append(failed, other.failed);
    if (!folder_error)
        folder_error = other.folder_error;
    unplaced = unplaced || other.unplaced;
    locked = locked || other.locked;
    damaged = damaged || other.damaged;
    stopped = stopped || other.stopped;
}

RestoreReport restore_record(const QByteArray &folder_path, const RunRecord &j, bool identity,
                             RestoreKind kind, const RenameProgress &progress)
{
    RestoreReport report;
    const std::size_t count = j.names.size();
    // A journal that never got ready was cut short before the first rename.
    if (!j.ready || count == 0) {
        report.finished = true;
        return report;
    }
    const Folder folder(folder_path);
    if (!folder.is_open()) {
        report.folder_error = errno ? errno : ENOENT;
        return report;
    }
    // What the folder holds now, name for name, as the folder spells them.
    // A reading that ends early would make files look missing: then
    // nothing is done and the record stays.
    Entries on_disk;
    if (const int e = on_disk.read(folder.fd())) {
        report.folder_error = e;
        return report;
    }
    const auto exists = [&](std::string_view name) { return on_disk.find(name) != none; };
    // The entry that holds the record's file under that name, or none.
    const auto entry_of = [&](std::string_view name, std::uint32_t r) {
        const std::uint32_t e = on_disk.find(name);
        return e != none && (!identity || on_disk.ino(e) == j.ids[r]) ? e : none;
    };

    // Follow every file through the passes the record knows of: a pass
    // that ended tells how far it came. A pass goes through its files in
    // order and stops at a refused rename, so where one was cut short, the
    // last file it renamed is the last whose new name is on disk while its
    // old one is not (no later file can have taken that old name), and
    // every file before it was renamed too.
    std::vector<std::string> now(count);
    std::vector<std::string> or_else(count); // the name before the cut-short pass
    for (std::size_t r = 0; r < count; ++r)
        now[r] = text(j.names[r]);
    std::string next;
    for (const RecordPass &pass : j.passes) {
        qsizetype reached = pass.done;
        if (reached < 0) {
            reached = 0;
            for (std::size_t place = pass.order.size(); place-- > 0;) {
                const std::uint32_t r = pass.order[place];
                pass_new_name(pass.rule, place, bytes(now[r]), next);
                if (exists(next) && (next == now[r] || !exists(now[r]))) {
                    reached = qsizetype(place) + 1;
                    break;
                }
            }
        }
        for (std::size_t place = 0; place < std::size_t(reached); ++place) {
            const std::uint32_t r = pass.order[place];
            pass_new_name(pass.rule, place, bytes(now[r]), next);
            if (pass.done < 0)
                or_else[r] = now[r];
            now[r].swap(next);
        }
        if (pass.done < 0)
            break;
    }

    // Where each file is: under a name the record computes, else (where
    // identities hold) wherever its identity is. `record_at` learns the
    // record of each entry that is to move.
    std::vector<std::uint32_t> record_at(on_disk.size(), none);
    std::unordered_map<std::uint64_t, std::uint32_t> by_identity;
    std::string parked;
    qsizetype placed = 0;
    for (std::uint32_t r = 0; r < count; ++r) {
        const QByteArray &original = j.names[r];
        park_name(j.park, r, parked);
        std::uint32_t at = none;
        for (const std::string_view candidate : {std::string_view(parked), std::string_view(now[r]),
                                                 std::string_view(or_else[r]), text(original)}) {
            if (!candidate.empty() && (at = entry_of(candidate, r)) != none)
                break;
        }
        if (at == none && identity) {
            if (by_identity.empty())
                for (std::uint32_t e = 0; e < on_disk.size(); ++e)
                    by_identity.emplace(on_disk.ino(e), e);
            const auto it = by_identity.find(j.ids[r]);
            if (it != by_identity.end() && is_plain_name(bytes(on_disk.name(it->second)))) {
                if (kind == RestoreKind::Undo) {
                    // Someone gave it a name of their own since: it keeps that.
                    report.renamed.emplace_back(bytes(on_disk.name(it->second)).toByteArray(),
                                                original);
                    ++placed;
                    continue;
                }
                at = it->second;
            }
        }
        if (at == none) {
            if (exists(now[r]) && text(original) != now[r])
                report.replaced.emplace_back(bytes(now[r]).toByteArray(), original);
            else
                report.missing.push_back(original);
            continue;
        }
        ++placed;
        // Two records on one file (a link met twice): the first takes it.
        if (on_disk.name(at) != text(original) && record_at[at] == none)
            record_at[at] = r;
    }
    // A record that finds most of its files nowhere is not this folder's
    // as it stands (a copy, a folder put back from elsewhere): it stays.
    if (count >= 4 && placed * 2 < qsizetype(count)) {
        RestoreReport kept;
        kept.unplaced = true;
        return kept;
    }
    now = {};
    or_else = {};

    // The files move in the folder's own order, which the file system
    // answers fastest, except that a file whose old name another of them
    // holds waits for that one.
    qsizetype total = 0;
    for (const std::uint32_t r : record_at)
        total += r != none;
    enum : char { Waiting, OnPath, Done };
    std::vector<char> state(on_disk.size(), Waiting);
    std::unordered_map<std::uint32_t, std::string> aside; // files a ring parked
    std::vector<std::uint32_t> path;
    for (std::uint32_t first = 0; first < on_disk.size(); ++first) {
        if (record_at[first] == none || state[first] != Waiting)
            continue;
        // Down the chain of files that hold each other's old names to its
        // free end, or round to the start of a ring.
        path.clear();
        for (std::uint32_t x = first;;) {
            state[x] = OnPath;
            path.push_back(x);
            const std::uint32_t y = on_disk.find(text(j.names[record_at[x]]));
            if (y == none || record_at[y] == none || state[y] == Done)
                break;
            if (state[y] == OnPath) {
                // A ring: the file whose old name the last one wants steps
                // aside; the rest then move one by one, and it last.
                park_name(j.park, record_at[y], parked);
                if (on_disk.name(y) != parked &&
                    rename_in_folder(folder.fd(), bytes(on_disk.name(y)), bytes(parked)) == 0)
                    aside.emplace(y, parked);
                break;
            }
            x = y;
        }
        // Back up the chain: each move frees the name the one before wants.
        for (std::size_t k = path.size(); k-- > 0;) {
            const std::uint32_t e = path[k];
            state[e] = Done;
            const std::uint32_t r = record_at[e];
            const QByteArray &original = j.names[r];
            const auto a = aside.find(e);
            const QByteArrayView from = bytes(a == aside.end() ? on_disk.name(e) : a->second);
            park_name(j.park, r, parked);
            const int err = rename_in_folder(folder.fd(), from, original, parked.c_str());
            if (err == 0) {
                ++report.restored;
                if (progress && !progress(1, 1, report.restored, total)) {
                    report.stopped = true; // the record stays: the next restore goes on
                    return report;
                }
            } else if (err == EEXIST) {
                report.taken.emplace_back(from.toByteArray(), original);
            } else if (err == ENOENT) {
                report.missing.push_back(original);
            } else {
                report.failed.emplace_back(original, err);
            }
        }
    }
    const bool synced = ::fsync(folder.fd()) == 0 || errno == EINVAL || errno == EROFS;
    report.finished = report.failed.empty() && synced;
    return report;
}

} // namespace talvence
