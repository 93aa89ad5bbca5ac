// SPDX-License-Identifier: GPL-3.0-or-later
#include "restore.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <unistd.h>
#include <unordered_map>

#include "passnames.h"

namespace talvence {

namespace {

std::string key(QByteArrayView b)
{
    return std::string(b.data(), std::size_t(b.size()));
}

template <typename T> void append(std::vector<T> &to, const std::vector<T> &from)
{
    to.insert(to.end(), from.begin(), from.end());
}

// Every entry of the folder with the inode number it hands out; nullopt
// where the folder cannot be read to its end.
using Entries = std::unordered_map<std::string, std::uint64_t>;
int read_entries(int dirfd, Entries &out)
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
        out.emplace(d->d_name, std::uint64_t(d->d_ino));
        errno = 0;
    }
    const int e = errno;
    ::closedir(dir);
    return e;
}

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
    on_disk.reserve(count + count / 4);
    if (const int e = read_entries(folder.fd(), on_disk)) {
        report.folder_error = e;
        return report;
    }
    const auto exists = [&](const QByteArray &name) { return on_disk.count(key(name)) > 0; };
    const auto same_file = [&](const QByteArray &name, std::uint32_t r) {
        const auto it = on_disk.find(key(name));
        return it != on_disk.end() && (!identity || it->second == j.ids[r]);
    };

    // Follow every file through the passes the record knows of: a pass
    // that ended tells how far it came. A pass goes through its files in
    // order and stops at a refused rename, so where one was cut short, the
    // last file it renamed is the last whose new name is on disk while its
    // old one is not (no later file can have taken that old name), and
    // every file before it was renamed too.
    std::vector<QByteArray> now(j.names);
    std::vector<QByteArray> or_else(count); // the name before the cut-short pass
    for (const RecordPass &pass : j.passes) {
        std::vector<QByteArray> next(pass.order.size());
        for (std::size_t place = 0; place < pass.order.size(); ++place)
            next[place] = pass_new_name(pass.rule, place, now[pass.order[place]]);
        qsizetype reached = pass.done;
        if (reached < 0) {
            reached = 0;
            for (std::size_t place = pass.order.size(); place-- > 0;) {
                const std::uint32_t r = pass.order[place];
                if (exists(next[place]) && (next[place] == now[r] || !exists(now[r]))) {
                    reached = qsizetype(place) + 1;
                    break;
                }
            }
        }
        for (std::size_t place = 0; place < std::size_t(reached); ++place) {
            const std::uint32_t r = pass.order[place];
            if (pass.done < 0)
                or_else[r] = now[r];
            now[r] = std::move(next[place]);
        }
        if (pass.done < 0)
            break;
    }

    // Where each file is: under a name the record computes, else (where
    // identities hold) wherever its identity is.
    std::unordered_map<std::uint64_t, std::string> by_identity;
    std::unordered_map<std::string, std::uint32_t> claimed;
    struct Todo {
        std::uint32_t record;
        QByteArray at;
    };
    std::vector<Todo> todo;
    qsizetype placed = 0;
    for (std::uint32_t r = 0; r < count; ++r) {
        const QByteArray &original = j.names[r];
        QByteArray at;
        const QByteArray parked = park_name(j.park, r);
        for (const QByteArray *candidate :
             std::initializer_list<const QByteArray *>{&parked, &now[r], &or_else[r], &original}) {
            if (!candidate->isEmpty() && same_file(*candidate, r)) {
                at = *candidate;
                break;
            }
        }
        if (at.isEmpty() && identity) {
            if (by_identity.empty())
                for (const auto &[name, id] : on_disk)
                    by_identity.emplace(id, name);
            const auto it = by_identity.find(j.ids[r]);
            if (it != by_identity.end() && is_plain_name(QByteArrayView(it->second))) {
                const QByteArray found(it->second.data(), qsizetype(it->second.size()));
                if (kind == RestoreKind::Undo) {
                    // Someone gave it a name of their own since: it keeps that.
                    report.renamed.emplace_back(found, original);
                    ++placed;
                    continue;
                }
                at = found;
            }
        }
        if (at.isEmpty()) {
            if (exists(now[r]) && now[r] != original)
                report.replaced.emplace_back(now[r], original);
            else
                report.missing.push_back(original);
            continue;
        }
        ++placed;
        if (at == original)
            continue;
        // Two records on one file (a link met twice): the first takes it.
        if (!claimed.emplace(key(at), r).second)
            continue;
        todo.push_back({r, std::move(at)});
    }
    // A record that finds most of its files nowhere is not this folder's
    // as it stands (a copy, a folder put back from elsewhere): it stays.
    if (count >= 4 && placed * 2 < qsizetype(count)) {
        RestoreReport kept;
        kept.unplaced = true;
        return kept;
    }

    // The names our files stand on, to the file on each.
    std::unordered_map<std::string, std::uint32_t> held;
    held.reserve(todo.size());
    for (std::uint32_t t = 0; t < todo.size(); ++t)
        held.emplace(key(todo[t].at), t);

    const qsizetype total = qsizetype(todo.size());
    enum : char { Waiting, OnPath, Done };
    std::vector<char> state(todo.size(), Waiting);
    std::vector<std::uint32_t> path;
    for (std::uint32_t first = 0; first < todo.size(); ++first) {
        if (state[first] != Waiting)
            continue;
        // Down the chain of files that hold each other's old names to its
        // free end, or round to the start of a ring.
        path.clear();
        std::uint32_t x = first;
        for (;;) {
            state[x] = OnPath;
            path.push_back(x);
            const auto h = held.find(key(j.names[todo[x].record]));
            if (h == held.end() || state[h->second] == Done)
                break;
            const std::uint32_t y = h->second;
            if (state[y] == OnPath) {
                // A ring: the file whose old name the last one wants steps
                // aside; the rest then move one by one, and it last.
                Todo &t = todo[y];
                const QByteArray parked = park_name(j.park, t.record);
                if (t.at != parked && rename_in_folder(folder.fd(), t.at, parked) == 0) {
                    held.erase(key(t.at));
                    t.at = parked;
                }
                break;
            }
            x = y;
        }
        // Back up the chain: each move frees the name the one before wants.
        for (std::size_t k = path.size(); k-- > 0;) {
            Todo &t = todo[path[k]];
            state[path[k]] = Done;
            const QByteArray &original = j.names[t.record];
            const QByteArray parked = park_name(j.park, t.record);
            const int e = rename_in_folder(folder.fd(), t.at, original, parked.constData());
            if (e == 0) {
                held.erase(key(t.at));
                ++report.restored;
                if (progress && !progress(1, 1, report.restored, total)) {
                    report.stopped = true; // the record stays: the next restore goes on
                    return report;
                }
            } else if (e == EEXIST) {
                report.taken.emplace_back(t.at, original);
            } else if (e == ENOENT) {
                report.missing.push_back(original);
            } else {
                report.failed.emplace_back(original, e);
            }
        }
    }
    const bool synced = ::fsync(folder.fd()) == 0 || errno == EINVAL || errno == EROFS;
    report.finished = report.failed.empty() && synced;
    return report;
}

} // namespace talvence
