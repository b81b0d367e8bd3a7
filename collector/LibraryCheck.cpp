// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/LibraryCheck.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "model/TestWriters.h"
#include "model/UTypes.h"
#include "platform/Cp1251.h"
#include "platform/Jpeg.h"
#include "platform/TestFileTypes.h"
#include "tools/check/CheckOutput.h"
#include "tools/check/TestCheck.h"

namespace {

// A private folder in the temporary directory holding one test and its pictures as the
// station would have them, removed with everything in it when it goes out of scope.
class ScratchFolder {
public:
    ScratchFolder() {
        std::error_code error;
        std::string pattern =
            (std::filesystem::temp_directory_path(error) / "tezra-library-XXXXXX").string();
        if (!error && ::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~ScratchFolder() {
        if (!path_.empty()) {
            std::error_code error;
            std::filesystem::remove_all(path_, error);
        }
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    bool Ok() const { return !path_.empty(); }
    const std::filesystem::path& Path() const { return path_; }

    bool Write(const std::string& name, const std::string& bytes) const {
        std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return static_cast<bool>(out.flush());
    }

    // The test and its pictures; the path of the test, empty when they cannot be written.
    std::filesystem::path Hold(const std::string& name, const std::string& body,
                               const std::vector<LibraryPicture>& pictures) const {
        if (!Ok() || !Write(name, body)) {
            return {};
        }
        for (const LibraryPicture& picture : pictures) {
            if (!Write(picture.Name, picture.Body)) {
                return {};
            }
        }
        return path_ / name;
    }

private:
    std::filesystem::path path_;
};

bool LoadInto(TTezra& tezra, const std::string& name, const std::string& body) {
    try {
        if (TestFormatOf(std::filesystem::path(name)) == TTestFormat::Text) {
            return LoadTestFromText(tezra, body);
        }
        TMemoryStream stream(body.data(), body.size());
        return LoadTestFromBinary(tezra, stream);
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

TFileReport CheckTestBody(const std::string& name, const std::string& body,
                          const std::vector<LibraryPicture>& pictures) {
    const ScratchFolder scratch;
    const std::filesystem::path file = scratch.Hold(name, body, pictures);
    TTestCheckOptions options;
    options.ProgramFolder = scratch.Path();
    TFileReport report = file.empty() ? TFileReport{} : CheckTestFile(file, name, options);
    if (file.empty()) {
        report.File = name;
        report.Add(TSeverity::Error, std::nullopt, "file-unreadable",
                   "сервер не смог сохранить файл для проверки");
    }
    return report;
}

TestExamination ExamineTest(const std::string& name, const std::string& body,
                            const std::vector<LibraryPicture>& pictures) {
    return ExamineReport(name, body, CheckTestBody(name, body, pictures));
}

TestExamination ExamineReport(const std::string& name, const std::string& body,
                              TFileReport checked) {
    TestExamination examination;
    TCheckRun run;
    run.Files.push_back(std::move(checked));
    const TFileReport& report = run.Files.back();
    TTezra tezra;
    const bool held = std::none_of(
        report.Diagnostics.begin(), report.Diagnostics.end(),
        [](const TDiagnostic& diagnostic) { return diagnostic.Code == "file-unreadable"; });
    examination.Loadable = held && LoadInto(tezra, name, body);
    examination.Title = Cp1251ToUtf8(tezra.Title);
    examination.Problems = static_cast<std::int64_t>(tezra.Problems.size());
    examination.Errors = static_cast<std::int64_t>(report.Count(TSeverity::Error));
    examination.Warnings = static_cast<std::int64_t>(report.Count(TSeverity::Warning));
    examination.Report = CheckJson(run, false);
    return examination;
}

bool ConvertTest(const std::string& name, const std::string& body,
                 const std::vector<LibraryPicture>& pictures, StationFormat format,
                 std::string& converted, std::vector<std::string>& warnings) {
    const ScratchFolder scratch;
    TTezra tezra;
    if (scratch.Hold(name, body, pictures).empty() || !LoadInto(tezra, name, body)) {
        return false;
    }
    for (const auto& problem : tezra.Problems) {
        if (!problem->PictureFile.empty()) {
            problem->LoadPictureFile(scratch.Path(), scratch.Path());
        }
    }
    if (format == StationFormat::Text) {
        converted = SaveTestToText(tezra, warnings);
        return true;
    }
    const TMemoryStream stream =
        SaveTestToBinary(tezra, format == StationFormat::ScrambledBinary, warnings);
    converted.assign(reinterpret_cast<const char*>(stream.Data()), stream.Size());
    return true;
}

bool LoadLibraryTest(TTezra& tezra, const std::string& name, const std::string& body) {
    return LoadInto(tezra, name, body);
}

bool IsStationPicture(const std::string& bytes) {
    TRgbImage image;
    return !bytes.empty() &&
           DecodeJpeg(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), image);
}
