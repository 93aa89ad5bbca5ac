// SPDX-License-Identifier: GPL-3.0-or-later
#include "stopsignals.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QWidget>

#include "busywork.h"

namespace talvence {

namespace {

std::atomic<bool> received{false};
int wake[2] = {-1, -1};

// Only what is safe inside a signal handler: a flag and a byte.
void on_signal(int)
{
    received.store(true, std::memory_order_relaxed);
    const int saved = errno;
    [[maybe_unused]] const ssize_t n = ::write(wake[1], "s", 1);
    errno = saved;
}

} // namespace

void install_stop_signals(std::function<void()> stop)
{
    if (wake[0] >= 0 || ::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto *notifier =
        new QSocketNotifier(wake[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [stop] {
        char drain[64];
        while (::read(wake[0], drain, sizeof drain) > 0) {
        }
        // A rename that runs stops at its next step and calls for the end
        // itself; a message it waits on (the prefix that is too long) goes,
        // so that it gets there.
        if (!Work::state().running())
            stop();
        else if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &action, nullptr);
}

bool stop_signal_received()
{
    return received.load(std::memory_order_relaxed);
}

} // namespace talvence
