// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/EditorFiles.h"

#include <charconv>
#include <filesystem>
#include <set>

#include "collector/EditorDocument.h"
#include "collector/JsonAnswer.h"
#include "collector/LibraryCheck.h"
#include "collector/ReceivedTime.h"
#include "collector/ZipWriter.h"
#include "interchange/Base64.h"
#include "interchange/Convert.h"
#include "model/TestWriters.h"
#include "platform/Cp1251.h"
#include "platform/Jpeg.h"
#include "platform/TestFileTypes.h"
#include "settings/TestDescription.h"

namespace {

using Json = nlohmann::ordered_json;

// The problem index an embedded picture's document name stands for, or -1.
int EmbeddedIndex(const std::string& name) {
    constexpr std::string_view kStart = "picture-";
    constexpr std::string_view kEnd = ".jpg";
    if (!name.starts_with(kStart) || !name.ends_with(kEnd)) {
        return -1;
    }
    const std::string_view digits(name.data() + kStart.size(),
                                  name.size() - kStart.size() - kEnd.size());
    int number = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), number);
    return error == std::errc() && end == digits.data() + digits.size() && number > 0 &&
                   EmbeddedPictureName(static_cast<std::size_t>(number - 1)) == name
               ? number - 1
               : -1;
}

std::string Bytes(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

std::string BinaryBody(const TTezra& test, bool scramble) {
    std::vector<std::string> warnings;
    const TMemoryStream stream = SaveTestToBinary(test, scramble, warnings);
    return std::string(reinterpret_cast<const char*>(stream.Data()), stream.Size());
}

// Pictures kept beside the test put into it, for the formats that carry pictures inside.
void EmbedBesidePictures(TTezra& test, const std::vector<LibraryPicture>& pictures) {
    for (const auto& problem : test.Problems) {
        if (problem->Picture.empty() && !problem->PictureFile.empty()) {
            const std::string bytes =
                PictureBytes(Cp1251ToUtf8(problem->PictureFile), pictures, nullptr);
            problem->Picture.assign(bytes.begin(), bytes.end());
        }
    }
}

Json ImportedPictures(const TTezra& test) {
    Json pictures = Json::array();
    for (std::size_t i = 0; i < test.Problems.size(); ++i) {
        const TProblem& problem = *test.Problems[i];
        if (problem.Picture.empty()) {
            continue;
        }
        const std::string name = problem.PictureFile.empty() ? EmbeddedPictureName(i)
                                                             : Cp1251ToUtf8(problem.PictureFile);
        std::optional<Json> size = PictureSize(name, Bytes(problem.Picture));
        if (!size) {
            size = Json{{"file", name}};
        }
        (*size)["dataBase64"] = EncodeBase64(problem.Picture);
        pictures.push_back(std::move(*size));
    }
    return pictures;
}

}  // namespace

std::string PictureBytes(const std::string& name, const std::vector<LibraryPicture>& pictures,
                         const TTezra* stored) {
    const int index = EmbeddedIndex(name);
    if (stored && index >= 0 && static_cast<std::size_t>(index) < stored->Problems.size() &&
        !stored->Problems[static_cast<std::size_t>(index)]->Picture.empty()) {
        return Bytes(stored->Problems[static_cast<std::size_t>(index)]->Picture);
    }
    for (const LibraryPicture& picture : pictures) {
        if (picture.Name == name) {
            return picture.Body;
        }
    }
    if (stored == nullptr) {
        return {};
    }
    for (const auto& problem : stored->Problems) {
        if (!problem->Picture.empty() && Cp1251ToUtf8(problem->PictureFile) == name) {
            return Bytes(problem->Picture);
        }
    }
    return {};
}

bool HasPicture(const std::vector<LibraryPicture>& pictures, const std::string& name) {
    for (const LibraryPicture& picture : pictures) {
        if (picture.Name == name) {
            return true;
        }
    }
    return false;
}

bool DecodePictureBase64(const std::string& text, std::string& bytes) {
    const std::optional<std::vector<std::uint8_t>> decoded = DecodeBase64(text);
    if (!decoded) {
        return false;
    }
    bytes = Bytes(*decoded);
    return true;
}

std::optional<Json> PictureSize(const std::string& name, const std::string& bytes) {
    TRgbImage image;
    if (bytes.empty() ||
        !DecodeJpeg(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), image)) {
        return std::nullopt;
    }
    // The test window shows a picture at its own size, in a box at most half as wide as the
    // problem panel that scrolls what does not fit.
    return Json{{"file", name},
                {"width", image.Width},
                {"height", image.Height},
                {"shownWidth", image.Width},
                {"shownHeight", image.Height}};
}

