#include "drives.h"

#include <algorithm>

#include <QFile>
#include <QSet>
#include <QStorageInfo>

namespace talvence {

namespace {

bool is_pseudo(const QByteArray &type, const QByteArray &mount)
{
    static const QSet<QByteArray> pseudo = {
        "proc",       "sysfs",    "cgroup",     "cgroup2",     "devpts", "devtmpfs",
        "securityfs", "debugfs",  "tracefs",    "pstore",      "bpf",    "mqueue",
        "hugetlbfs",  "configfs", "fusectl",    "binfmt_misc", "autofs", "efivarfs",
        "selinuxfs",  "nsfs",     "rpc_pipefs", "nfsd",        "ramfs",  "overlay_internal"};
    if (pseudo.contains(type))
        return true;
    for (const char *area : {"/proc", "/sys", "/dev"})
        if (mount == area || mount.startsWith(QByteArray(QByteArray(area) + '/')))
            return true;
    // /run holds the system's scratch space; only removable media live there.
    if ((mount == "/run" || mount.startsWith("/run/")) && !mount.startsWith("/run/media/"))
        return true;
    return false;
}

} // namespace

QString Drive::display() const
{
    const QString path = QFile::decodeName(mount_point);
    return label.isEmpty() ? path : path + QStringLiteral(" [") + label + QLatin1Char(']');
}

std::vector<Drive> mounted_drives()
{
    std::vector<Drive> drives;
    for (const QStorageInfo &v : QStorageInfo::mountedVolumes()) {
        const QByteArray mount = QFile::encodeName(v.rootPath());
        if (!v.isValid() || !v.isReady() || is_pseudo(v.fileSystemType(), mount))
            continue;
        drives.push_back({mount, v.name()});
    }
    std::sort(drives.begin(), drives.end(),
              [](const Drive &a, const Drive &b) { return a.mount_point < b.mount_point; });
    return drives;
}

int drive_index_of(const QByteArray &folder, const std::vector<Drive> &drives)
{
    int best = -1;
    qsizetype best_len = -1;
    for (int i = 0; i < int(drives.size()); ++i) {
        const QByteArray &m = drives[i].mount_point;
        const bool holds = m == "/" || folder == m || folder.startsWith(QByteArray(m + '/'));
        if (holds && m.size() > best_len) {
            best = i;
            best_len = m.size();
        }
    }
    return best;
}

} // namespace talvence
