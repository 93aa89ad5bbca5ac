// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

namespace talvence {

// Where TALVENCE_FIRST_PAINT is set, writes the monotonic clock's time in
// nanoseconds to standard output once the window has painted for the first
// time: the start-up benchmark reads it against the moment it started us.
void report_first_paint(QWidget *window);

} // namespace talvence
