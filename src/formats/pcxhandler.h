// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The PCX decoder (ZSoft Paintbrush pictures; Qt has none). A Qt image
// handler reading from any QIODevice, so the picture loader and the tests
// feed it bytes alike. It reads versions 0 to 5: 1 bit monochrome; 2, 3 or
// 4 planes of 1 bit (EGA, 16 colours) and 1 plane of 2 or 4 bits with the
// palette in the header; 8 bits with the 256-colour palette at the end of
// the file; 24 and 32 bits as three or four planes; run-length encoded or
// not. A file that does not hold what its header promises is refused, never
// read beyond; the image is allocated through Qt's allocation limit.

#include <QImageIOHandler>

class QIODevice;

namespace talvence {

class PcxHandler : public QImageIOHandler {
public:
    bool canRead() const override;
    bool read(QImage *image) override;
    QVariant option(ImageOption option) const override;
    bool supportsOption(ImageOption option) const override;

    // Whether the device's next bytes begin like a PCX file; reads nothing.
    static bool canRead(QIODevice *device);
};

} // namespace talvence
