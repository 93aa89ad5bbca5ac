// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes for the Word readers: the compound file, Word's binary
// format and Word 2003's XML. Whatever the bytes, the reader ends without a
// crash, a bad read or a hang, and what it shows is text the view can take.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QByteArrayView>
#include <QGuiApplication>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

#include "compoundfile.h"
#include "documentchecks.h"
#include "wordreader.h"
#include "wordxmlreader.h"

namespace {

using fuzzing::check;

// Each character shown costs the file a byte at least, a table's cells (63
// to a row at most) a few.
void check_document(const QTextDocument &doc, qsizetype input)
{
    fuzzing::check_document(doc, 64 * input + 64);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzzing::start_gui(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    talvence::WordReader reader(bytes);
    if (reader.status() == talvence::WordReader::Status::ok) {
        const std::unique_ptr<QTextDocument> doc = reader.read();
        check(doc != nullptr);
        check_document(*doc, bytes.size());
    }
    if (talvence::is_word_xml(bytes))
        check_document(*talvence::read_word_xml(bytes), bytes.size());
    return 0;
}
