#include "ui/JPEGImage.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

#include <jerror.h>

namespace quillory {

namespace {

// libjpeg reports fatal errors through error_exit; it jumps back with the
// library's message. Warnings that mean the data ran out (libjpeg would pad
// the rest of the picture with grey) are made fatal the same way.
struct TJPEGError {
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

[[noreturn]] void JPEGErrorExit(j_common_ptr info) {
    auto* err = reinterpret_cast<TJPEGError*>(info->err);
    (*info->err->format_message)(info, err->Message);
    std::longjmp(err->Jump, 1);
}

void JPEGMessage(j_common_ptr info, int level) {
    // Level -1 is a warning about damaged data; the others are traces.
    if (level == -1 &&
        (info->err->msg_code == JWRN_JPEG_EOF || info->err->msg_code == JWRN_HIT_MARKER))
        JPEGErrorExit(info);
}

// A progressive picture may announce any number of scans, each a pass over
// the whole picture; no real picture needs more than a few dozen.
constexpr int kMaxScans = 500;

void JPEGProgress(j_common_ptr info) {
    if (info->is_decompressor) {
        auto* d = reinterpret_cast<j_decompress_ptr>(info);
        if (d->input_scan_number > kMaxScans) {
            auto* err = reinterpret_cast<TJPEGError*>(info->err);
            std::snprintf(err->Message, sizeof err->Message, "more than %d scans", kMaxScans);
            std::longjmp(err->Jump, 1);
        }
    }
}

enum TStep { stFailed, stTooLarge, stDone };

// Only plain data lives in this frame (the jump back from an error leaves
// nothing undone): the caller owns the result's storage.
TStep RunDecoder(const unsigned char* data, unsigned long size, bool headerOnly, int maxWidth,
                 int maxHeight, TJPEGPicture& out, char* message) {
    jpeg_decompress_struct info;
    TJPEGError err;
    jpeg_progress_mgr progress;
    info.err = jpeg_std_error(&err.Manager);
    err.Manager.error_exit = JPEGErrorExit;
    err.Manager.emit_message = JPEGMessage;
    err.Message[0] = '\0';
    if (setjmp(err.Jump)) {
        std::strcpy(message, err.Message);
        jpeg_destroy_decompress(&info);
        return stFailed;
    }
    jpeg_create_decompress(&info);
    // The library's own working memory (a progressive picture keeps all its
    // coefficients) stays within the budget too.
    info.mem->max_memory_to_use = static_cast<long>(kPictureBudgetBytes);
    progress.progress_monitor = JPEGProgress;
    info.progress = &progress;
    jpeg_mem_src(&info, data, size);
    jpeg_read_header(&info, TRUE);
    out.Width = static_cast<int>(info.image_width);
    out.Height = static_cast<int>(info.image_height);
    if (headerOnly) {
        jpeg_destroy_decompress(&info);
        return stDone;
    }
    if (info.image_width == 0 || info.image_height == 0 ||
        info.image_width > static_cast<unsigned>(maxWidth) ||
        info.image_height > static_cast<unsigned>(maxHeight) ||
        !PictureFits(info.image_width, info.image_height, 4)) {
        jpeg_destroy_decompress(&info);
        return stTooLarge;
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    const std::size_t stride = static_cast<std::size_t>(info.output_width) * 3;
    out.Width = static_cast<int>(info.output_width);
    out.Height = static_cast<int>(info.output_height);
    out.RGB.resize(stride * info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out.RGB.data() + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return stDone;
}

TStep Run(const std::string& bytes, bool headerOnly, int maxWidth, int maxHeight,
          TJPEGPicture& out) {
    char message[JMSG_LENGTH_MAX] = {};
    // Storage for the rows is made inside; a failure leaves it to `out`,
    // which frees it normally.
    const TStep step = RunDecoder(reinterpret_cast<const unsigned char*>(bytes.data()),
                                  static_cast<unsigned long>(bytes.size()), headerOnly, maxWidth,
                                  maxHeight, out, message);
    if (step == stFailed)
        throw EJPEGError(message);
    return step;
}

} // namespace

TJPEGSize ReadJPEGSize(const std::string& bytes) {
    TJPEGPicture header;
    Run(bytes, true, kMaxPictureSide, kMaxPictureSide, header);
    return {header.Width, header.Height};
}

TJPEGPicture DecodeJPEGPicture(const std::string& bytes, int maxWidth, int maxHeight) {
    TJPEGPicture picture;
    if (Run(bytes, false, std::min(maxWidth, kMaxPictureSide), std::min(maxHeight, kMaxPictureSide),
            picture) == stTooLarge)
        throw EPictureTooLarge(picture.Width, picture.Height);
    return picture;
}

} // namespace quillory
