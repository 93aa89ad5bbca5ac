// SPDX-License-Identifier: GPL-3.0-or-later
#include "drives.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <thread>
#include <unistd.h>

#include <QHash>
#include <QSet>

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

// The mount table writes blanks, tabs, line breaks and backslashes of a path
// as three octal digits after a backslash; every other byte stands as it is.
QByteArray unescape_octal(const QByteArray &field)
{
    const auto octal = [](char d) { return d >= '0' && d <= '7'; };
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && octal(field[i + 1]) &&
            octal(field[i + 2]) && octal(field[i + 3])) {
            out += char(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                        (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

// udev names a volume in /dev/disk/by-label with its own escapes (\x20 for a
// blank); the link leads to the device.
QHash<QByteArray, QString> volume_labels()
{
    QHash<QByteArray, QString> labels;
    const char *folder = "/dev/disk/by-label";
    DIR *dir = ::opendir(folder);
    if (!dir)
        return labels;
    while (const dirent *d = ::readdir(dir)) {
        if (d->d_name[0] == '.')
            continue;
        const QByteArray link = QByteArray(folder) + '/' + d->d_name;
        char resolved[PATH_MAX];
        if (!::realpath(link.constData(), resolved))
            continue;
        QByteArray name(d->d_name);
        QByteArray plain;
        for (qsizetype i = 0; i < name.size(); ++i) {
            if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
                bool ok = false;
                const int byte = name.mid(i + 2, 2).toInt(&ok, 16);
                if (ok) {
                    plain += char(byte);
                    i += 3;
                    continue;
                }
            }
            plain += name[i];
        }
        labels.insert(QByteArray(resolved), QString::fromUtf8(plain));
    }
    ::closedir(dir);
    return labels;
}

} // namespace

QString Drive::display() const
{
    const QString path = QString::fromUtf8(mount_point); // stray bytes show as U+FFFD
    return label.isEmpty() ? path : path + QStringLiteral(" [") + label + QLatin1Char(']');
}

std::vector<Drive> drives_from_mount_table(const QByteArray &mountinfo,
                                           const std::function<QString(const QByteArray &)> &labels)
{
    std::vector<Drive> drives;
    for (const QByteArray &line : mountinfo.split('\n')) {
        // id parent major:minor root mount-point options [optional...] - type source super
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype dash = fields.indexOf(QByteArray("-"));
        if (fields.size() < 5 || dash < 6 || dash + 2 >= fields.size())
            continue;
        const QByteArray mount = unescape_octal(fields[4]);
        const QByteArray type = fields[dash + 1];
        const QByteArray source = unescape_octal(fields[dash + 2]);
        if (mount.isEmpty() || mount[0] != '/' || is_pseudo(type, mount))
            continue;
        // A later mount on the same folder covers the earlier one.
        drives.erase(std::remove_if(drives.begin(), drives.end(),
                                    [&](const Drive &d) { return d.mount_point == mount; }),
                     drives.end());
        drives.push_back({mount, labels ? labels(source) : QString()});
    }
    std::sort(drives.begin(), drives.end(),
              [](const Drive &a, const Drive &b) { return a.mount_point < b.mount_point; });
    return drives;
}

std::vector<Drive> mounted_drives()
{
    QByteArray table;
    const int fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        char buffer[65536];
        ssize_t n;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
            if (n > 0)
                table.append(buffer, n);
        ::close(fd);
    }
    const QHash<QByteArray, QString> labels = volume_labels();
    auto drives = drives_from_mount_table(
        table, [&](const QByteArray &device) { return labels.value(device); });
    if (drives.empty())
        drives.push_back({"/", QString()}); // no mount table to read: the root is always there
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

// What the asking thread leaves for the window's thread. The thread keeps
// its own reference: if the volume never answers, the thread stays blocked
// and the window has long forgotten it, but nothing it touches goes away.
struct DriveProbe::Answer {
    std::atomic<bool> arrived{false};
    std::atomic<bool> ready{false};
};

DriveProbe::DriveProbe(QObject *parent) : QObject(parent)
{
    poll_.setInterval(20);
    connect(&poll_, &QTimer::timeout, this, &DriveProbe::look);
}

DriveProbe::~DriveProbe() = default;

void DriveProbe::start(const QByteArray &mount_point, std::function<void(bool ready)> done)
{
    auto answer = std::make_shared<Answer>();
    pending_ = answer;
    done_ = std::move(done);
    waited_.start();
    std::thread([answer, path = mount_point] {
        bool ready = false;
        const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            struct statfs fs;
            ready = ::fstatfs(fd, &fs) == 0;
            ::close(fd);
        }
        answer->ready = ready;
        answer->arrived = true;
    }).detach();
    poll_.start();
}

void DriveProbe::look()
{
    const bool arrived = pending_->arrived;
    if (!arrived && !waited_.hasExpired(patience_ms))
        return;
    poll_.stop();
    const bool ready = arrived && pending_->ready;
    pending_.reset();
    auto done = std::move(done_);
    done_ = nullptr;
    if (done)
        done(ready);
}

} // namespace talvence
