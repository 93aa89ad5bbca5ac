// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QListView>

#include "namelist.h"

namespace talvence {

class FolderListModel;

// The folder list: shows where the current folder lies and what it holds;
// activating a row (double click or Enter) opens that folder.
class FolderList : public QListView {
    Q_OBJECT
public:
    explicit FolderList(QWidget *parent = nullptr);

    QByteArray path() const;
    // Opens the folder; false, with nothing changed, when it cannot be opened.
    bool set_path(const QByteArray &path);
    // The folder's ordinary files as set_path read them, once.
    std::optional<NameList> take_files();

Q_SIGNALS:
    void path_changed();

private:
    void open_row(const QModelIndex &index);

    FolderListModel *model_;
};

} // namespace talvence
