// SPDX-License-Identifier: GPL-3.0-or-later
#include "folderlist.h"

#include <QStyledItemDelegate>

#include "folderlistmodel.h"

namespace talvence {

namespace {

// Indents each row by its depth, so the chain of folders reads as a path.
class IndentDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    static constexpr int step = 8;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        QStyleOptionViewItem shifted(option);
        shifted.rect.setLeft(option.rect.left() +
                             step * qMin(index.data(FolderListModel::DepthRole).toInt(), 20));
        QStyledItemDelegate::paint(painter, shifted, index);
    }
};

} // namespace

FolderList::FolderList(QWidget *parent) : QListView(parent), model_(new FolderListModel(this))
{
    setModel(model_);
    setItemDelegate(new IndentDelegate(this));
    setUniformItemSizes(true);
    setEditTriggers(NoEditTriggers);
    connect(this, &QListView::activated, this, &FolderList::open_row);
}

std::optional<NameList> FolderList::take_files()
{
    return model_->take_files();
}

QByteArray FolderList::path() const
{
    return model_->path();
}

bool FolderList::set_path(const QByteArray &path)
{
    const QByteArray before = model_->path();
    if (!model_->set_path(path))
        return false;
    setCurrentIndex(model_->index(model_->current_row()));
    if (model_->path() != before)
        Q_EMIT path_changed();
    else
        model_->take_files(); // the files stay as the file list shows them
    return true;
}

void FolderList::open_row(const QModelIndex &index)
{
    // A folder that went away (with the one shown, perhaps): the nearest
    // one above it that is still there, at worst the root, so that the
    // lists never show what is no longer there.
    QByteArray target = index.data(FolderListModel::PathRole).toByteArray();
    while (!set_path(target) && target != "/") {
        const qsizetype slash = target.lastIndexOf('/');
        target = slash <= 0 ? QByteArray("/") : target.left(slash);
    }
}

} // namespace talvence
