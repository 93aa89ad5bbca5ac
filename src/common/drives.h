#pragma once

#include <vector>

#include <QByteArray>
#include <QString>

namespace talvence {

// A mounted volume, the program's notion of a drive.
struct Drive {
    QByteArray mount_point; // raw path
    QString label;          // the volume's name, may be empty

    QString display() const;
};

// The mounted volumes that hold files, without the kernel's pseudo file
// systems, read afresh on every call so that a stick plugged in just now shows.
std::vector<Drive> mounted_drives();

// The drive among `drives` whose mount point holds the folder (the deepest one).
int drive_index_of(const QByteArray &folder, const std::vector<Drive> &drives);

} // namespace talvence
