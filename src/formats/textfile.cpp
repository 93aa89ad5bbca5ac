// SPDX-License-Identifier: GPL-3.0-or-later
#include "textfile.h"

#include <cerrno>
#include <new>

#include "plaintext.h"
#include "rawfile.h"
#include "rtfreader.h"

namespace talvence {

LoadedText read_text(QByteArrayView bytes)
{
    LoadedText out;
    if (RtfReader::is_rtf(bytes)) {
        if (!RtfReader::fits(bytes)) {
            out.error = EFBIG;
            return out;
        }
        out.kind = LoadedText::Kind::rich;
        out.document = RtfReader(bytes).read();
    } else {
        out.kind = LoadedText::Kind::plain;
        out.text = decode_plain_text(bytes);
    }
    return out;
}

LoadedText load_text_file(const QByteArray &path)
{
    int error = 0;
    const std::optional<QByteArray> bytes = read_raw_file(path, max_text_file_size, &error);
    if (!bytes) {
        LoadedText failed;
        failed.error = error;
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
