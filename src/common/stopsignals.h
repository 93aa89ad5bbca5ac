// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// SIGTERM, SIGINT and SIGHUP (a kill, Ctrl+C in a terminal, a logout) end
// the program cleanly: outside a rename `stop` runs as the next event;
// during one, the rename sees stop_signal_received() and stops between two
// renames, and `stop` runs once it has.

#include <functional>

namespace talvence {

void install_stop_signals(std::function<void()> stop);
bool stop_signal_received();
// While `working` answers true, a stop signal leaves `stop` to the work that
// runs, which checks stop_signal_received() between its steps.
void defer_stop_while(std::function<bool()> working);

} // namespace talvence
