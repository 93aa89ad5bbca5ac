// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Which way a click on a file goes, decided by the last four characters of
// its name alone; the system's own file associations are never asked.

#include <QByteArray>

namespace talvence {

enum class FileAction { image_viewer, text_viewer, start_program, ask_viewer };

// The tail of the name (name_tail), upper-cased character by character, must
// equal one of the four-character keys exactly: "photo.jpeg" asks, "a.b" asks,
// ".ini" is text. Pure: no file is looked at.
FileAction classify_file_name(const QByteArray &name);

} // namespace talvence
