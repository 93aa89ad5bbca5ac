// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Word 2003's XML documents (WordprocessingML, "Word.Document" in their
// processing instruction), which Word saved under ".doc" as readily as
// under ".xml": the body's paragraphs and tables with bold, italic,
// underline, strike-out, size and hidden text, through the document builder
// the other readers share. Field instructions, pictures and the style
// sheet stay out of the view.

#include <memory>

#include <QByteArrayView>

class QTextDocument;

namespace talvence {

// Whether bytes are such a document: its mark in the first 4 KiB.
bool is_word_xml(QByteArrayView bytes);

// As much of the document as is well-formed; the XML reader keeps its own
// stack of elements, so no nesting can make it recurse.
std::unique_ptr<QTextDocument> read_word_xml(QByteArrayView bytes);

} // namespace talvence
