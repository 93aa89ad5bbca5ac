// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QImage>

class QIODevice;

namespace talvence {

// Decodes a colour JPEG into three bytes a pixel (QImage::Format_RGB888),
// as libjpeg-turbo writes it: the pixels are touched once, where Qt's reader
// widens every line to four bytes after decoding. A photo so costs a
// quarter less memory, and only the part of it on screen is ever widened,
// when it is painted. Nothing for grey pictures (Qt keeps them grey), other
// colour spaces (CMYK, YCCK), beyond max_pixels, or that libjpeg refuses:
// the caller then takes Qt's reader. Reads the device from where it stands.
std::optional<QImage> decode_jpeg(QIODevice *device, qint64 max_pixels);

} // namespace talvence
