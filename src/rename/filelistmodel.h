// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractListModel>

#include "folder.h"

namespace talvence {

// The files of one folder for the file list: raw names beside their display
// text, one row each, no widget per row, so a folder of 100,000 files scrolls.
class FileListModel : public QAbstractListModel {
    Q_OBJECT
public:
    static constexpr int RawNameRole = Qt::UserRole + 1;

    using QAbstractListModel::QAbstractListModel;

    // Reads the folder's ordinary files afresh; an unreadable folder leaves
    // the list empty. `likely` may name what the folder is believed to hold
    // (what a rename has just left), which makes the reading cheaper, not
    // different. Returns whether the folder could be read.
    bool read(const QByteArray &folder, const NameList &likely = {});
    // Shows a listing made elsewhere (with the folder's subfolders).
    void show(NameList names);

    int rowCount(const QModelIndex &parent = {}) const override;
    // The list asks for every row's index each time it lays itself out.
    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QByteArray raw_name(int row) const;
    // The names as listed, in the list's order.
    const NameList &names() const { return names_; }

private:
    NameList names_;
};

} // namespace talvence
