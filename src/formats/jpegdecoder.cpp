// SPDX-License-Identifier: GPL-3.0-or-later
#include "jpegdecoder.h"

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace talvence {

namespace {

struct Failure {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void give_up(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<Failure *>(info->err)->jump, 1);
}

void say_nothing(j_common_ptr, int) {}

} // namespace

std::optional<QImage> decode_jpeg_rgb32(const uchar *data, qsizetype size, qint64 max_pixels)
{
    if (size < 4 || size > qsizetype(ULONG_MAX))
        return std::nullopt;
    jpeg_decompress_struct info;
    Failure failure;
    info.err = jpeg_std_error(&failure.manager);
    failure.manager.error_exit = give_up;
    failure.manager.emit_message = say_nothing;
    // Only plain data lives across the jump: the image is made after it.
    QImage *volatile image = nullptr;
    if (setjmp(failure.jump)) {
        jpeg_destroy_decompress(&info);
        delete image;
        return std::nullopt;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    if ((info.jpeg_color_space != JCS_YCbCr && info.jpeg_color_space != JCS_RGB) ||
        qint64(info.image_width) * info.image_height > max_pixels) {
        jpeg_destroy_decompress(&info);
        return std::nullopt;
    }
    info.out_color_space = JCS_EXT_BGRX;
    jpeg_start_decompress(&info);
    image = new QImage(int(info.output_width), int(info.output_height), QImage::Format_RGB32);
    if (image->isNull())
        give_up(reinterpret_cast<j_common_ptr>(&info));
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image->scanLine(int(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    QImage result = std::move(*image);
    delete image;
    return result;
}

} // namespace talvence
