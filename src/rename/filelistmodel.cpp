#include "filelistmodel.h"

#include "names.h"

namespace talvence {

bool FileListModel::read(const QByteArray &folder, const std::vector<FileEntry> &likely)
{
    const Folder f(folder);
    auto listing = f.is_open() ? list_ordinary_files(f.fd(), likely) : std::nullopt;
    beginResetModel();
    entries_ = listing ? std::move(*listing) : std::vector<FileEntry>();
    endResetModel();
    return listing.has_value();
}

int FileListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(entries_.size());
}

QVariant FileListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(entries_.size()))
        return {};
    const FileEntry &e = entries_[index.row()];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return display_name(e.raw);
    case RawNameRole:
        return e.raw;
    default:
        return {};
    }
}

QByteArray FileListModel::raw_name(int row) const
{
    return row >= 0 && row < int(entries_.size()) ? entries_[row].raw : QByteArray();
}

} // namespace talvence
