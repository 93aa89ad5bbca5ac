// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Reading a whole file by its raw path. A path is bytes, like the names in
// it: it goes to open() exactly as the folder listing produced it, so a name
// that is not UTF-8 opens the file it names.

#include <optional>

#include <QByteArray>

namespace talvence {

// The whole content of the regular file at `path`. On failure an empty
// optional and *error set to an errno value: ENOENT for a vanished file,
// EISDIR or EINVAL for anything that is not a regular file (a folder, a FIFO
// that would block), EFBIG when the file holds more than `cap` bytes,
// ENOMEM when the memory for it cannot be had.
std::optional<QByteArray> read_raw_file(const QByteArray &path, qint64 cap, int *error = nullptr);

} // namespace talvence
