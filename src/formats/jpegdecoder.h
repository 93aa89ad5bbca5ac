// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include <QImage>

class QIODevice;

namespace talvence {

// Decodes a colour JPEG straight into the screen's format
// (QImage::Format_RGB32): libjpeg-turbo writes each line as blue, green, red
// and a filler byte, so the pixels are touched once, where Qt's reader
// decodes to three bytes a pixel and then widens every line. Nothing for
// grey pictures (Qt keeps them grey), other colour spaces (CMYK, YCCK), beyond max_pixels, or that
// libjpeg refuses: the caller then takes Qt's reader. Reads the device
// from where it stands.
std::optional<QImage> decode_jpeg_rgb32(QIODevice *device, qint64 max_pixels);

} // namespace talvence
