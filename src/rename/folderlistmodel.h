#pragma once

#include <vector>

#include <QAbstractListModel>
#include <QIcon>

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
    QByteArray path_;
    int current_row_ = -1;
    QIcon open_icon_, closed_icon_;
};

} // namespace talvence
