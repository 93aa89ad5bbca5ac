// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The folder operations both batch renames stand on: listing a folder's
// ordinary files and renaming one of them in place without ever replacing
// anything. Names are raw bytes and every call goes through a descriptor of
// the folder, so a name that is not UTF-8 round-trips exactly and a file
// never leaves its folder.

#include <cstdint>
#include <functional>
#include <vector>

#include <QByteArray>
#include <QString>

#include "namelist.h"
#include "result.h"

namespace talvence {

// An open folder; closes itself.
class Folder {
public:
    explicit Folder(const QByteArray &path);
    ~Folder();
    Folder(const Folder &) = delete;
    Folder &operator=(const Folder &) = delete;

    bool is_open() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    // Why it is not open: an errno value.
    int error() const { return error_; }

private:
    int fd_ = -1;
    int error_ = 0;
};

// A name that stays in its folder: not empty, not "." or "..", no "/"
// and no NUL. Every name given to a rename, and every name read from a
// record, must be one.
bool is_plain_name(QByteArrayView name);

// The folder joined to a name as they stand; in "/" that gives "//name".
QByteArray full_path(const QByteArray &folder, const QByteArray &name);

// Every listing below fails with the errno value of why the folder cannot
// be read, or ENOMEM where its list cannot be held.

// The ordinary files of an open folder in natural order: regular files and
// links to regular files whose names do not start with ".". The names are
// as on disk; their text for the screen is made when they are shown
// (display_name), not for every name of a large folder.
Result<NameList> list_ordinary_files(int dirfd);
Result<NameList> list_ordinary_files(const QByteArray &folder);
// The same list, where `likely` is what the folder is believed to hold: the
// list on screen, or what a rename has just left. The result is the same;
// when the folder holds just those names in the same order, that order
// needs only a check.
Result<NameList> list_ordinary_files(int dirfd, const NameList &likely);

// The same list, where `listed` is a listing of the folder made before (the
// list on screen). When the folder hands out just those names, in the order
// it handed them out for that listing, nothing has changed: the answer is
// `listed` as it stands, with no new sort. Otherwise the folder is listed
// as it is now.
Result<NameList> list_ordinary_files_again(int dirfd, const NameList &listed);

// The ordinary files with each one's inode number as the folder hands it
// out, in the order of the list: the identity a journal keeps. Listed as
// list_ordinary_files_again does where `listed` is given, else as
// list_ordinary_files.
using FileIds = std::vector<std::uint64_t>;
struct IdentifiedFiles {
    NameList names;
    FileIds ids;
};
Result<IdentifiedFiles> list_identified_files(int dirfd, const NameList *listed = nullptr);

// The snapshot a rename pass works through. `ours` holds the names that the
// running operation gave, in the order it gave them: those still in the
// folder come first, in that order, whatever a link among them points at
// now; every other ordinary file follows in natural order. So a number that
// runs into a name's kept ending ("2" + "1.md") never reorders the files.
struct PassSnapshot {
    NameList names;
    qsizetype ours_taken = 0;        // how many of the first names are of `ours`
    std::vector<std::uint32_t> kept; // which of `ours` they are: their places in it
};
Result<PassSnapshot> list_pass(int dirfd, const NameList &ours);

// The visible subfolders of a folder (links to folders included), in natural order.
Result<NameList> list_subfolders(const QByteArray &folder);

// Both lists of a folder from one reading of it: its ordinary files and its
// visible subfolders, each in natural order. Opening a folder needs both, and
// a folder of a million files is not read twice for them.
struct FolderListing {
    NameList files;
    NameList subfolders;
};
Result<FolderListing> list_folder(const QByteArray &folder);

// Told after every rename of a run: which pass of how many, how many files
// of the pass are done, of how many. False stops the run there, between two
// renames; its journal then stays for a later restore.
using RenameProgress = std::function<bool(int pass, int passes, qsizetype done, qsizetype total)>;

// Renames `from` to `to` inside the folder. Never replaces: a name held by
// any file or folder makes it fail with EEXIST. Names that are empty, ".",
// "..", or hold "/" or NUL fail with EINVAL. A name equal to the old one is
// a success that changes nothing; a change of letter case alone also works
// where the file system ignores case, through a free parking name: `park`
// where given (a name the caller can find again after a crash), else one of
// its own. Returns 0 or an errno value.
// Each name must be followed by a NUL, as the bytes of a QByteArray, a
// std::string and a NameList are: it goes to the system as it is.
int rename_in_folder(int dirfd, QByteArrayView from, QByteArrayView to, const char *park = nullptr);
// The same for two different names already known to be plain (a folder's
// own entries, a record's names, each checked where it was read), where
// the parking name is the record's, made only when a change of case comes
// to need one: the moves of a restore over many files.
int rename_plain_in_folder(int dirfd, const char *from, const char *to, QByteArrayView park_stem,
                           std::uint32_t record);

} // namespace talvence
