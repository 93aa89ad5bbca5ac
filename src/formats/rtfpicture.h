// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A picture of an RTF document (\pict): its data, in hex digits or as
// \bin bytes, and the size the document shows it at. PNG and JPEG pictures
// are shown; others (metafiles, bitmaps of Windows) are not collected.

#include <optional>
#include <string_view>

#include <QByteArray>
#include <QTextImageFormat>

class QTextDocument;

namespace talvence {

enum class PictureType : int { other = 0, png = 1, jpeg = 2 };

// What \picw, \pich, \picwgoal, \pichgoal, \picscalex and \picscaley set.
enum class PictureSize : int { width, height, goal_width, goal_height, scale_x, scale_y };

class RtfPicture {
public:
    // A \pict group begins; what was collected before is dropped.
    void begin();
    void set_type(PictureType type) { type_ = type; }
    void set_size(PictureSize which, int value);
    // Hex digits of the data; other characters between them are passed over.
    void add_hex(std::string_view text);
    void add_binary(std::string_view bytes);

    // The picture as a format for `document`, its image added there as a
    // resource, at the size the document asks for; nullopt for a picture
    // that cannot be shown (of another type, with bytes that do not decode).
    // The collected data is dropped either way.
    std::optional<QTextImageFormat> finish(QTextDocument *document);
    // Drops the collected data.
    void discard() { begin(); }

private:
    PictureType type_ = PictureType::other;
    int goal_width_ = 0, goal_height_ = 0; // twips
    int scale_x_ = 100, scale_y_ = 100;
    QByteArray data_;
    int nibble_ = -1;  // a hex digit waiting for its partner
    int pictures_ = 0; // of the document, for the resources' names
};

} // namespace talvence
