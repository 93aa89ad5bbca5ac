// SPDX-License-Identifier: GPL-3.0-or-later
#include "textfile.h"

#include <algorithm>
#include <cerrno>
#include <new>

#include "compoundfile.h"
#include "plaintext.h"
#include "rawfile.h"
#include "rtfreader.h"
#include "wordreader.h"
#include "wordxmlreader.h"

namespace talvence {

QString encrypted_note()
{
    return QStringLiteral("Das Dokument ist verschlüsselt und kann nicht angezeigt werden.");
}

LoadedText read_text(QByteArrayView bytes)
{
    LoadedText out;
    if (is_word_xml(bytes)) {
        out.kind = LoadedText::Kind::rich;
        out.document = read_word_xml(bytes);
        return out;
    }
    if (is_docx(bytes)) {
        DocxDocument docx = read_docx(bytes);
        switch (docx.status) {
        case DocxDocument::Status::ok:
            out.kind = LoadedText::Kind::rich;
            out.document = std::move(docx.document);
            return out;
        case DocxDocument::Status::damaged:
            out.error = EINVAL;
            return out;
        case DocxDocument::Status::not_word:
            break; // some other archive: its bytes
        }
    }
    if (CompoundFile::is_compound_file(bytes)) {
        WordReader reader(bytes);
        switch (reader.status()) {
        case WordReader::Status::ok:
            out.kind = LoadedText::Kind::rich;
            out.document = reader.read();
            return out;
        case WordReader::Status::encrypted:
            out.kind = LoadedText::Kind::note;
            out.text = encrypted_note();
            return out;
        case WordReader::Status::not_word:
            break; // some other file in a container: its bytes
        case WordReader::Status::damaged:
        case WordReader::Status::unsupported:
            out.error = EINVAL;
            return out;
        }
    }
    if (RtfReader::is_rtf(bytes)) {
        if (!RtfReader::fits(bytes)) {
            out.error = EFBIG;
            return out;
        }
        out.kind = LoadedText::Kind::rich;
        RtfReader reader(bytes);
        out.document = read_rtf_document(reader);
    } else if (CompoundFile::is_compound_file(bytes) || looks_binary(bytes)) {
        out.kind = LoadedText::Kind::plain;
        out.text = hex_text(bytes, max_hex_chars);
    } else {
        out.kind = LoadedText::Kind::plain;
        out.text = decode_plain_text(bytes);
    }
    return out;
}

std::unique_ptr<QTextDocument> read_rtf_document(RtfReader &reader)
{
    while (!reader.read_part(rtf_part)) {
    }
    return reader.take_document();
}

LoadedText load_text_file(const QByteArray &path)
{
    const Result<QByteArray> bytes = read_raw_file(path, max_text_file_size);
    if (!bytes) {
        LoadedText failed;
        failed.error = bytes.error();
        return failed;
    }
    try {
        return read_text(*bytes);
    } catch (const std::bad_alloc &) {
        LoadedText failed;
        failed.error = ENOMEM;
        return failed;
    }
}

} // namespace talvence
