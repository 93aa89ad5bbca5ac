// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The picture loader of the image viewer: a picture file, read by its raw
// path, decoded to an image. PCX files (recognised by their first bytes,
// whatever their name) go to the program's own decoder; everything else to
// Qt's image readers, which recognise their formats by content as well:
// BMP, GIF (its first frame), JPEG, PNG, and the others of this Qt build.
// The readers read the file as they decode it, so what the load holds is
// the picture and a few buffers, not the file besides.

#include <optional>

#include <QByteArray>
#include <QImage>

#include "result.h"

class QIODevice;

namespace talvence {

// The largest picture shown: 16,384 x 12,288 pixels (201,326,592; a
// 200-megapixel camera's) or any other shape of as many pixels.
inline constexpr qint64 max_picture_pixels = qint64(16384) * 12288;
// What its pixels take at four bytes each, in MiB: Qt's allocation limit
// for images, so no reader allocates more whatever a header claims. A format
// decoded at eight bytes a pixel (16-bit PNG) gets half as many pixels.
inline constexpr int max_picture_mib = int(max_picture_pixels * 4 >> 20);
// Larger picture files are refused without being read: a picture of the
// largest size kept raw (BMP at 32 bits) is 768 MiB.
inline constexpr qint64 max_picture_file_size = qint64(1) << 30;

// The picture on `device` (open for reading); empty when it is none that
// can be decoded or it has more than max_picture_pixels.
std::optional<QImage> decode_picture(QIODevice *device);
std::optional<QImage> decode_picture(const QByteArray &bytes);

// The picture in the file at `path`, or why not: the errno value of a file
// that cannot be read (EFBIG above max_picture_file_size), 0 for one that
// cannot be decoded.
Result<QImage> load_picture(const QByteArray &path);

} // namespace talvence
