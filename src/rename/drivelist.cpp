#include "drivelist.h"

#include "seams.h"

#include <QSignalBlocker>

namespace talvence {

DriveList::DriveList(QWidget *parent) : QComboBox(parent)
{
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
    refill({});
    const QSignalBlocker quiet(this);
    shown_ = drive_index_of(folder, drives_);
    setCurrentIndex(shown_);
}

QByteArray DriveList::shown_mount_point() const
{
    return shown_ >= 0 && shown_ < int(drives_.size()) ? drives_[shown_].mount_point
                                                       : QByteArray();
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
