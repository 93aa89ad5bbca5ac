// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace talvence {

class frmMain;

namespace Module1 {
// The program's start: shows the main frame and returns it.
frmMain *Main();
} // namespace Module1

} // namespace talvence
