// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Jpeg.h"

#include <algorithm>
#include <bit>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

#include "platform/JpegLimits.h"
#include "platform/RegularFile.h"
#include "platform/StationLimits.h"

namespace {

// libjpeg reports fatal errors through error_exit; we jump back to the caller instead of
// letting it end the process.
struct ErrorManager {
    jpeg_error_mgr Base;
    std::jmp_buf Jump;
};

void OnError(j_common_ptr info) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    std::longjmp(manager->Jump, 1);
}

void OnMessage(j_common_ptr) {}

// libjpeg's error handling with fatal errors jumping back and warnings kept quiet.
jpeg_error_mgr* QuietErrors(ErrorManager& errors) {
    jpeg_error_mgr* manager = jpeg_std_error(&errors.Base);
    errors.Base.error_exit = OnError;
    errors.Base.output_message = OnMessage;
    return manager;
}

// One side of a picture decoded at eighths/8 of its size, as libjpeg rounds it (upwards).
long long ScaledSide(int side, int eighths) {
    return (static_cast<long long>(side) * eighths + 7) / 8;
}

// What a decode is asked for: an empty box decodes at full size, any other box at the scale
// that still fills it.
struct TDecodeRequest {
    int BoxWidth = 0;
    int BoxHeight = 0;
    TPixelLayout Layout = TPixelLayout::Rgb;
};

// libjpeg's colour space for a layout; Rgb32 words are 0xFFRRGGBB in the machine's byte order.
J_COLOR_SPACE ColourSpace(TPixelLayout layout) {
    if (layout == TPixelLayout::Rgb) {
        return JCS_RGB;
    }
    return std::endian::native == std::endian::little ? JCS_EXT_BGRX : JCS_EXT_XRGB;
}

int BytesPerPixel(TPixelLayout layout) {
    return layout == TPixelLayout::Rgb ? 3 : 4;
}

// Runs the decoder on the prepared structure; false on any libjpeg error. Kept free of C++
// objects with destructors, since a longjmp must not skip them.
bool DecodeInto(jpeg_decompress_struct& info, ErrorManager& errors, const std::uint8_t* data,
                std::size_t size, const TDecodeRequest& request, TRgbImage& image) {
    if (setjmp(errors.Jump) != 0) {
        return false;
    }
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        return false;
    }
    info.out_color_space = ColourSpace(request.Layout);
    if (request.BoxWidth > 0 && request.BoxHeight > 0) {
        info.scale_num = static_cast<unsigned int>(JpegFitScaleEighths(
            static_cast<int>(info.image_width), static_cast<int>(info.image_height),
            request.BoxWidth, request.BoxHeight));
        info.scale_denom = 8;
    }
    jpeg_start_decompress(&info);
    const long pixels = static_cast<long>(info.output_width) * info.output_height;
    const int bytes = BytesPerPixel(request.Layout);
    if (info.output_components != bytes || pixels <= 0 || pixels > JpegMaxPixels) {
        return false;
    }
    image.Width = static_cast<int>(info.output_width);
    image.Height = static_cast<int>(info.output_height);
    image.SourceWidth = static_cast<int>(info.image_width);
    image.SourceHeight = static_cast<int>(info.image_height);
    image.Layout = request.Layout;
    image.Pixels.resize(static_cast<std::size_t>(pixels) * bytes);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row =
            image.Pixels.data() + std::size_t{info.output_scanline} * image.Width * bytes;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    return true;
}

bool Decode(const std::uint8_t* data, std::size_t size, const TDecodeRequest& request,
            TRgbImage& image) {
    if (data == nullptr || size == 0) {
        image = TRgbImage();
        return false;
    }
    // The pixel storage of an earlier picture is reused: resizing it to a picture no larger
    // needs neither new memory nor clearing.
    image.Width = image.Height = image.SourceWidth = image.SourceHeight = 0;
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = QuietErrors(errors);
    jpeg_create_decompress(&info);
    const bool ok = DecodeInto(info, errors, data, size, request, image);
    jpeg_destroy_decompress(&info);
    if (!ok) {
        image = TRgbImage();
    }
    return ok;
}

// The whole file; a FIFO or device under a picture's name, or a file larger than any
// decodable picture, is not read.
bool DecodeFile(const std::filesystem::path& path, const TDecodeRequest& request,
                TRgbImage& image) {
    const std::optional<std::string> bytes = ReadWholeRegularFile(path, kMaxPictureFileBytes);
    if (!bytes) {
        image = TRgbImage();
        return false;
    }
    return Decode(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size(), request,
                  image);
}

}  // namespace

bool DecodeJpeg(const std::uint8_t* data, std::size_t size, TRgbImage& image) {
    return Decode(data, size, {}, image);
}

int JpegFitScaleEighths(int width, int height, int boxWidth, int boxHeight) {
    if (width <= 0 || height <= 0 || boxWidth <= 0 || boxHeight <= 0) {
        return 8;
    }
    const double shrink =
        std::max(static_cast<double>(width) / boxWidth, static_cast<double>(height) / boxHeight);
    if (shrink <= 1) {
        return 8;
    }
    const auto fitWidth = static_cast<long long>(width / shrink);
    const auto fitHeight = static_cast<long long>(height / shrink);
    for (int eighths : {1, 2, 4}) {
        if (ScaledSide(width, eighths) >= fitWidth && ScaledSide(height, eighths) >= fitHeight) {
            return eighths;
        }
    }
    return 8;
}

bool DecodeJpegToFit(const std::uint8_t* data, std::size_t size, int boxWidth, int boxHeight,
                     TRgbImage& image, TPixelLayout layout) {
    return Decode(data, size, {boxWidth, boxHeight, layout}, image);
}

bool DecodeJpegFileToFit(const std::filesystem::path& path, int boxWidth, int boxHeight,
                         TRgbImage& image, TPixelLayout layout) {
    return DecodeFile(path, {boxWidth, boxHeight, layout}, image);
}

namespace {

bool EncodeInto(jpeg_compress_struct& info, ErrorManager& errors, const TRgbImage& image,
                int quality, unsigned char** buffer, unsigned long* size) {
    if (setjmp(errors.Jump) != 0) {
        return false;
    }
    jpeg_mem_dest(&info, buffer, size);
    info.image_width = static_cast<JDIMENSION>(image.Width);
    info.image_height = static_cast<JDIMENSION>(image.Height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        auto* row = const_cast<JSAMPLE*>(image.Pixels.data() +
                                         std::size_t{info.next_scanline} * image.Width * 3);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    return true;
}

}  // namespace

bool EncodeJpeg(const TRgbImage& image, int quality, std::vector<std::uint8_t>& out) {
    out.clear();
    if (image.Layout != TPixelLayout::Rgb || image.Width <= 0 || image.Height <= 0 ||
        image.Pixels.size() != std::size_t(image.Width) * image.Height * 3) {
        return false;
    }
    jpeg_compress_struct info{};
    ErrorManager errors{};
    info.err = QuietErrors(errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const bool ok = EncodeInto(info, errors, image, quality, &buffer, &size);
    jpeg_destroy_compress(&info);
    if (ok && buffer != nullptr) {
        out.assign(buffer, buffer + size);
    }
    std::free(buffer);
    return ok;
}
