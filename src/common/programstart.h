// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Starting a file as a program, and finding the program's own folder: both
// by raw bytes, so that a name that is not UTF-8 reaches the system exactly.

#include <QByteArray>

namespace talvence {

// Starts the file at `path` as a program of its own: no shell, no
// arguments, the process's working folder, nothing left for us to wait for.
// False when the system refuses to run it.
bool start_detached(const QByteArray &path);

// The folder that holds the running program, as the system resolves it
// (/proc/self/exe), so that a link to the program elsewhere still finds
// what lies beside it.
QByteArray program_folder();

} // namespace talvence
