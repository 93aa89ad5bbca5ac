// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

namespace talvence {

// A mounted volume, the program's notion of a drive.
struct Drive {
    QByteArray mount_point; // raw path
    QString label;          // the volume's name, may be empty

    QString display() const;
    bool operator==(const Drive &) const = default;
};

// The mounted volumes that hold files, without the kernel's pseudo file
// systems, read afresh from the mount table on every call so that a stick
// plugged in just now shows. No volume is asked anything: one that does not
// answer (a lost network share, a stopped FUSE process) cannot hold it up.
std::vector<Drive> mounted_drives();

// The same from the text of a mount table in the kernel's mountinfo form;
// `labels` maps a device path to its volume name.
std::vector<Drive>
drives_from_mount_table(const QByteArray &mountinfo,
                        const std::function<QString(const QByteArray &)> &labels);

// The drive among `drives` whose mount point holds the folder (the deepest one).
int drive_index_of(const QByteArray &folder, const std::vector<Drive> &drives);

// Asks one volume whether it answers, off the window's thread and for a
// bounded time: a volume that has not answered by then counts as not ready.
// A new question forgets the one before; so does destroying the probe.
class DriveProbe : public QObject {
    Q_OBJECT
public:
    explicit DriveProbe(QObject *parent = nullptr);
    ~DriveProbe() override;

    void start(const QByteArray &mount_point, std::function<void(bool ready)> done);
    bool busy() const { return bool(pending_); }

    static constexpr int patience_ms = 3000;

private:
    struct Answer;
    void look();

    std::shared_ptr<Answer> pending_;
    std::function<void(bool)> done_;
    QTimer poll_;
    QElapsedTimer waited_;
};

} // namespace talvence
