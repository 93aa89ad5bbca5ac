// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include <QComboBox>

#include "drives.h"

namespace talvence {

// The drive list. Reads the mounted volumes afresh each time it opens and
// each time the folder changes, always shows the drive of the current folder
// (or the one just chosen), and reports a drive only when the user picks one
// other than the one shown.
class DriveList : public QComboBox {
    Q_OBJECT
public:
    explicit DriveList(QWidget *parent = nullptr);

    // Shows the drive that holds the folder, without reporting a choice.
    void show_drive_of(const QByteArray &folder);
    QByteArray shown_mount_point() const;
    void showPopup() override;

Q_SIGNALS:
    void drive_chosen(const QByteArray &mount_point);

private:
    void refill(const QByteArray &keep);
    void picked(int index);

    std::vector<Drive> drives_;
    int shown_ = -1;
};

} // namespace talvence
