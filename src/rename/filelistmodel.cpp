// SPDX-License-Identifier: GPL-3.0-or-later
#include "filelistmodel.h"

#include "names.h"

namespace talvence {

bool FileListModel::read(const QByteArray &folder, const NameList &likely)
{
    const Folder f(folder);
    Result<NameList> listing =
        f.is_open() ? list_ordinary_files(f.fd(), likely) : Result<NameList>::failure(f.error());
    beginResetModel();
    names_ = listing ? std::move(*listing) : NameList();
    endResetModel();
    return listing.ok();
}

void FileListModel::show(NameList names)
{
    beginResetModel();
    names_ = std::move(names);
    endResetModel();
}

int FileListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(names_.size());
}

QModelIndex FileListModel::index(int row, int column, const QModelIndex &parent) const
{
    // What the base class checks, without its two virtual calls per row.
    return !parent.isValid() && column == 0 && row >= 0 && row < int(names_.size())
               ? createIndex(row, 0)
               : QModelIndex();
}

QVariant FileListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(names_.size()))
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return display_name(names_[index.row()]);
    case RawNameRole:
        return names_.at(index.row());
    default:
        return {};
    }
}

QByteArray FileListModel::raw_name(int row) const
{
    return row >= 0 && row < int(names_.size()) ? names_.at(row) : QByteArray();
}

} // namespace talvence
