// SPDX-License-Identifier: GPL-3.0-or-later
#include "folderlistmodel.h"

#include <QApplication>
#include <QStyle>

#include "folder.h"
#include "names.h"

namespace talvence {

namespace {

// "/a/b/" and "/a//b" name the same folder as "/a/b"; the folder list keeps
// the plain form, with no separator at the end but in the root itself.
QByteArray plain_path(const QByteArray &path)
{
    QByteArray out;
    for (const QByteArray &part : path.split('/')) {
        if (!part.isEmpty())
            out += '/' + part;
    }
    return out.isEmpty() ? QByteArray("/") : out;
}

} // namespace

FolderListModel::FolderListModel(QObject *parent) : QAbstractListModel(parent)
{
    const QStyle *style = QApplication::style();
    open_icon_ = style->standardIcon(QStyle::SP_DirOpenIcon);
    closed_icon_ = style->standardIcon(QStyle::SP_DirClosedIcon);
}

bool FolderListModel::set_path(const QByteArray &requested)
{
    if (!requested.startsWith('/'))
        return false;
    const QByteArray path = plain_path(requested);
    auto listing = list_folder(path);
    if (!listing)
        return false;
    const NameList *subfolders = &listing->subfolders;

    std::vector<Row> rows;
    rows.push_back({"/", QStringLiteral("/"), 0, true});
    QByteArray walked;
    int depth = 0;
    for (const QByteArray &part : path.split('/')) {
        if (part.isEmpty())
            continue;
        walked += '/' + part;
        rows.push_back({walked, display_name(part), ++depth, true});
    }
    const int current = int(rows.size()) - 1;
    for (qsizetype i = 0; i < subfolders->size(); ++i)
        rows.push_back({full_path(path == "/" ? QByteArray() : path, subfolders->at(i)),
                        display_name((*subfolders)[i]), depth + 1, false});

    beginResetModel();
    rows_ = std::move(rows);
    files_ = std::move(listing->files);
    path_ = path;
    current_row_ = current;
    endResetModel();
    return true;
}

int FolderListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

QVariant FolderListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(rows_.size()))
        return {};
    const Row &r = rows_[index.row()];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return r.text;
    case Qt::DecorationRole:
        return r.open ? open_icon_ : closed_icon_;
    case PathRole:
        return r.path;
    case DepthRole:
        return r.depth;
    default:
        return {};
    }
}

} // namespace talvence
