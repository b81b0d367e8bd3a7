// SPDX-License-Identifier: GPL-3.0-or-later
// Speed of the splash window on a 1920 x 1080 window: one repaint from the kept scaled picture,
// and NextPicture on a 4000 x 3000 photograph beside a full decode of the same file, which
// NextPicture avoids by decoding at the reduced scale the window needs. The grainy photograph
// shows the limit: reading the compressed data costs the same at every scale.
// Run with QT_QPA_PLATFORM=offscreen.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/Jpeg.h"
#include "settings/UCommon.h"
#include "ui/USplashForm.h"

namespace {

constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;

// A picture with the texture of a photograph: soft shapes, and grain of the given strength
// (the difference between the darkest and the lightest grain). Grain fills the JPEG with
// detail that has to be read whatever the scale of the decoding.
TRgbImage PhotoLike(int width, int height, int grainStrength) {
    TRgbImage image;
    image.Width = width;
    image.Height = height;
    image.Pixels.resize(static_cast<std::size_t>(width) * height * 3);
    std::uint32_t grain = 12345;
    std::size_t i = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            grain = grain * 1664525u + 1013904223u;
            const int noise =
                static_cast<int>(grain >> 27) * grainStrength / 32 - grainStrength / 2;
            const double shape =
                std::sin(x * 0.004) * std::cos(y * 0.006) + std::sin((x + y) * 0.02);
            const int base = static_cast<int>(110 + 60 * shape);
            for (int channel = 0; channel < 3; ++channel) {
                const int value = base + channel * 25 - 25 + noise;
                image.Pixels[i++] = static_cast<std::uint8_t>(std::clamp(value, 0, 255));
            }
        }
    }
    return image;
}

// The generated pictures, written once into a temporary folder that is removed at exit.
struct TBenchPictures {
    TBenchPictures() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tezra-bench-XXXXXX").string();
        Folder = mkdtemp(pattern.data());
        Photos[0] = Write("photo-4000x3000.jpg", PhotoLike(4000, 3000, 8));
        Photos[1] = Write("grainy-4000x3000.jpg", PhotoLike(4000, 3000, 32));
        Wide = Write("wide-2560x1440.jpg", PhotoLike(2560, 1440, 8));
    }
    ~TBenchPictures() {
        std::error_code error;
        std::filesystem::remove_all(Folder, error);
    }
    std::filesystem::path Write(const std::string& name, const TRgbImage& image) const {
        std::vector<std::uint8_t> bytes;
        EncodeJpeg(image, 90, bytes);
        const auto path = Folder / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    std::filesystem::path Folder;
    std::filesystem::path Photos[2];  // 4000 x 3000: a usual photograph, and a grainy one
    std::filesystem::path Wide;
};

const TBenchPictures& Pictures() {
    static const TBenchPictures pictures;
    return pictures;
}

// A splash window of the benchmark's screen size showing only the given picture.
std::unique_ptr<TfmSplash> SplashShowing(const std::filesystem::path& picture) {
    Settings->SplashFiles = {picture};
    auto splash = std::make_unique<TfmSplash>();
    splash->setWindowState(Qt::WindowNoState);
    splash->setGeometry(0, 0, kScreenWidth, kScreenHeight);
    splash->NextPicture();
    return splash;
}

// What the benchmarks of a 4000 x 3000 photograph say about it.
std::string PhotoLabel(const std::filesystem::path& path) {
    return path.stem().string() + ", " + std::to_string(std::filesystem::file_size(path) / 1024) +
           " KiB";
}

void BM_FullDecode(benchmark::State& state) {
    const auto& path = Pictures().Photos[state.range(0)];
    for (auto _ : state) {
        TRgbImage image;
        benchmark::DoNotOptimize(DecodeJpegFileToFit(path, 0, 0, image));
    }
    state.SetLabel(PhotoLabel(path) + ", decoded whole");
}

void BM_NextPicture(benchmark::State& state) {
    const auto& path = Pictures().Photos[state.range(0)];
    auto splash = SplashShowing(path);
    for (auto _ : state) {
        splash->NextPicture();
        benchmark::DoNotOptimize(splash->KeptImage().constBits());
    }
    const TRect rect = splash->PaintRect();
    state.SetLabel(PhotoLabel(path) + ", for 1920x1080, kept at " + std::to_string(rect.Width) +
                   "x" + std::to_string(rect.Height));
}

// One repaint of the whole window, drawn into an image the size of the screen as the window's
// backing store would be.
void BM_Repaint(benchmark::State& state) {
    auto splash = SplashShowing(Pictures().Wide);
    QImage target(kScreenWidth, kScreenHeight, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        splash->render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
    state.SetLabel("1920x1080 window");
}

}  // namespace

// Qt may spread a smooth scaling over worker threads: the CPU column counts every thread.
BENCHMARK(BM_FullDecode)->Arg(0)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NextPicture)->Arg(0)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullDecode)->Arg(1)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NextPicture)->Arg(1)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Repaint)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    Settings = std::make_unique<TSettings>(std::filesystem::temp_directory_path() / "tezra-net");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    Pictures();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Settings.reset();
    return 0;
}
