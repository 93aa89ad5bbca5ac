// SPDX-License-Identifier: GPL-3.0-or-later
#include "restore.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <limits>
#include <new>
#include <stop_token>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <unordered_map>

#include "passnames.h"
#include "utf8.h"

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
constexpr std::size_t npos = std::string::npos;

// Whether the names `rule` makes from `name` end in its last four
// characters, as they stand: then the passes after it make the same names
// from it as from the name `rule` made. Not so for a name of fewer than
// four characters (the number joins its ending), for one whose blanks at
// the end a numbering without prefix drops, or for a change of case.
bool keeps_ending(const PassRule &rule, std::string_view name)
{
    if (rule.kind == PassKind::Case)
        return false;
    if (rule.kind == PassKind::Numbering && rule.prefix.isEmpty() && name.ends_with(' '))
        return false;
    const QByteArrayView b = bytes(name);
    return tail_start(b) > 0 || char_count(b.toByteArray()) == 4;
}

// The folder as one read found it: every entry's name and the inode number
// it hands out, in the folder's own order, the names in one block (each
// followed by a NUL, as a rename takes it) and found by a look-up in one
// flat table, so that a folder of many files costs no allocation per name.
class Entries {
public:
    // 0, or the error that ended the reading early: then files would look
    // missing, so nothing may be done. `likely`: the entries and name bytes
    // to make room for.
    // A stop asked for ends it early too (ECANCELED): no one waits for it.
    int read(int dirfd, std::size_t likely, std::size_t likely_bytes, std::stop_token stop)
    {
        start_.reserve(likely + 1);
        ino_.reserve(likely);
        bytes_.reserve(likely_bytes);
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
            if (stop.stop_requested()) {
                ::closedir(dir);
                return ECANCELED;
            }
            const std::string_view name(d->d_name);
            if (name != "." && name != "..") {
                start_.push_back(bytes_.size());
                bytes_.append(name);
                bytes_ += '\0';
                ino_.push_back(std::uint64_t(d->d_ino));
                if (name.starts_with(park_stem_start))
                    maybe_parked_.push_back(size() - 1);
            }
            errno = 0;
        }
        const int e = errno;
        ::closedir(dir);
        start_.push_back(bytes_.size());
        index();
        return e;
    }
    std::uint32_t size() const { return std::uint32_t(ino_.size()); }
    // The entries whose names begin as every parking name does.
    const std::vector<std::uint32_t> &maybe_parked() const { return maybe_parked_; }
    std::string_view name(std::uint32_t e) const
    {
        return std::string_view(bytes_.data() + start_[e], start_[e + 1] - start_[e] - 1);
    }
    std::uint64_t ino(std::uint32_t e) const { return ino_[e]; }
    static std::size_t key(std::string_view name) { return std::hash<std::string_view>()(name); }
    // The entry of that name, or none; `h` is the name's key.
    std::uint32_t find(std::string_view name) const { return find(name, key(name)); }
    std::uint32_t find(std::string_view name, std::size_t h) const
    {
        for (std::size_t slot = h & mask_;; slot = (slot + 1) & mask_) {
            const std::uint32_t e = slots_[slot];
            if (e == none)
                return none;
            if (hashes_[slot] == std::uint32_t(h) && this->name(e) == name)
                return e;
        }
    }

private:
    // Open addressing at most half full: a miss ends at the next empty slot.
    void index()
    {
        std::size_t capacity = 16;
        while (capacity < std::size_t(size()) * 2)
            capacity *= 2;
        mask_ = capacity - 1;
        slots_.assign(capacity, none);
        hashes_.assign(capacity, 0);
        for (std::uint32_t e = 0; e < size(); ++e) {
            const std::size_t h = key(name(e));
            std::size_t slot = h & mask_;
            while (slots_[slot] != none)
                slot = (slot + 1) & mask_;
            slots_[slot] = e;
            hashes_[slot] = std::uint32_t(h);
        }
    }

    std::string bytes_;
    std::vector<std::size_t> start_;
    std::vector<std::uint64_t> ino_;
    std::vector<std::uint32_t> slots_, hashes_;
    std::size_t mask_ = 0;
    // Entries whose names begin as every parking name does: most folders
    // have none, and only these need a look at a record's own stem.
    std::vector<std::uint32_t> maybe_parked_;
};

} // namespace

