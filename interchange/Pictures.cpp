// SPDX-License-Identifier: GPL-3.0-or-later
// Picture conversion: libpng's simplified reader and giflib decode to RGB on white, the
// project's libjpeg-turbo encoder writes the JPEG. Every size is checked before pixels are
// allocated.

#include "interchange/Pictures.h"

#include <gif_lib.h>
#include <png.h>

#include <algorithm>
#include <cstring>

#include "platform/Jpeg.h"
#include "platform/JpegLimits.h"

namespace {

constexpr int kJpegQuality = 90;

std::string TooLarge(long long width, long long height) {
    return "рисунок " + std::to_string(width) + "x" + std::to_string(height) +
           " больше предела станции (" + std::to_string(JpegMaxPixels) + " точек)";
}

bool WithinLimit(long long width, long long height) {
    return width > 0 && height > 0 && width * height <= JpegMaxPixels;
}

StationPicture Refused(std::string problem) {
    StationPicture picture;
    picture.Problem = std::move(problem);
    return picture;
}

StationPicture Encoded(const TRgbImage& image) {
    StationPicture picture;
    if (!EncodeJpeg(image, kJpegQuality, picture.Jpeg)) {
        return Refused("рисунок не удалось записать в JPEG");
    }
    picture.Ok = true;
    return picture;
}

StationPicture CheckJpeg(std::span<const std::uint8_t> bytes) {
    TRgbImage image;
    // Decoding at the smallest scale proves the data decodes without the cost of a full one.
    if (!DecodeJpegToFit(bytes.data(), bytes.size(), 1, 1, image)) {
        return Refused("рисунок JPEG повреждён или слишком велик и не читается");
    }
    if (!WithinLimit(image.SourceWidth, image.SourceHeight)) {
        return Refused(TooLarge(image.SourceWidth, image.SourceHeight));
    }
    StationPicture picture;
    picture.Ok = true;
    picture.Jpeg.assign(bytes.begin(), bytes.end());
    return picture;
}

StationPicture ConvertPng(std::span<const std::uint8_t> bytes) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_memory(&png, bytes.data(), bytes.size()) == 0) {
        return Refused("рисунок PNG повреждён: " + std::string(png.message));
    }
    if (!WithinLimit(png.width, png.height)) {
        png_image_free(&png);
        return Refused(TooLarge(png.width, png.height));
    }
    png.format = PNG_FORMAT_RGB;
    TRgbImage image;
    image.Width = static_cast<int>(png.width);
    image.Height = static_cast<int>(png.height);
    image.Pixels.resize(PNG_IMAGE_SIZE(png));
    png_color white{255, 255, 255};
    if (png_image_finish_read(&png, &white, image.Pixels.data(), 0, nullptr) == 0) {
        std::string message = png.message;
        png_image_free(&png);
        return Refused("рисунок PNG повреждён: " + message);
    }
    png_image_free(&png);
    return Encoded(image);
}

// Reads the GIF from memory for giflib.
struct GifSource {
    std::span<const std::uint8_t> Bytes;
    std::size_t Position = 0;
};

