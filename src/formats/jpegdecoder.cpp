// SPDX-License-Identifier: GPL-3.0-or-later
#include "jpegdecoder.h"

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <memory>

#include <QIODevice>

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

// Reads the device in pieces, as a file is read: a mapped file would count
// all its pages to the process beside the pixels.
struct Source {
    jpeg_source_mgr manager;
    QIODevice *device;
    char piece[65536];
};

void start(j_decompress_ptr) {}

boolean fill(j_decompress_ptr info)
{
    auto *source = reinterpret_cast<Source *>(info->src);
    qint64 n = source->device->read(source->piece, sizeof source->piece);
    if (n <= 0) {
        // The end before the picture's: libjpeg ends it as a JPEG ends.
        source->piece[0] = char(0xFF);
        source->piece[1] = char(JPEG_EOI);
        n = 2;
    }
    source->manager.next_input_byte = reinterpret_cast<const JOCTET *>(source->piece);
    source->manager.bytes_in_buffer = std::size_t(n);
    return TRUE;
}

void skip(j_decompress_ptr info, long count)
{
    auto *source = reinterpret_cast<Source *>(info->src);
    while (count > long(source->manager.bytes_in_buffer)) {
        count -= long(source->manager.bytes_in_buffer);
        fill(info);
    }
    source->manager.next_input_byte += count;
    source->manager.bytes_in_buffer -= std::size_t(count);
}

void finish(j_decompress_ptr) {}

} // namespace

std::optional<QImage> decode_jpeg(QIODevice *device, qint64 max_pixels)
{
    jpeg_decompress_struct info;
    auto source = std::make_unique<Source>();
    source->device = device;
    source->manager.init_source = start;
    source->manager.fill_input_buffer = fill;
    source->manager.skip_input_data = skip;
    source->manager.resync_to_restart = jpeg_resync_to_restart;
    source->manager.term_source = finish;
    source->manager.bytes_in_buffer = 0;
    source->manager.next_input_byte = nullptr;
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
    info.src = &source->manager;
    jpeg_read_header(&info, TRUE);
    if ((info.jpeg_color_space != JCS_YCbCr && info.jpeg_color_space != JCS_RGB) ||
        qint64(info.image_width) * info.image_height > max_pixels) {
        jpeg_destroy_decompress(&info);
        return std::nullopt;
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    image = new QImage(int(info.output_width), int(info.output_height), QImage::Format_RGB888);
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
