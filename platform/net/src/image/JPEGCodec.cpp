#include <platform_net/CGImage.h>

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

#include "image/ImageCodecs.h"

namespace {

// libjpeg reports errors by calling error_exit, which must not return: jump back out.
// The pixel buffer lives here so the error path can free it after a jump.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    uint8_t* buffer = nullptr;
    bool endedEarly = false;
};

void onError(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1); }
// libjpeg pads a stream that ends early and only warns: note it, so it counts as corrupt.
void onMessage(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) reinterpret_cast<ErrorManager*>(info->err)->endedEarly = true;
}

// The decoding work, kept free of objects with destructors so that the longjmp is safe.
bool decode(jpeg_decompress_struct* cinfo, const std::vector<uint8_t>& data, std::size_t* width,
            std::size_t* height, bool* cmyk, bool* gray) {
    uint8_t** out = &reinterpret_cast<ErrorManager*>(cinfo->err)->buffer;
    jpeg_mem_src(cinfo, data.data(), static_cast<unsigned long>(data.size()));
    if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) return false;
    *cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    *gray = cinfo->jpeg_color_space == JCS_GRAYSCALE;
    if (!acceptableImageSize(cinfo->image_width, cinfo->image_height)) return false;
    cinfo->out_color_space = *cmyk ? JCS_CMYK : JCS_EXT_RGBA;
    jpeg_start_decompress(cinfo);
    *width = cinfo->output_width;
    *height = cinfo->output_height;
    *out = static_cast<uint8_t*>(std::malloc(*width * *height * 4));
    if (!*out) return false;
    // Adobe CMYK files store the inks inverted.
    const bool inverted = *cmyk && cinfo->saw_Adobe_marker;
    while (cinfo->output_scanline < cinfo->output_height) {
        uint8_t* row = *out + static_cast<std::size_t>(cinfo->output_scanline) * *width * 4;
        JSAMPROW rows[1] = {row};
        jpeg_read_scanlines(cinfo, rows, 1);
        if (*cmyk) {
            for (std::size_t x = 0; x < *width; ++x) {
                uint8_t* p = row + x * 4;
                unsigned c = p[0], m = p[1], y = p[2], k = p[3];
                if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
                // Here c, m, y, k are 255 minus the ink amounts.
                p[0] = static_cast<uint8_t>(c * k / 255);
                p[1] = static_cast<uint8_t>(m * k / 255);
                p[2] = static_cast<uint8_t>(y * k / 255);
                p[3] = 255;
            }
        }
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

}  // namespace

CGImageRef CGImageCreateWithJPEGData(const std::vector<uint8_t>& data) {
    if (data.size() < 3 || data[0] != 0xff || data[1] != 0xd8) return nullptr;
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = onError;
    err.base.emit_message = onMessage;
    std::size_t width = 0, height = 0;
    bool cmyk = false, gray = false;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        std::free(err.buffer);
        return nullptr;
    }
    jpeg_create_decompress(&cinfo);
    bool ok = decode(&cinfo, data, &width, &height, &cmyk, &gray) && !err.endedEarly;
    jpeg_destroy_decompress(&cinfo);
    if (!ok) {
        std::free(err.buffer);
        return nullptr;
    }
    std::vector<uint8_t> rgba(err.buffer, err.buffer + width * height * 4);
    std::free(err.buffer);
    CGColorSpaceModel model = cmyk ? kCGColorSpaceModelCMYK : gray ? kCGColorSpaceModelMonochrome : kCGColorSpaceModelRGB;
    return std::make_shared<CGImage>(width, height, 8, model, kCGImageAlphaNoneSkipLast, std::move(rgba));
}

namespace {

bool encode(jpeg_compress_struct* cinfo, const CGImage& image, int quality, unsigned long* size) {
    jpeg_mem_dest(cinfo, &reinterpret_cast<ErrorManager*>(cinfo->err)->buffer, size);
    cinfo->image_width = static_cast<JDIMENSION>(image.width());
    cinfo->image_height = static_cast<JDIMENSION>(image.height());
    cinfo->input_components = 4;
    cinfo->in_color_space = JCS_EXT_RGBX;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, quality, TRUE);
    jpeg_start_compress(cinfo, TRUE);
    while (cinfo->next_scanline < cinfo->image_height) {
        JSAMPROW rows[1] = {const_cast<uint8_t*>(image.pixels().data()) +
                            static_cast<std::size_t>(cinfo->next_scanline) * image.bytesPerRow()};
        jpeg_write_scanlines(cinfo, rows, 1);
    }
    jpeg_finish_compress(cinfo);
    return true;
}

}  // namespace

std::vector<uint8_t> encodeJPEG(const CGImage& image, int quality) {
    if (image.width() == 0 || image.height() == 0) return {};
    jpeg_compress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = onError;
    err.base.emit_message = onMessage;
    unsigned long size = 0;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::free(err.buffer);
        return {};
    }
    jpeg_create_compress(&cinfo);
    encode(&cinfo, image, quality, &size);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> bytes(err.buffer, err.buffer + size);
    std::free(err.buffer);
    return bytes;
}
