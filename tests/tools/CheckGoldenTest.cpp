// SPDX-License-Identifier: GPL-3.0-or-later
// Golden files of the test checker: each faulty test of tests/data/check lies beside
// NAME.expected with what the checker prints for it, and each test of the model fixtures has
// its NAME.expected in tests/data/check/model.

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "platform/FileEnum.h"
#include "platform/TestFileTypes.h"
#include "tests/common/TempDir.h"
#include "tools/check/CheckOutput.h"
#include "tools/check/TestCheck.h"

namespace {

namespace fs = std::filesystem;

const fs::path kData = TEZRA_TEST_DATA_DIR;

struct TGoldenCase {
    fs::path Test;
    fs::path Expected;
};

std::vector<TGoldenCase> GoldenCases() {
    std::vector<TGoldenCase> cases;
    for (const auto& [folder, expected] :
         {std::pair{kData / "check", kData / "check"},
          std::pair{kData / "model", kData / "check" / "model"}}) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.is_regular_file() && TestFormatOf(entry.path()) != TTestFormat::Unknown) {
                const std::string name = entry.path().filename().string();
                cases.push_back({entry.path(), expected / (name + ".expected")});
            }
        }
    }
    return cases;
}

// What the checker prints for the test, naming it by its bare file name.
std::string Printed(const fs::path& test) {
    TCheckRun run;
    run.Files.push_back(CheckTestFile(test, test.filename().string()));
    std::ostringstream out;
    PrintCheckText(out, run, false);
    return out.str();
}

// The text with every line ended by LF, or by CR LF.
std::string WithLineEnds(std::string_view text, bool crlf) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        if (text[i] == '\n' && crlf) {
            out += '\r';
        }
        out += text[i];
    }
    return out;
}

TEST(CheckGolden, EachTestGivesTheDiagnosticsBesideIt) {
    const std::vector<TGoldenCase> cases = GoldenCases();
    ASSERT_GE(cases.size(), 30u);
    for (const TGoldenCase& c : cases) {
        SCOPED_TRACE(c.Test.string());
        ASSERT_TRUE(fs::exists(c.Expected)) << "no " << c.Expected;
        EXPECT_EQ(Printed(c.Test), TempDir::Read(c.Expected));
    }
}

TEST(CheckGolden, LinesAreCountedAlikeWithLfAndCrLfLineEnds) {
    TempDir dir;
    fs::copy(kData / "check" / "pictures", dir.Path / "pictures");
    int texts = 0;
    for (const TGoldenCase& c : GoldenCases()) {
        if (TestFormatOf(c.Test) != TTestFormat::Text) {
            continue;
        }
        ++texts;
        const std::string original = TempDir::Read(c.Test);
        const std::string expected = TempDir::Read(c.Expected);
        for (bool crlf : {false, true}) {
            SCOPED_TRACE(c.Test.string() + (crlf ? " with CR LF" : " with LF"));
            const fs::path copy = dir.Write(c.Test.filename(), WithLineEnds(original, crlf));
            EXPECT_EQ(Printed(copy), expected);
        }
    }
    EXPECT_GE(texts, 20);
}

// Every finding the checker promises is shown by at least one of the golden tests, so that
// none of them can go missing unnoticed.
TEST(CheckGolden, EveryFindingIsCoveredByAGoldenTest) {
    std::set<std::string> found;
    for (const TGoldenCase& c : GoldenCases()) {
        for (const TDiagnostic& d : CheckTestFile(c.Test, "").Diagnostics) {
            found.insert(d.Code);
        }
    }
    const char* const promised[] = {
        // errors: the station loses or changes what the author wrote
        "not-a-test", "block-out-of-order", "block-passed-over", "picture-not-closed",
        "variants-lost", "problem-not-closed", "problem-lost", "answer-not-closed",
        "ends-inside-block", "no-problems", "nothing-drawn", "picture-missing", "picture-not-jpeg",
        "picture-too-large", "picture-damaged", "picture-data-not-jpeg", "groups-not-closed",
        "variant-lost", "bad-problem-tag", "bad-answer-tag", "records-missing",
        // warnings: the test works, but probably not as meant
        "bad-number", "empty-number", "unknown-keyword", "line-passed-over", "group-not-listed",
        "group-unused", "quota-zero", "quota-above-size", "group-repeated", "marks-not-rising",
        "mark5-unreachable", "radio-no-100", "combo-not-100", "input-no-100",
        "input-variant-blank", "duplicate-variant", "no-mode-line", "unknown-mode",
        "keyword-prefix", "no-equals", "data-after-end", "no-end-tezra", "group-line-no-comma"};
    for (const char* code : promised) {
        EXPECT_EQ(found.count(code), 1u) << code;
    }
}

}  // namespace
