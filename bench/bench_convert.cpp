// SPDX-License-Identifier: GPL-3.0-or-later
// Speed of tezra-tool convert's library on a generated Moodle XML bank of 5,000 questions in
// 20 categories, each with an embedded picture: a third JPEG photographs of 320x240 (kept byte
// for byte after a check), a third PNG of 200x150 and a third small GIF (both converted to
// JPEG). Measured: reading the bank into a station test and writing it as the text test the
// station reads; and the way back, writing the station test as Moodle XML.

#include <benchmark/benchmark.h>
#include <png.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "interchange/Base64.h"
#include "interchange/Convert.h"
#include "platform/Jpeg.h"

namespace {

constexpr int kQuestions = 5'000;
constexpr int kCategories = 20;

TRgbImage Gradient(int width, int height, int seed) {
    TRgbImage image;
    image.Width = width;
    image.Height = height;
    image.Pixels.resize(std::size_t(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = image.Pixels.data() + (std::size_t(y) * width + x) * 3;
            p[0] = static_cast<std::uint8_t>(x + seed);
            p[1] = static_cast<std::uint8_t>(y * 2);
            p[2] = static_cast<std::uint8_t>(128 + 100 * std::sin((x + y + seed) / 9.0));
        }
    }
    return image;
}

std::vector<std::uint8_t> Png(const TRgbImage& image) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.Width);
    png.height = static_cast<png_uint_32>(image.Height);
    png.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&png, nullptr, &size, 0, image.Pixels.data(), 0, nullptr);
    std::vector<std::uint8_t> out(size);
    png_image_write_to_memory(&png, out.data(), &size, 0, image.Pixels.data(), 0, nullptr);
    out.resize(size);
    return out;
}

std::vector<std::uint8_t> SmallGif() {
    std::ifstream file(std::string(TEZRA_TEST_DATA_DIR) + "/convert/gift-ru/flag.gif",
                       std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {});
}

const std::string& Bank() {
    static const std::string bank = [] {
        std::vector<std::uint8_t> jpeg;
        EncodeJpeg(Gradient(320, 240, 7), 85, jpeg);
        const std::string pictures[] = {EncodeBase64(jpeg),
                                        EncodeBase64(Png(Gradient(200, 150, 3))),
                                        EncodeBase64(SmallGif())};
        const char* names[] = {"photo.jpg", "chart.png", "flag.gif"};
        std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<quiz>\n";
        for (int i = 0; i < kQuestions; ++i) {
            if (i % (kQuestions / kCategories) == 0) {
                xml +=
                    "<question type=\"category\"><category><text>$course$/top/География/"
                    "Раздел " +
                    std::to_string(i / (kQuestions / kCategories)) +
                    "</text></category></question>\n";
            }
            const int kind = i % 3;
            xml += "<question type=\"multichoice\"><name><text>Вопрос " + std::to_string(i) +
                   "</text></name><questiontext format=\"html\"><text><![CDATA[<p>Какая река "
                   "показана на рисунке номер " +
                   std::to_string(i) + "? Выберите один ответ.</p><p><img src=\"@@PLUGINFILE@@/" +
                   names[kind] + "\"></p>]]></text><file name=\"" + names[kind] +
                   "\" path=\"/\" encoding=\"base64\">" + pictures[kind] +
                   "</file></questiontext><generalfeedback format=\"html\"><text>Смотрите "
                   "учебник.</text></generalfeedback><single>true</single>"
                   "<answer fraction=\"100\"><text>Волга</text></answer>"
                   "<answer fraction=\"0\"><text>Дон</text></answer>"
                   "<answer fraction=\"0\"><text>Обь</text></answer>"
                   "<answer fraction=\"-33.33333\"><text>Лена</text></answer></question>\n";
        }
        return xml + "</quiz>\n";
    }();
    return bank;
}

void BM_MoodleXmlToStationText(benchmark::State& state) {
    const std::string& bank = Bank();
    for (auto _ : state) {
        const BankReadResult read = ReadQuestionBank(bank, BankFormat::MoodleXml, {});
        std::vector<BankWarning> warnings;
        const std::string text =
            WriteQuestionBank(*read.Tezra, BankFormat::StationText, {}, warnings);
        if (read.Converted != kQuestions || text.empty()) {
            state.SkipWithError("the bank did not convert whole");
        }
        benchmark::DoNotOptimize(text.data());
    }
    state.counters["bank_MB"] = static_cast<double>(bank.size()) / 1e6;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bank.size()));
}
BENCHMARK(BM_MoodleXmlToStationText)->Unit(benchmark::kMillisecond);

void BM_StationTestToMoodleXml(benchmark::State& state) {
    const BankReadResult read = ReadQuestionBank(Bank(), BankFormat::MoodleXml, {});
    for (auto _ : state) {
        std::vector<BankWarning> warnings;
        const std::string xml =
            WriteQuestionBank(*read.Tezra, BankFormat::MoodleXml, {}, warnings);
        benchmark::DoNotOptimize(xml.data());
    }
}
BENCHMARK(BM_StationTestToMoodleXml)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