// What the folder holds, as one read found it, read on a thread of its own
// from the moment the reading is made: meanwhile the record is read and its
// passes are followed.
struct FolderReading::State {
    explicit State(const QByteArray &path) : folder(path) {}
    Folder folder;
    Entries entries;
    int error = 0;
    std::jthread reading;
};

FolderReading::FolderReading(const QByteArray &folder, std::size_t likely_files,
                             std::size_t likely_bytes)
    : d_(std::make_unique<State>(folder))
{
    if (!d_->folder.is_open()) {
        d_->error = d_->folder.error() ? d_->folder.error() : ENOENT;
        return;
    }
    const auto read = [d = d_.get(), likely_files, likely_bytes](std::stop_token stop) {
        try {
            d->error = d->entries.read(d->folder.fd(), likely_files, likely_bytes, stop);
        } catch (const std::bad_alloc &) {
            d->error = ENOMEM;
        }
    };
    try {
        d_->reading = std::jthread(read);
    } catch (const std::system_error &) {
        read({}); // no thread to be had: read here, now
    }
}

FolderReading::~FolderReading() = default;

const Folder &FolderReading::folder() const
{
    return d_->folder;
}

int FolderReading::wait()
{
    if (d_->reading.joinable())
        d_->reading.join();
    return d_->error;
}

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

RestoreReport restore_record(const QByteArray &folder, const RunRecord &j, bool identity,
                             RestoreKind kind, const RenameProgress &progress)
{
    const std::size_t count = j.names.size();
    FolderReading reading(folder, count + count / 8 + 16,
                          std::size_t(j.names.name_bytes()) + count * 8);
    return restore_record(reading, j, identity, kind, progress);
}