int ReadGifBytes(GifFileType* gif, GifByteType* out, int count) {
    auto* source = static_cast<GifSource*>(gif->UserData);
    const std::size_t left = source->Bytes.size() - source->Position;
    const std::size_t n = std::min<std::size_t>(left, count < 0 ? 0 : count);
    std::memcpy(out, source->Bytes.data() + source->Position, n);
    source->Position += n;
    return static_cast<int>(n);
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

// The first frame of the GIF painted on a white canvas; transparent pixels stay white.
bool DecodeGif(GifFileType* gif, TRgbImage& image, std::string& problem) {
    int transparent = -1;
    GifRecordType record = UNDEFINED_RECORD_TYPE;
    do {
        if (DGifGetRecordType(gif, &record) == GIF_ERROR) {
            return false;
        }
        if (record == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) {
                return false;
            }
            if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4 &&
                (block[1] & 1) != 0) {
                transparent = block[4];
            }
            while (block != nullptr) {
                if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) {
                    return false;
                }
            }
        } else if (record == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif) == GIF_ERROR) {
                return false;
            }
            const GifImageDesc& desc = gif->Image;
            const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
            if (map == nullptr || !WithinLimit(desc.Width, desc.Height)) {
                problem = map == nullptr ? "в рисунке GIF нет палитры"
                                         : TooLarge(desc.Width, desc.Height);
                return false;
            }
            std::vector<GifPixelType> frame(std::size_t(desc.Width) * desc.Height);
            // Interlaced frames come in four passes of rows.
            const int starts[] = {0, 4, 2, 1};
            const int steps[] = {8, 8, 4, 2};
            const int passes = desc.Interlace ? 4 : 1;
            for (int pass = 0; pass < passes; ++pass) {
                const int step = desc.Interlace ? steps[pass] : 1;
                for (int row = desc.Interlace ? starts[pass] : 0; row < desc.Height; row += step) {
                    if (DGifGetLine(gif, frame.data() + std::size_t(row) * desc.Width,
                                    desc.Width) == GIF_ERROR) {
                        return false;
                    }
                }
            }
            for (std::size_t i = 0; i < frame.size(); ++i) {
                const int index = frame[i];
                const std::size_t x = i % desc.Width + desc.Left;
                const std::size_t y = i / desc.Width + desc.Top;
                if (index == transparent || index >= map->ColorCount ||
                    x >= std::size_t(image.Width) || y >= std::size_t(image.Height)) {
                    continue;
                }
                std::uint8_t* pixel = image.Pixels.data() + (y * image.Width + x) * 3;
                pixel[0] = map->Colors[index].Red;
                pixel[1] = map->Colors[index].Green;
                pixel[2] = map->Colors[index].Blue;
            }
            return true;
        }
    } while (record != TERMINATE_RECORD_TYPE);
    problem = "в рисунке GIF нет ни одного кадра";
    return false;
}

StationPicture ConvertGif(std::span<const std::uint8_t> bytes) {
    GifSource source{bytes};
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&source, ReadGifBytes, &error));
    if (!gif) {
        return Refused("рисунок GIF повреждён");
    }
    if (!WithinLimit(gif->SWidth, gif->SHeight)) {
        return Refused(TooLarge(gif->SWidth, gif->SHeight));
    }
    TRgbImage image;
    image.Width = gif->SWidth;
    image.Height = gif->SHeight;
    image.Pixels.assign(std::size_t(image.Width) * image.Height * 3, 255);
    std::string problem;
    if (!DecodeGif(gif.get(), image, problem)) {
        return Refused(problem.empty() ? "рисунок GIF повреждён" : problem);
    }
    return Encoded(image);
}

}  // namespace

PictureKind SniffPicture(std::span<const std::uint8_t> bytes) {
    auto starts = [&bytes](std::string_view magic) {
        return bytes.size() >= magic.size() &&
               std::memcmp(bytes.data(), magic.data(), magic.size()) == 0;
    };
    if (starts("\xFF\xD8\xFF")) {
        return PictureKind::Jpeg;
    }
    if (starts("\x89PNG\r\n\x1A\n")) {
        return PictureKind::Png;
    }
    if (starts("GIF87a") || starts("GIF89a")) {
        return PictureKind::Gif;
    }
    return PictureKind::Other;
}

StationPicture PictureToStationJpeg(std::span<const std::uint8_t> bytes) {
    switch (SniffPicture(bytes)) {
        case PictureKind::Jpeg:
            return CheckJpeg(bytes);
        case PictureKind::Png:
            return ConvertPng(bytes);
        case PictureKind::Gif:
            return ConvertGif(bytes);
        case PictureKind::Other:
            break;
    }
    return Refused("не рисунок JPEG, PNG или GIF; станция его не покажет");
}
