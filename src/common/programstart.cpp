// SPDX-License-Identifier: GPL-3.0-or-later
#include "programstart.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>

extern char **environ;

namespace talvence {

namespace {

void tell(int fd, int error)
{
    while (::write(fd, &error, sizeof error) < 0 && errno == EINTR) {
    }
}

} // namespace

bool start_detached(const QByteArray &path)
{
    if (path.isEmpty() || path.contains('\0'))
        return false;
    // The child's exec closes this pipe; a failed exec writes its errno first.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return false;
    char *const argv[] = {const_cast<char *>(path.constData()), nullptr};
    const pid_t middle = ::fork();
    if (middle < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (middle == 0) {
        // Only calls that are safe after fork from here on. The program runs
        // in a grandchild of its own session, so it outlives us and no one
        // has to reap it.
        ::close(report[0]);
        ::setsid();
        const pid_t program = ::fork();
        if (program < 0) {
            tell(report[1], errno);
            ::_exit(1);
        }
        if (program == 0) {
            sigset_t none;
            ::sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            ::signal(SIGPIPE, SIG_DFL);
            ::execve(path.constData(), argv, environ);
            tell(report[1], errno);
            ::_exit(127);
        }
        ::_exit(0);
    }
    ::close(report[1]);
    while (::waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t n;
    while ((n = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    return n == 0;
}

QByteArray program_folder()
{
    QByteArray path(4096, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", path.data(), std::size_t(path.size()));
        if (n < 0)
            return QFile::encodeName(QCoreApplication::applicationDirPath());
        if (n < path.size()) {
            path.truncate(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

} // namespace talvence
