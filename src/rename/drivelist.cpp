// SPDX-License-Identifier: GPL-3.0-or-later
#include "drivelist.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QSignalBlocker>

#include "seams.h"

namespace talvence {

namespace {

// Qt names a drop-down list after its current entry on Linux; assistive
// tools should hear the list's own name, "Laufwerk", and the drive as its
// value. Everything else works as for any drop-down list: one child, the
// list of drives, and the actions that open and close it.
class DriveListAccessible : public QAccessibleWidget {
public:
    explicit DriveListAccessible(DriveList *list) : QAccessibleWidget(list, QAccessible::ComboBox)
    {
    }
    DriveList *list() const { return static_cast<DriveList *>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return list()->currentText();
        return QAccessibleWidget::text(t);
    }
    int childCount() const override { return 1; }
    QAccessibleInterface *child(int index) const override
    {
        return index == 0 ? QAccessible::queryAccessibleInterface(list()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child && child->object() == list()->view() ? 0 : -1;
    }
    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString &name) override
    {
        if (name != showMenuAction() && name != pressAction())
            return;
        if (list()->view()->isVisible())
            list()->hidePopup();
        else
            list()->showPopup();
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }
};

QAccessibleInterface *drive_list_accessible(const QString &, QObject *object)
{
    if (auto *list = qobject_cast<DriveList *>(object))
        return new DriveListAccessible(list);
    return nullptr;
}

} // namespace

DriveList::DriveList(QWidget *parent) : QComboBox(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(drive_list_accessible);
        return true;
    }();
    Q_UNUSED(installed);
    connect(this, &QComboBox::activated, this, &DriveList::picked);
}

void DriveList::refill(const QByteArray &keep)
{
    const QSignalBlocker quiet(this);
    drives_ = seams().drives();
    clear();
    shown_ = -1;
    for (int i = 0; i < int(drives_.size()); ++i) {
        addItem(drives_[i].display());
        if (drives_[i].mount_point == keep)
            shown_ = i;
    }
    setCurrentIndex(shown_);
}

void DriveList::show_drive_of(const QByteArray &folder)
{
    // The mount table is read afresh: the folder may lie on a volume mounted
    // since the list was last filled. Reading it asks no volume anything.
    std::vector<Drive> now = seams().drives();
    const QSignalBlocker quiet(this);
    if (now != drives_) {
        drives_ = std::move(now);
        clear();
        for (const Drive &d : drives_)
            addItem(d.display());
    }
    shown_ = drive_index_of(folder, drives_);
    setCurrentIndex(shown_);
}

QByteArray DriveList::shown_mount_point() const
{
    return shown_ >= 0 && shown_ < int(drives_.size()) ? drives_[shown_].mount_point : QByteArray();
}

void DriveList::showPopup()
{
    refill(shown_mount_point());
    QComboBox::showPopup();
}

void DriveList::picked(int index)
{
    if (index == shown_ || index < 0 || index >= int(drives_.size()))
        return;
    shown_ = index;
    Q_EMIT drive_chosen(drives_[index].mount_point);
}

} // namespace talvence
