// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Word's XML documents, through the document builder the other readers
// share: Word 2003's WordprocessingML ("Word.Document" in its processing
// instruction), which Word saved under ".doc" as readily as under ".xml",
// and the package of Word 2007 and later (.docx, a ZIP archive), whose main
// part is the same language in a namespace of its own. Both are read by one
// reader, which knows an element by its namespace and name: the body's
// paragraphs with their alignment, runs with bold, italic, underline,
// strike-out, size and hidden text, tabs and breaks, tables with their
// column widths and borders, and footnotes and endnotes at the end after a
// rule, as the other readers put them. Field instructions, pictures, text
// boxes, headers, footers and the style sheet stay out of the view.

#include <memory>

#include <QByteArrayView>

class QTextDocument;

namespace talvence {

// Whether bytes are a Word 2003 XML document: its mark in the first 4 KiB.
bool is_word_xml(QByteArrayView bytes);

// As much of the document as is well-formed; the XML reader keeps its own
// stack of elements, so no nesting can make it recurse.
std::unique_ptr<QTextDocument> read_word_xml(QByteArrayView bytes);

// Whether bytes look like a Word package: a ZIP archive with Word's part
// names in its first MiB. Only such an archive is read; one that cannot be
// is a damaged Word document, any other archive is bytes.
bool is_docx(QByteArrayView bytes);

struct DocxDocument {
    enum class Status { ok, not_word, damaged };
    Status status = Status::damaged;
    std::unique_ptr<QTextDocument> document; // when ok
    bool complete = true;                    // false: cut after the characters asked for
};

// The document of a ZIP archive: ok with the document of its main part;
// not_word for an archive that holds no Word document (some other archive,
// a spreadsheet's package); damaged for an archive that cannot be read or
// whose document part cannot be inflated. With `max_characters` (not
// negative), the text ends soon after that many characters, without its
// notes: the viewer's first screen.
DocxDocument read_docx(QByteArrayView bytes, qint64 max_characters = -1);

} // namespace talvence
