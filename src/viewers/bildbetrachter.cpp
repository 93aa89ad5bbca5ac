// SPDX-License-Identifier: GPL-3.0-or-later
#include "bildbetrachter.h"

#include <QImage>
#include <QLabel>
#include <QPixmap>

#include "twips.h"

namespace talvence {

namespace {

// The client area: holds the picture where it was put and asks for the
// designed size without insisting on it, so the window can be made smaller.
class PictureArea : public QWidget {
public:
    using QWidget::QWidget;
    QSize sizeHint() const override { return twips_size(10290, 7575); }
    QSize minimumSizeHint() const override { return {}; }
};

} // namespace

bildbetrachter::bildbetrachter(QWidget *parent) : ChildWindow(parent)
{
    setObjectName(QStringLiteral("bildbetrachter"));
    setWindowTitle(QStringLiteral("Bildbetrachter"));
    setWindowFlags(Qt::SubWindow | Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    auto *client = new PictureArea(this);
    client->setObjectName(QStringLiteral("bildbetrachter_client"));
    client->setMinimumSize(1, 1);
    Image1 = new QLabel(client);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setAccessibleName(QStringLiteral("Bild"));
    Image1->setGeometry(twips_rect(0, 0, 10215, 7575));
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setWidget(client);
}

void bildbetrachter::showEvent(QShowEvent *event)
{
    // The title bar's height is known once the window is polished, and only
    // then can the window be sized so that its client area is as designed.
    if (!sized_) {
        sized_ = true;
        resize(sizeHint());
    }
    ChildWindow::showEvent(event);
}

void bildbetrachter::set_picture(QImage picture)
{
    const QSize size = picture.size();
    // The old picture goes first, so that two are never held at once past
    // this point; from an image of its own the pixmap takes the pixels over.
    // A photo at three bytes a pixel stays so: painting widens only what is
    // on screen, where a conversion would double the memory for a moment
    // and touch every pixel once more.
    const Qt::ImageConversionFlags keep =
        picture.format() == QImage::Format_RGB888 ? Qt::NoFormatConversion : Qt::AutoColor;
    Image1->clear();
    Image1->setPixmap(QPixmap::fromImage(std::move(picture), keep));
    Image1->setGeometry(QRect(QPoint(0, 0), size));
}

} // namespace talvence
