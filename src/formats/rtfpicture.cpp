// SPDX-License-Identifier: GPL-3.0-or-later
#include "rtfpicture.h"

#include <algorithm>
#include <climits>

#include <QImage>
#include <QTextDocument>
#include <QUrl>

#include "pictureloader.h"
#include "twips.h"

namespace talvence {

namespace {

constexpr int max_twips = 31680;     // 22 inches, the widest page a word processor offers
constexpr int max_picture_px = 4096; // a side of a picture in the view

} // namespace

void RtfPicture::begin()
{
    type_ = PictureType::other;
    goal_width_ = goal_height_ = 0;
    scale_x_ = scale_y_ = 100;
    data_ = QByteArray();
    nibble_ = -1;
}

void RtfPicture::set_size(PictureSize which, int value)
{
    switch (which) {
    case PictureSize::width:
    case PictureSize::height:
        break; // the decoded picture's own size is the one that holds
    case PictureSize::goal_width:
        goal_width_ = std::clamp(value, 0, max_twips);
        break;
    case PictureSize::goal_height:
        goal_height_ = std::clamp(value, 0, max_twips);
        break;
    case PictureSize::scale_x:
        scale_x_ = std::clamp(value, 1, 1000);
        break;
    case PictureSize::scale_y:
        scale_y_ = std::clamp(value, 1, 1000);
        break;
    }
}

void RtfPicture::add_hex(std::string_view text)
{
    // Pictures Qt cannot draw are not collected at all.
    if (type_ == PictureType::other)
        return;
    for (const char c : text) {
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else
            continue;
        if (nibble_ < 0) {
            nibble_ = v;
        } else {
            data_.append(char(nibble_ << 4 | v));
            nibble_ = -1;
        }
    }
}

void RtfPicture::add_binary(std::string_view bytes)
{
    data_.append(bytes.data(), qsizetype(bytes.size()));
}

std::optional<QTextImageFormat> RtfPicture::finish(QTextDocument *document)
{
    const PictureType type = type_;
    const QByteArray data = std::exchange(data_, QByteArray());
    const int goal_width = goal_width_, goal_height = goal_height_;
    const int scale_x = scale_x_, scale_y = scale_y_;
    begin();
    if (type == PictureType::other || data.isEmpty())
        return std::nullopt;
    std::optional<QImage> image = decode_picture(data);
    if (!image || image->isNull())
        return std::nullopt;
    auto side = [](int goal, int own, int scale) {
        const qint64 twips = goal > 0 ? goal : qint64(own) * twips_per_pixel;
        return int(std::clamp<qint64>(px(int(std::min<qint64>(twips * scale / 100, INT_MAX))), 1,
                                      max_picture_px));
    };
    const int width = side(goal_width, image->width(), scale_x);
    const int height = side(goal_height, image->height(), scale_y);
    // A picture kept at more than twice the size it is shown at only takes
    // memory.
    if (image->width() > 2 * width || image->height() > 2 * height)
        *image =
            image->scaled(2 * width, 2 * height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QString name = QStringLiteral("rtf-picture:%1").arg(++pictures_);
    document->addResource(QTextDocument::ImageResource, QUrl(name), *image);
    QTextImageFormat format;
    format.setName(name);
    format.setWidth(width);
    format.setHeight(height);
    return format;
}

} // namespace talvence
