// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/check/PictureCheck.h"

#include "platform/Jpeg.h"
#include "platform/JpegLimits.h"

namespace {

bool IsStartOfFrame(std::uint8_t marker) {
    // C0..CF are frame headers except C4 (Huffman tables), C8 (reserved) and CC (arithmetic
    // coding conditioning).
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool StandsAlone(std::uint8_t marker) {
    return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8);
}

}  // namespace

std::optional<std::pair<int, int>> JpegFrameSize(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size < 4 || data[0] != 0xFF || data[1] != 0xD8) {
        return std::nullopt;
    }
    std::size_t at = 2;
    while (at + 1 < size) {
        if (data[at] != 0xFF) {
            return std::nullopt;
        }
        while (at + 1 < size && data[at + 1] == 0xFF) {
            ++at;  // fill bytes before a marker
        }
        if (at + 1 >= size) {
            break;
        }
        const std::uint8_t marker = data[at + 1];
        at += 2;
        if (StandsAlone(marker)) {
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA || at + 2 > size) {
            return std::nullopt;  // the image data or its end came before any frame header
        }
        const std::size_t length = (std::size_t{data[at]} << 8) | data[at + 1];
        if (IsStartOfFrame(marker)) {
            if (length < 7 || at + 7 > size) {
                return std::nullopt;
            }
            const int height = (data[at + 3] << 8) | data[at + 4];
            const int width = (data[at + 5] << 8) | data[at + 6];
            return std::make_pair(width, height);
        }
        if (length < 2) {
            return std::nullopt;
        }
        at += length;
    }
    return std::nullopt;
}

TPictureCheck CheckJpeg(const std::uint8_t* data, std::size_t size) {
    TPictureCheck check;
    const auto frame = JpegFrameSize(data, size);
    if (!frame) {
        check.Fault = TPictureFault::NotJpeg;
        return check;
    }
    check.Width = frame->first;
    check.Height = frame->second;
    if (static_cast<long>(check.Width) * check.Height > JpegMaxPixels) {
        check.Fault = TPictureFault::TooLarge;
        return check;
    }
    TRgbImage image;
    if (!DecodeJpeg(data, size, image)) {
        check.Fault = TPictureFault::Damaged;
    }
    return check;
}

std::string PictureFaultText(const TPictureCheck& check) {
    switch (check.Fault) {
        case TPictureFault::NotJpeg:
            return "не JPEG";
        case TPictureFault::TooLarge:
            return std::to_string(check.Width) + "×" + std::to_string(check.Height) +
                   " точек — больше предела станции (" + std::to_string(JpegMaxPixels) + " точек)";
        case TPictureFault::Damaged:
            return "повреждённый JPEG, который декодер не читает";
        case TPictureFault::None:
            break;
    }
    return "в порядке";
}

std::optional<TDiagnostic> PictureError(const std::uint8_t* data, std::size_t size,
                                        std::optional<std::size_t> place, const std::string& code,
                                        const std::string& what) {
    if (size == 0) {
        return TDiagnostic{TSeverity::Error, place, code + "-empty",
                           what + " пуст или не читается; станция его не покажет"};
    }
    const TPictureCheck check = CheckJpeg(data, size);
    const char* fault = nullptr;
    switch (check.Fault) {
        case TPictureFault::None:
            return std::nullopt;
        case TPictureFault::NotJpeg:
            fault = "-not-jpeg";
            break;
        case TPictureFault::TooLarge:
            fault = "-too-large";
            break;
        case TPictureFault::Damaged:
            fault = "-damaged";
            break;
    }
    return TDiagnostic{TSeverity::Error, place, code + fault,
                       what + ": " + PictureFaultText(check) + "; станция его не покажет"};
}
