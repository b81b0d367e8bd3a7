// The current test of the station and the one entry through which test files are loaded.

#include <exception>
#include <system_error>

#include "model/UTypes.h"
#include "platform/Cp1251.h"

namespace {

std::unique_ptr<TTezra>& CurrentHolder() {
    static std::unique_ptr<TTezra> current = std::make_unique<TTezra>();
    return current;
}

bool FileExists(const std::filesystem::path& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    return !error && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

bool LoadFile(TTezra& tezra, const std::filesystem::path& path) {
    const TTestFormat format = TestFormatOf(path);
    if (format == TTestFormat::Unknown) {
        return false;
    }
    TMemoryStream stream;
    if (!stream.LoadFromFile(path)) {
        return false;
    }
    return format == TTestFormat::Text ? LoadTestFromText(tezra, stream.Text())
                                       : LoadTestFromBinary(tezra, stream);
}

}  // namespace

TTestFormat TestFormatOf(const std::filesystem::path& path) {
    // The part of the file name from its last dot on, upper-cased.
    const std::string name = Utf8ToCp1251(path.filename().string());
    const std::size_t dot = name.rfind('.');
    const std::string extension =
        dot == std::string::npos ? std::string() : AnsiUpperCase(name.substr(dot));
    if (extension == ".TTXT" || extension == ".TXT") {
        return TTestFormat::Text;
    }
    if (extension == ".TBIN" || extension == ".BIN") {
        return TTestFormat::Binary;
    }
    return TTestFormat::Unknown;
}

TTezra& CurrentTezra() {
    return *CurrentHolder();
}

bool LoadTestFile(const std::filesystem::path& path) {
    if (!FileExists(path)) {
        return false;
    }
    try {
        // The fresh test replaces the previous one, which is freed here.
        CurrentHolder() = std::make_unique<TTezra>();
        TTezra& tezra = *CurrentHolder();
        std::error_code error;
        const std::filesystem::path full = std::filesystem::absolute(path, error);
        tezra.TestFolder = (error ? path : full).parent_path();
        return LoadFile(tezra, path);
    } catch (const std::exception&) {
        return false;
    }
}
