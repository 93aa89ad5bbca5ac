// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A file read whole, by its raw path, as an RTF document with its formatting
// or as plain text. The text viewer reads RTF documents this way; plain text
// it reads in place, whatever its size (linefile.h).

#include <memory>

#include <QByteArray>
#include <QString>
#include <QTextDocument>

namespace talvence {

// Larger files are refused: a document of a bigger file would need several
// times its size in memory (UTF-16, layout).
inline constexpr qint64 max_text_file_size = qint64(256) << 20;

struct LoadedText {
    enum class Kind { failed, rich, plain };
    Kind kind = Kind::failed;
    // The errno value of a failed load; EFBIG above max_text_file_size, and
    // for an RTF document of more paragraphs than memory can hold (RtfReader::fits).
    int error = 0;
    // An RTF document (kind rich), owned by the caller from here on.
    std::unique_ptr<QTextDocument> document;
    // Any other file (kind plain).
    QString text;
};

// The content of bytes: rich when they start with "{\rtf", plain otherwise.
LoadedText read_text(QByteArrayView bytes);

// Reads the file at `path` (raw bytes, as listed) and returns read_text of
// its content, or a failure: a vanished file, a folder, a file above the cap.
// A rich result's document lives in the calling thread; call this from the
// thread that shows it.
LoadedText load_text_file(const QByteArray &path);

} // namespace talvence
