// SPDX-License-Identifier: GPL-3.0-or-later
#include "buttonpictures.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace talvence {

namespace {

constexpr int side = 49;
const QColor pale(0xFF, 0xFB, 0xE6);
const QColor ink(0x10, 0x20, 0x70);

QFont picture_font(int pixel_size, bool bold = true)
{
    // Drawn in DejaVu Sans; where it is missing, the Liberation Sans of the
    // windows' captions, never whatever fontconfig calls sans-serif.
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixel_size);
    f.setBold(bold);
    return f;
}

void letters(QPainter &p, const QString &text)
{
    p.setFont(picture_font(17));
    p.setPen(ink);
    p.drawText(QRect(0, 0, side, side), Qt::AlignCenter, text);
}

void numbering(QPainter &p)
{
    p.setFont(picture_font(11));
    const char *rows[3][2] = {{"3", "1"}, {"1", "2"}, {"2", "3"}};
    for (int i = 0; i < 3; ++i) {
        const int y = 5 + i * 14;
        p.setPen(QColor(0x80, 0x20, 0x20));
        p.drawText(QRect(5, y, 12, 12), Qt::AlignCenter, QString::fromLatin1(rows[i][0]));
        p.setPen(ink);
        p.drawText(QRect(32, y, 12, 12), Qt::AlignCenter, QString::fromLatin1(rows[i][1]));
        // the arrow from old number to new
        p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1.6));
        const qreal ay = y + 6.5;
        p.drawLine(QPointF(18, ay), QPointF(30, ay));
        QPainterPath head;
        head.moveTo(31, ay);
        head.lineTo(26.5, ay - 3);
        head.lineTo(26.5, ay + 3);
        head.closeSubpath();
        p.fillPath(head, QColor(0x30, 0x30, 0x30));
    }
}

void quit_sign(QPainter &p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x40, 0x40, 0x44));
    p.drawEllipse(QRectF(5.5, 5.5, 38, 38));
    p.setPen(QPen(QColor(0xE0, 0x10, 0x10), 6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(16, 16), QPointF(33, 33));
    p.drawLine(QPointF(33, 16), QPointF(16, 33));
}

} // namespace

QPixmap button_picture(ButtonPicture which)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(pale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    switch (which) {
    case ButtonPicture::Upper:
        letters(p, QStringLiteral("A B C"));
        break;
    case ButtonPicture::Lower:
        letters(p, QStringLiteral("a b c"));
        break;
    case ButtonPicture::Numbering:
        numbering(p);
        break;
    case ButtonPicture::Quit:
        quit_sign(p);
        break;
    }
    p.end();
    return QPixmap::fromImage(image);
}

QIcon rename_window_icon()
{
    // The 16 colours of the classic VGA palette.
    static const QList<QRgb> vga = {0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000,
                                    0xFF000080, 0xFF800080, 0xFF008080, 0xFFC0C0C0,
                                    0xFF808080, 0xFFFF0000, 0xFF00FF00, 0xFFFFFF00,
                                    0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF};
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    // a folder ...
    p.setPen(QColor(0x80, 0x80, 0x00));
    p.setBrush(QColor(0xFF, 0xFF, 0x00));
    p.drawRect(2, 9, 27, 19);
    p.drawRect(2, 6, 11, 3);
    // ... whose files carry running numbers
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(7, 12, 18, 13);
    p.setPen(QColor(0x00, 0x00, 0x80));
    p.setFont(picture_font(10));
    p.drawText(QRect(7, 12, 18, 13), Qt::AlignCenter, QStringLiteral("123"));
    p.end();
    const QImage indexed =
        image.convertToFormat(QImage::Format_Indexed8, vga, Qt::ThresholdDither | Qt::AvoidDither);
    // keep the transparent corners: the palette has no transparent entry
    QImage shown = indexed.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            if (qAlpha(image.pixel(x, y)) == 0)
                shown.setPixel(x, y, 0);
    return QIcon(QPixmap::fromImage(shown));
}

} // namespace talvence
