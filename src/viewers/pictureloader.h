#pragma once

// The picture loader of the image viewer: a whole picture file, read by its
// raw path, decoded to an image. PCX files (recognised by their first bytes,
// whatever their name) go to the program's own decoder; everything else to
// Qt's image readers, which recognise their formats by content as well:
// BMP, GIF (its first frame), JPEG, PNG, and the others of this Qt build.
// Qt's allocation limit stays on, so a picture that claims an absurd size
// fails like any broken one.

#include <optional>

#include <QByteArray>
#include <QImage>

namespace talvence {

// Larger picture files are refused without being read.
inline constexpr qint64 max_picture_file_size = qint64(256) << 20;

// The picture held by `bytes`; empty when it is none that can be decoded.
std::optional<QImage> decode_picture(const QByteArray &bytes);

// The picture in the file at `path`; empty when the file cannot be read
// (*error then holds its errno value) or decoded (*error 0).
std::optional<QImage> load_picture(const QByteArray &path, int *error = nullptr);

} // namespace talvence