RestoreReport restore_record(FolderReading &reading, const RunRecord &j, bool identity,
                             RestoreKind kind, const RenameProgress &progress)
{
    RestoreReport report;
    const std::size_t count = j.names.size();
    // A journal that never got ready was cut short before the first rename.
    if (!j.ready || count == 0) {
        report.finished = true;
        return report;
    }
    const Folder &folder = reading.folder();
    if (!folder.is_open()) {
        report.folder_error = reading.wait();
        return report;
    }
    // What the folder holds now, name for name, as the folder spells them:
    // the following of the passes needs it only for a pass cut short. A
    // reading that ends early would make files look missing: then nothing
    // is done and the record stays.
    const Entries &on_disk = reading.d_->entries;
    int read_error = 0;
    const auto folder_read = [&] {
        read_error = reading.wait();
        return read_error == 0;
    };
    const auto exists = [&](std::string_view name) { return on_disk.find(name) != none; };
    // The entry that holds the record's file under that name, or none.
    const auto holds = [&](std::uint32_t e, std::uint32_t r) {
        return e != none && (!identity || on_disk.ino(e) == j.ids[r]) ? e : none;
    };
    const auto entry_of = [&](std::string_view name, std::uint32_t r) {
        return holds(on_disk.find(name), r);
    };

    // Follow every file through the passes the record knows of: a pass
    // that ended tells how far it came. A pass goes through its files in
    // order and stops at a refused rename, so where one was cut short, the
    // last file it renamed is the last whose new name is on disk while its
    // old one is not (no later file can have taken that old name), and
    // every file before it was renamed too.
    //
    // A pass makes a file's new name from its place and the last four
    // characters of its name before (a change of case from the whole name).
    // Where those four stand unchanged through the passes, as they do in
    // all but short names, a file's name is known from the last pass that
    // renamed it and its name from before the run: no name is made until it
    // is looked for. Only the endings that do change are kept, in one block
    // (whole names where a change of case comes next).
    struct Step {
        std::uint32_t pass = none; // the last pass that renamed the file, or none
        std::uint32_t place = 0;   // its place in that pass
        std::size_t base = npos;   // its name before that pass in `made`; npos: the record's
        std::size_t base_size = 0;
    };
    std::string made;
    std::size_t made_kept = 0; // what `made` held that was still in use when last cleared
    const auto base_of = [&](const Step &s, std::uint32_t r) {
        return s.base == npos ? text(j.names[r])
                              : std::string_view(made).substr(s.base, s.base_size);
    };
    // The file's name after step `s`: in `out` where it has to be made.
    const auto name_at = [&](const Step &s, std::uint32_t r, std::string &out) {
        const std::string_view base = base_of(s, r);
        if (s.pass == none)
            return base;
        pass_new_name(j.passes[s.pass].rule, s.place, bytes(base), out);
        return std::string_view(out);
    };
    std::vector<Step> steps(count), before_cut;
    std::uint32_t cut_pass = none;
    std::string next, scratch;
    // The names the pass cut short gives, place by place, and their keys.
    std::string cut_names;
    std::vector<std::size_t> cut_start, cut_key;
    const auto cut_name = [&](std::size_t place) {
        return std::string_view(cut_names).substr(cut_start[place],
                                                  cut_start[place + 1] - cut_start[place]);
    };
    // The keys of the names from before the run, made while the folder is
    // still being read.
    std::vector<std::size_t> original_key;
    const auto keys_of_originals = [&] {
        if (!original_key.empty())
            return;
        original_key.resize(count);
        for (std::uint32_t r = 0; r < count; ++r)
            original_key[r] = Entries::key(text(j.names[r]));
    };
    for (std::uint32_t p = 0; p < j.passes.size(); ++p) {
        const RecordPass &pass = j.passes[p];
        qsizetype reached = pass.done;
        if (reached < 0) {
            // The names this pass gives are made before the folder's read
            // is waited for: the search for where it stopped looks them up,
            // and those of the files it reached are their names now.
            cut_start.resize(pass.order.size() + 1);
            cut_key.resize(pass.order.size());
            for (std::size_t place = 0; place < pass.order.size(); ++place) {
                const std::uint32_t r = pass.order[place];
                cut_start[place] = cut_names.size();
                pass_new_name(pass.rule, place, bytes(name_at(steps[r], r, scratch)), next);
                cut_names.append(next);
                cut_key[place] = Entries::key(next);
            }
            cut_start[pass.order.size()] = cut_names.size();
            keys_of_originals();
            if (!folder_read())
                break;
            reached = 0;
            for (std::size_t place = pass.order.size(); place-- > 0;) {
                const std::uint32_t r = pass.order[place];
                const std::string_view given = cut_name(place);
                if (on_disk.find(given, cut_key[place]) == none)
                    continue;
                const std::string_view name_now = name_at(steps[r], r, scratch);
                if (given == name_now || !exists(name_now)) {
                    reached = qsizetype(place) + 1;
                    break;
                }
            }
            before_cut = steps;
            cut_pass = p;
        }
        for (std::size_t place = 0; place < std::size_t(reached); ++place) {
            const std::uint32_t r = pass.order[place];
            Step &s = steps[r];
            const bool whole = pass.rule.kind == PassKind::Case;
            if (s.pass != none && (whole || !keeps_ending(j.passes[s.pass].rule, base_of(s, r)))) {
                std::string_view name_now = name_at(s, r, scratch);
                if (!whole)
                    name_now.remove_prefix(std::size_t(tail_start(bytes(name_now))));
                s.base = made.size();
                s.base_size = name_now.size();
                made.append(name_now);
            }
            s.pass = p;
            s.place = std::uint32_t(place);
        }
        if (pass.done < 0)
            break;
        // Endings replaced by later ones are dropped before they pile up: a
        // record of many passes over short names keeps one ending a file.
        if (made.size() > (std::size_t(1) << 24) + 2 * made_kept) {
            std::string kept;
            for (Step &s : steps)
                if (s.base != npos) {
                    const std::size_t at = kept.size();
                    kept.append(made, s.base, s.base_size);
                    s.base = at;
                }
            made = std::move(kept);
            made_kept = made.size();
        }
    }
    // Each file's name now and the keys of both its names are made before
    // the folder's read is waited for, where it has not been yet (the
    // passes all ended): then finding the files is only looking them up.
    // A file the pass cut short reached has the name that pass made.
    std::string now_names;
    std::vector<std::size_t> now_start(count + 1), now_key(count);
    for (std::uint32_t r = 0; r < count; ++r) {
        now_start[r] = now_names.size();
        const Step &s = steps[r];
        if (s.pass != none && s.pass == cut_pass) {
            now_names.append(cut_name(s.place));
            now_key[r] = cut_key[s.place];
        } else {
            const std::string_view name = name_at(s, r, scratch);
            now_names.append(name);
            now_key[r] = Entries::key(name);
        }
    }
    now_start[count] = now_names.size();
    const auto now_name = [&](std::uint32_t r) {
        return std::string_view(now_names).substr(now_start[r], now_start[r + 1] - now_start[r]);
    };
    cut_names = {};
    cut_start = {};
    cut_key = {};
    keys_of_originals();
    if (!folder_read()) {
        report.folder_error = read_error;
        return report;
    }

    // Where each file is: under a name the record computes, else (where
    // identities hold) wherever its identity is. `record_at` learns the
    // record of each entry that is to move.
    std::vector<std::uint32_t> record_at(on_disk.size(), none);
    std::unordered_map<std::uint64_t, std::uint32_t> by_identity;
    std::string parked;
    qsizetype placed = 0;
    // A file stands on its parking name only where a run or a restore was
    // cut short while it stood there: most folders have none. Its record is
    // read from the name, "<stem>-<record>.tmp", and the name made again
    // from it must be the same.
    std::vector<std::uint32_t> parked_at;
    for (const std::uint32_t e : on_disk.maybe_parked()) {
        const std::string_view name = on_disk.name(e);
        const std::string_view rest =
            name.substr(std::min(name.size(), std::size_t(j.park.size())));
        std::uint32_t r = 0;
        if (!name.starts_with(text(j.park)) || !rest.starts_with('-') ||
            std::from_chars(rest.data() + 1, rest.data() + rest.size(), r).ec != std::errc() ||
            r >= count)
            continue;
        park_name(j.park, r, parked);
        if (parked != name || holds(e, r) == none)
            continue;
        if (parked_at.empty())
            parked_at.assign(count, none);
        parked_at[r] = e;
    }
    for (std::uint32_t r = 0; r < count; ++r) {
        const QByteArrayView original = j.names[r];
        std::uint32_t at = parked_at.empty() ? none : parked_at[r];
        const std::string_view name_now = now_name(r);
        if (at == none)
            at = holds(on_disk.find(name_now, now_key[r]), r);
        if (at == none && cut_pass != none && steps[r].pass == cut_pass)
            at = entry_of(name_at(before_cut[r], r, scratch), r);
        if (at == none)
            at = holds(on_disk.find(text(original), original_key[r]), r);
        if (at == none && identity) {
            if (by_identity.empty())
                for (std::uint32_t e = 0; e < on_disk.size(); ++e)
                    by_identity.emplace(on_disk.ino(e), e);
            const auto it = by_identity.find(j.ids[r]);
            if (it != by_identity.end() && is_plain_name(bytes(on_disk.name(it->second)))) {
                if (kind == RestoreKind::Undo) {
                    // Someone gave it a name of their own since: it keeps that.
                    report.renamed.emplace_back(bytes(on_disk.name(it->second)).toByteArray(),
                                                original.toByteArray());
                    ++placed;
                    continue;
                }
                at = it->second;
            }
        }
        if (at == none) {
            if (exists(name_now) && original != bytes(name_now))
                report.replaced.emplace_back(bytes(name_now).toByteArray(), original.toByteArray());
            else
                report.missing.push_back(original.toByteArray());
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
    steps = {};
    before_cut = {};
    made = {};
    now_names = {};
    now_start = {};
    now_key = {};

    // The files move in the folder's own order, which the file system
    // answers fastest, except that a file whose old name another of them
    // holds waits for that one. The order is worked out first and the moves
    // made after, each with the names of the next ones fetched ahead: a
    // rename's system call leaves little of the lists in the caches.
    struct Move {
        const char *from; // the entry's name now
        const char *to;   // its name before the run
        std::uint32_t record;
        std::uint32_t aside; // a move onto a parking name before this one, or none
        bool step_aside;     // this is such a move
        bool stepped;        // it was made
    };
    std::vector<Move> moves;
    moves.reserve(std::size_t(placed) + 16);
    enum : char { Waiting, OnPath, Done };
    std::vector<char> state(on_disk.size(), Waiting);
    std::vector<std::uint32_t> path;
    for (std::uint32_t first = 0; first < on_disk.size(); ++first) {
        if (record_at[first] == none || state[first] != Waiting)
            continue;
        // Down the chain of files that hold each other's old names to its
        // free end, or round to the start of a ring.
        path.clear();
        std::uint32_t ring = none;
        for (std::uint32_t x = first;;) {
            state[x] = OnPath;
            path.push_back(x);
            const std::uint32_t wanted = record_at[x];
            const std::uint32_t y = on_disk.find(text(j.names[wanted]), original_key[wanted]);
            if (y == none || record_at[y] == none || state[y] == Done)
                break;
            if (state[y] == OnPath) {
                // A ring: the file whose old name the last one wants steps
                // aside; the rest then move one by one, and it last.
                ring = y;
                moves.push_back({on_disk.name(y).data(), nullptr, record_at[y], none, true, false});
                break;
            }
            x = y;
        }
        // Back up the chain: each move frees the name the one before wants.
        for (std::size_t k = path.size(); k-- > 0;) {
            const std::uint32_t e = path[k];
            state[e] = Done;
            const std::uint32_t r = record_at[e];
            const std::uint32_t aside =
                e == ring ? std::uint32_t(moves.size() - (path.size() - k)) : none;
            moves.push_back({on_disk.name(e).data(), j.names[r].data(), r, aside, false, false});
        }
    }
    state = {};
    original_key = {};
    path = {};
    const qsizetype total =
        std::count_if(moves.begin(), moves.end(), [](const Move &m) { return !m.step_aside; });
    for (std::size_t i = 0; i < moves.size(); ++i) {
        if (i + 2 < moves.size()) {
            __builtin_prefetch(moves[i + 2].from);
            __builtin_prefetch(moves[i + 2].to);
        }
        Move &m = moves[i];
        if (m.step_aside) {
            park_name(j.park, m.record, parked);
            const QByteArrayView name_now(m.from);
            m.stepped = name_now != text(parked) &&
                        rename_in_folder(folder.fd(), name_now, bytes(parked)) == 0;
            continue;
        }
        // Both names are plain and differ: the entry's from the folder's
        // read, the one it goes back to from the record, checked as it was
        // read. Only a file that stepped aside moves from its parking name.
        const char *from = m.from;
        int err = 0;
        if (m.aside != none && moves[m.aside].stepped) {
            park_name(j.park, m.record, parked);
            from = parked.c_str();
            err = rename_in_folder(folder.fd(), bytes(parked), QByteArrayView(m.to), from);
        } else {
            err = rename_plain_in_folder(folder.fd(), m.from, m.to, j.park, m.record);
        }
        const QByteArrayView original(m.to);
        if (err == 0) {
            ++report.restored;
            if (progress && !progress(1, 1, report.restored, total)) {
                report.stopped = true; // the record stays: the next restore goes on
                return report;
            }
        } else if (err == EEXIST) {
            report.taken.emplace_back(QByteArray(from), original.toByteArray());
        } else if (err == ENOENT) {
            report.missing.push_back(original.toByteArray());
        } else {
            report.failed.emplace_back(original.toByteArray(), err);
        }
    }
    const bool synced = ::fsync(folder.fd()) == 0 || errno == EINVAL || errno == EROFS;
    report.finished = report.failed.empty() && synced;
    return report;
}

} // namespace talvence