HttpAnswer ServePicture(ClassLibrary& library, LibraryStore& store, const EditorRequest& request) {
    const std::optional<LibraryTest> test = store.Test(request.Test);
    if (!test) {
        return EditorMessage(404, "Нет такого теста.");
    }
    if (request.Method == "GET") {
        TTezra stored;
        LoadLibraryTest(stored, request.Test, test->Body);
        std::string bytes =
            PictureBytes(request.Picture, store.Pictures(request.Test, true), &stored);
        if (bytes.empty()) {
            return EditorMessage(404, "Нет такого рисунка.");
        }
        return AttachmentAnswer("image/jpeg", std::move(bytes), request.Picture, "file");
    }
    if (request.Method == "DELETE") {
        const StoreOutcome outcome =
            store.DeletePicture(request.Test, request.Picture, UnixMsNow());
        if (outcome != StoreOutcome::Done) {
            return EditorMessage(
                outcome == StoreOutcome::Missing ? 404 : 503,
                outcome == StoreOutcome::Missing ? "Нет такого рисунка." : "Рисунок не удалён.");
        }
        library.Republish(store);
        return EditorJson(200, {{"deleted", request.Picture}});
    }
    const std::optional<Json> size = PictureSize(request.Picture, request.Body);
    if (!size) {
        return EditorMessage(422,
                             "Станция не сможет показать этот рисунок: это не JPEG или в нём "
                             "больше пикселей, чем станция декодирует.");
    }
    const StoreOutcome outcome =
        store.PutPicture({request.Test, request.Picture, request.Body, 0, UnixMsNow()});
    if (outcome != StoreOutcome::Done) {
        return EditorMessage(
            outcome == StoreOutcome::Missing ? 404 : 503,
            outcome == StoreOutcome::Missing ? "Нет такого теста." : "Рисунок не сохранён.");
    }
    library.Republish(store);
    return EditorJson(200, *size);
}

HttpAnswer ImportFile(const std::string& name, const std::string& bytes) {
    const BankFormat format = BankFormatOfPath(std::filesystem::path(name));
    if (format == BankFormat::Unknown) {
        return EditorMessage(400,
                             "Неизвестный вид файла: нужны .ttxt, .txt, .tbin, .bin, .gift, "
                             ".xml или .aiken.");
    }
    BankReadOptions options;
    options.FallbackTitle = std::filesystem::path(name).stem().string();
    const BankReadResult result = ReadQuestionBank(bytes, format, options);
    if (result.Failed) {
        return EditorMessage(422,
                             "Файл не читается как " + std::string(BankFormatName(format)) + ".");
    }
    Json warnings = Json::array();
    for (const BankWarning& warning : result.Warnings) {
        warnings.push_back(warning.Line > 0
                               ? "строка " + std::to_string(warning.Line) + ": " + warning.Text
                               : warning.Text);
    }
    return EditorJson(200, {{"doc", TestToDocument(*result.Tezra, {})},
                            {"warnings", warnings},
                            {"pictures", ImportedPictures(*result.Tezra)}});
}

HttpAnswer ExportTest(LibraryStore& store, const std::string& name, const std::string& as) {
    const std::optional<LibraryTest> record = store.Test(name);
    if (!record) {
        return EditorMessage(404, "Нет такого теста.");
    }
    TTezra test;
    if (!LoadLibraryTest(test, name, record->Body)) {
        return EditorMessage(422, "Тест не читается.");
    }
    const std::string stem = std::filesystem::path(name).stem().string();
    const bool text = TestFormatOf(std::filesystem::path(name)) == TTestFormat::Text;
    std::vector<std::string> warnings;
    if (as == "ttxt") {
        return AttachmentAnswer("application/octet-stream",
                                text ? record->Body : SaveTestToText(test, warnings),
                                stem + ".ttxt", "file");
    }
    if (as == "tbin" || as == "tbin-scrambled") {
        return AttachmentAnswer("application/octet-stream", BinaryBody(test, as != "tbin"),
                                stem + ".tbin", "file");
    }
    if (as == "desc") {
        if (record->ChooserText.empty()) {
            return EditorMessage(404, "У теста нет текста для списка тестов.");
        }
        return AttachmentAnswer("application/octet-stream",
                                Utf8ToCp1251(record->ChooserText) + "\r\n", stem + ".desc",
                                "file");
    }
    const BankFormat format = BankFormatFromName(as);
    if (format != BankFormat::Gift && format != BankFormat::MoodleXml) {
        return EditorMessage(400, "as: ttxt, tbin, tbin-scrambled, desc, gift или moodle-xml.");
    }
    EmbedBesidePictures(test, store.Pictures(name, true));
    std::vector<BankWarning> bankWarnings;
    std::string out = WriteQuestionBank(test, format, {}, bankWarnings);
    HttpAnswer answer = AttachmentAnswer(
        format == BankFormat::Gift ? "text/plain; charset=utf-8"
                                   : "application/xml; charset=utf-8",
        std::move(out), stem + (format == BankFormat::Gift ? ".gift" : ".xml"), "file");
    answer.Headers.emplace_back("X-Tezra-Warnings", std::to_string(bankWarnings.size()));
    return answer;
}

HttpAnswer LibraryZip(LibraryStore& store) {
    ZipWriter zip;
    const std::int64_t now = UnixMsNow() / 1000;
    bool complete = true;
    std::set<std::string> written;
    for (const LibraryTest& test : store.Tests(true)) {
        const std::string path = "tezra/" + test.Name;
        complete = zip.Add(path, test.Body, test.ChangedMs / 1000) && complete;
        written.insert(test.Name);
        if (!test.ChooserText.empty()) {
            const std::string desc = DescriptionPath(test.Name).string();
            complete = zip.Add("tezra/" + desc, Utf8ToCp1251(test.ChooserText) + "\r\n",
                               test.ChangedMs / 1000) &&
                       complete;
            written.insert(desc);
        }
    }
    // A picture name that two tests use goes out once, from the test first in name order.
    for (const LibraryPicture& picture : store.Pictures({}, true)) {
        if (written.insert(picture.Name).second) {
            complete = zip.Add("tezra/" + picture.Name, picture.Body, now) && complete;
        }
    }
    if (!complete) {
        return EditorMessage(413, "Библиотека слишком велика для одного zip-файла.");
    }
    return AttachmentAnswer("application/zip", zip.Finish(), "tezra.zip", "file");
}
