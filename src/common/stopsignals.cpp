// SPDX-License-Identifier: GPL-3.0-or-later
#include "stopsignals.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>

namespace talvence {

namespace {

std::atomic<bool> received{false};
int wake[2] = {-1, -1};
std::function<bool()> busy;

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
        // Work that runs stops at its next step and calls for the end itself.
        if (!busy || !busy())
            stop();
    });
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &action, nullptr);
}

void defer_stop_while(std::function<bool()> working)
{
    busy = std::move(working);
}

bool stop_signal_received()
{
    return received.load(std::memory_order_relaxed);
}

} // namespace talvence
