// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <utility>
#include <vector>

#include <QAbstractListModel>
#include <QIcon>

#include "namelist.h"

namespace talvence {

// The folder list's rows: the chain of folders from "/" down to the current
// folder, then the current folder's visible subfolders one level deeper.
class FolderListModel : public QAbstractListModel {
    Q_OBJECT
public:
    static constexpr int PathRole = Qt::UserRole + 1;
    static constexpr int DepthRole = Qt::UserRole + 2;

    explicit FolderListModel(QObject *parent = nullptr);

    // Shows the folder; false (and nothing changes) when it cannot be opened.
    bool set_path(const QByteArray &path);
    // The folder's ordinary files, read with its subfolders by the last
    // set_path, once: the file list takes them instead of reading again.
    std::optional<NameList> take_files() { return std::exchange(files_, std::nullopt); }
    QByteArray path() const { return path_; }
    int current_row() const { return current_row_; }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

private:
    struct Row {
        QByteArray path;
        QString text;
        int depth;
        bool open;
    };
    std::vector<Row> rows_;
    std::optional<NameList> files_;
    QByteArray path_;
    int current_row_ = -1;
    QIcon open_icon_, closed_icon_;
};

} // namespace talvence
