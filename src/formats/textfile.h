// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A file read whole, by its raw path, as a document with its formatting (RTF,
// Word's binary format of Word 6 to 2003, or Word's XML), as plain text, or, when it is
// not text at all, as a hex view of its bytes. What a file is, its content
// says, never its name. The text viewer reads whole documents this way (an
// RTF document a part at a time between the user's events, richtextbox.h);
// plain text and the hex view it reads in place, whatever the size
// (linefile.h).

#include <chrono>
#include <memory>

#include <QByteArray>
#include <QString>
#include <QTextDocument>

namespace talvence {

// Larger files are refused: a document of a bigger file would need several
// times its size in memory (UTF-16, layout).
inline constexpr qint64 max_text_file_size = qint64(256) << 20;

class RtfReader;

// A part of an RTF document read at a time: the viewer reads one between
// two of the user's events.
inline constexpr std::chrono::milliseconds rtf_part{25};

struct LoadedText {
    enum class Kind { failed, rich, plain, note };
    Kind kind = Kind::failed;
    // The errno value of a failed load; EFBIG above max_text_file_size, and
    // for an RTF document of more paragraphs than memory can hold (RtfReader::fits).
    int error = 0;
    // An RTF document (kind rich), owned by the caller from here on.
    std::unique_ptr<QTextDocument> document;
    // Any other file (kind plain): its text, or its hex view (at most
    // max_hex_chars of it); kind note: the program's own words in its place.
    QString text;
};

inline constexpr qsizetype max_hex_chars = qsizetype(16) << 20;

// What the viewer says of a document protected by a password.
QString encrypted_note();

// What bytes are: an RTF document (they start with "{\rtf"), a Word
// document (a compound file with a Word document in it), Word 2003's XML
// or a Word package (.docx) as rich; a Word document or package that cannot
// be read fails with EINVAL, a protected document is a note; anything else
// (another archive too) is plain, as text or as its hex view (looks_binary).
LoadedText read_text(QByteArrayView bytes);

// Reads on with `reader` to the end of its document, a part of rtf_part at
// a time as the viewer does, and hands the document over.
std::unique_ptr<QTextDocument> read_rtf_document(RtfReader &reader);

// Reads the file at `path` (raw bytes, as listed) and returns read_text of
// its content, or a failure: a vanished file, a folder, a file above the cap.
// A rich result's document lives in the calling thread; call this from the
// thread that shows it.
LoadedText load_text_file(const QByteArray &path);

} // namespace talvence
