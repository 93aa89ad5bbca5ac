// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <vector>

#include "childwindow.h"
#include "folder.h"
#include "runhistory.h"
#include "runoutcome.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QRadioButton;

namespace talvence {

class DriveList;
class DriveProbe;
class FileListModel;
class FolderList;

// The rename window: drive, folder and file lists and the buttons that rename
// every file of the current folder at once. It owns the current folder and
// the selected file that the rest of the program reads.
class Form1 : public ChildWindow {
    Q_OBJECT
public:
    explicit Form1(QWidget *parent = nullptr);

    // The folder list's path, raw: no separator at the end but in "/" itself.
    QByteArray current_folder() const;
    // The raw name selected in the file list; empty when none is.
    QByteArray selected_file() const;
    // The current folder and the name, joined as they stand.
    QByteArray full_path(const QByteArray &name) const;
    // Reads the current folder's files afresh.
    void reread_files(const NameList &likely = {});
    // The last run in the current folder that can be taken back, if any.
    const std::optional<UndoableRun> &undoable() const { return undoable_; }
    // Takes it back: every file of it gets the name it had before.
    void undo_last_run();

Q_SIGNALS:
    // A file was chosen in the file list: by a click or Enter, or, with
    // `walking`, by moving the selection with the keys.
    void file_clicked(bool walking);
    // What undoable() says has changed.
    void undo_changed();

private:
    void build();
    void drive_chosen(const QByteArray &mount_point);
    void folder_changed();
    void rename_standard_clicked();
    void rename_case_clicked(bool upper);
    // A run cut short in the current folder: offers its names back.
    void offer_restore();
    // After a run: the status bar says how it ended, a run without its
    // record says why it did not begin.
    void tell_outcome(const RunOutcome &outcome, PassKind kind);
    void refresh_undoable();

    QWidget *client_;
    QGroupBox *Frame_standardisieren;
    QRadioButton *Option2;
    QRadioButton *Option1;
    QLineEdit *Textfeld_format;
    QLabel *Label2;
    QGroupBox *Frame_gross_klein;
    QPushButton *klein;
    QPushButton *gross;
    QPushButton *rename_standard_button;
    QGroupBox *Frame1;
    QPushButton *quit;
    QGroupBox *Frame2;
    DriveList *Drive1;
    FolderList *Dir1;
    QLabel *Label5;
    QLabel *Label6;
    QListView *list3;
    FileListModel *files_;
    DriveProbe *probe_;
    bool restore_check_queued_ = false;
    std::optional<UndoableRun> undoable_;
};

} // namespace talvence
