// SPDX-License-Identifier: GPL-3.0-or-later
// Speed of the test window (offscreen). BM_ShowProblem1080p puts a problem with a 1920 x 1080
// JPEG on screen (decode, image, layout); BM_BareDecode1080p decodes the same bytes with
// libjpeg-turbo alone into a buffer that is reused: the limit that ShowProblem can approach.
// BM_FormShow takes each demo test from the start of FormShow to its first problem painted.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

#include "model/UTypes.h"
#include "platform/Jpeg.h"
#include "settings/UCommon.h"
#include "ui/UTezraForm.h"

namespace {

namespace fs = std::filesystem;

// A photo-like 1920 x 1080 picture: smooth gradients with fine detail on top.
std::vector<std::uint8_t> Picture1080p() {
    TRgbImage image;
    image.Width = 1920;
    image.Height = 1080;
    image.Pixels.resize(std::size_t{1920} * 1080 * 3);
    std::uint32_t noise = 12345;
    for (int y = 0; y < image.Height; ++y) {
        for (int x = 0; x < image.Width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int grain = static_cast<int>(noise >> 28) - 8;
            std::uint8_t* pixel = &image.Pixels[(std::size_t{1920} * y + x) * 3];
            pixel[0] = static_cast<std::uint8_t>(std::clamp(x * 255 / 1920 + grain, 0, 255));
            pixel[1] = static_cast<std::uint8_t>(std::clamp(y * 255 / 1080 + grain, 0, 255));
            pixel[2] = static_cast<std::uint8_t>(((x / 40 + y / 40) % 2) * 120 + 60 + grain);
        }
    }
    std::vector<std::uint8_t> jpeg;
    EncodeJpeg(image, 85, jpeg);
    return jpeg;
}

// A station folder of its own, removed at the end.
struct Station {
    Station() {
        std::string pattern = (fs::temp_directory_path() / "tezra-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            Dir = pattern;
        }
        Settings = std::make_unique<TSettings>(Dir / "tezra-net");
        Settings->Secure = false;
        fmTezra = std::make_unique<TfmTezra>();
    }
    ~Station() {
        fmTezra.reset();
        Settings.reset();
        std::error_code error;
        fs::remove_all(Dir, error);
    }
    fs::path Dir;
};

void Write(const fs::path& path, const void* data, std::size_t size) {
    std::ofstream(path, std::ios::binary)
        .write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

void BM_ShowProblem1080p(benchmark::State& state) {
    const Station station;
    const std::vector<std::uint8_t> picture = Picture1080p();
    Write(station.Dir / "photo.jpg", picture.data(), picture.size());
    const std::string test =
        "\xA7TEZRA\n\xA7PROBLEMS\n\xA7PROBLEM\n\xA7"
        "CONDITION\nWhat does the photo show?\n\xA7"
        "END CONDITION\n\xA7PICTURE\nFILE=photo.jpg\n\xA7"
        "ANSWER\nMODE=RADIO\n\xA7VARIANTS\n[100] a\n[0] b\n[0] c\n[0] d\n\xA7"
        "END ANSWER\n\xA7"
        "END PROBLEM\n\xA7"
        "END PROBLEMS\n\xA7"
        "END TEZRA\n";
    Write(station.Dir / "photo.ttxt", test.data(), test.size());
    Settings->TestFile = station.Dir / "photo.ttxt";
    fmTezra->show();  // loads the test and shows the problem once
    if (fmTezra->JpegImage.Width != 1920) {
        state.SkipWithError("the picture was not shown");
    }
    for (auto _ : state) {
        fmTezra->ShowProblem();
        benchmark::DoNotOptimize(fmTezra->JpegImage.Pixels.data());
    }
    fmTezra->hide();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * picture.size()));
}

void BM_BareDecode1080p(benchmark::State& state) {
    const std::vector<std::uint8_t> picture = Picture1080p();
    std::vector<std::uint8_t> pixels;
    for (auto _ : state) {
        jpeg_decompress_struct info{};
        jpeg_error_mgr errors{};
        info.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, picture.data(), static_cast<unsigned long>(picture.size()));
        jpeg_read_header(&info, TRUE);
        info.out_color_space = JCS_RGB;
        jpeg_start_decompress(&info);
        const std::size_t stride = std::size_t{info.output_width} * 3;
        pixels.resize(stride * info.output_height);
        while (info.output_scanline < info.output_height) {
            JSAMPROW row = pixels.data() + stride * info.output_scanline;
            jpeg_read_scanlines(&info, &row, 1);
        }
        jpeg_finish_decompress(&info);
        jpeg_destroy_decompress(&info);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * picture.size()));
}

// The demo tests, by name.
std::vector<fs::path> DemoTests() {
    std::vector<fs::path> tests;
    for (const auto& entry : fs::directory_iterator(fs::path(TEZRA_DEMO_DIR) / "tezra")) {
        if (TestFormatOf(entry.path()) != TTestFormat::Unknown) {
            tests.push_back(entry.path());
        }
    }
    std::sort(tests.begin(), tests.end());
    return tests;
}

void BM_FormShow(benchmark::State& state, const fs::path& test) {
    const Station station;
    Settings->TestFile = test;
    fmTezra->show();
    for (auto _ : state) {
        fmTezra->FormShow();
        fmTezra->repaint();
    }
    fmTezra->hide();
    state.SetLabel(test.filename().string());
}

}  // namespace

BENCHMARK(BM_ShowProblem1080p)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareDecode1080p)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    for (const fs::path& test : DemoTests()) {
        benchmark::RegisterBenchmark(("BM_FormShow/" + test.filename().string()).c_str(),
                                     BM_FormShow, test)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
