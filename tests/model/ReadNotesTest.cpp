// SPDX-License-Identifier: GPL-3.0-or-later
// The readers' notes to a listener: where each part stands, what is passed over, and that
// listening changes nothing in what is read.

#include <gtest/gtest.h>

#include "model/Compare.h"
#include "tests/model/ModelTestSupport.h"

namespace {

// Keeps each note as "Note@place" (with the detail when there is one).
class TRecorder : public TReadSink {
public:
    std::vector<std::string> Notes;

    void Note(const TReadEvent& event) override {
        static const char* const kNames[] = {
            "TestStart",    "TestParam",        "GroupRead",       "ProblemStart", "ProblemEnd",
            "ProblemParam", "PictureParam",     "AnswerStart",     "ModeRead",     "VariantsStart",
            "VariantRead",  "NotATest",         "LinePassedOver",  "UnknownParam", "DefaultTaken",
            "NoModeLine",   "PictureNotClosed", "GroupsNotClosed", "DataEnds",     "BadTag",
            "RecordsShort", "DataAfterEnd"};
        std::string note = kNames[static_cast<int>(event.Note)];
        if (!event.Detail.empty()) {
            note += "(" + std::string(event.Detail) + ")";
        }
        Notes.push_back(note + "@" + std::to_string(event.Where));
    }
};

std::vector<std::string> TextNotes(std::string_view utf8) {
    TRecorder recorder;
    TTezra tezra;
    LoadTestFromText(tezra, Cp(utf8), &recorder);
    return recorder.Notes;
}

using Notes = std::vector<std::string>;

TEST(ReadNotes, TextNotesCarryPhysicalLineNumbers) {
    const struct {
        const char* Text;
        Notes Expected;
    } cases[] = {
        // Blank and comment lines count; a lone CR is no line break.
        {"; c\n\n§TEZRA\nID\r=1\n", {"TestStart@3", "LinePassedOver@4", "DataEnds@4"}},
        {"§TEZRA\r\n§PARAMS\r\nMARK4=3,5\r\nX=1\r\n§END PARAMS\r\n§END TEZRA\r\n",
         {"TestStart@1", "DefaultTaken(MARK4)@3", "TestParam(MARK4)@3", "UnknownParam@4"}},
        {"§TEZRA\n§PROBLEMS\n§PROBLEM\n§PICTURE\nFILE=a.jpg\n§CONDITION\nx\n§END PROBLEM\n"
         "§END PROBLEMS\n§END TEZRA\n",
         {"TestStart@1", "ProblemStart@3", "PictureParam(FILE)@5", "PictureNotClosed@6",
          "LinePassedOver@7", "ProblemEnd@8"}},
        {"§TEZRA\n§PROBLEMS\n§PROBLEM\n§ANSWER\n§VARIANTS\n[1] a\n§END ANSWER\n§END PROBLEM\n",
         {"TestStart@1", "ProblemStart@3", "AnswerStart@4", "NoModeLine@5", "LinePassedOver@6",
          "ProblemEnd@8", "DataEnds@8", "DataEnds@8"}},
        // Lines after the end of the test are read only to tell about them.
        {"§TEZRA\n§PROBLEMS\n§END PROBLEMS\n§END TEZRA\n; c\n\nmore\n",
         {"TestStart@1", "DataAfterEnd@7"}},
        {"x\n", {"NotATest@1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(TextNotes(c.Text), c.Expected);
    }
}

TEST(ReadNotes, BinaryNotesCarryRecordOffsets) {
    TBytes bytes;
    bytes.TestHead().Int(0).Int(4).Problem("p1").Raw("PRBX").Raw("re");
    TRecorder recorder;
    TTezra tezra;
    TMemoryStream stream(bytes.Data.data(), bytes.Data.size());
    EXPECT_TRUE(LoadTestFromBinary(tezra, stream, &recorder));
    EXPECT_EQ(
        recorder.Notes,
        (Notes{"TestStart@0", "TestParam(MARK1)@21", "TestParam(MARK2)@25", "TestParam(MARK3)@29",
               "TestParam(MARK4)@33", "TestParam(MARK5)@37", "ProblemStart@49", "AnswerStart@100",
               "ModeRead@104", "VariantRead@109", "ProblemStart@120", "BadTag@120",
               "ProblemStart@124", "DataEnds@124", "RecordsShort@126"}));
}

// Reading with a listener gives the same test and the same result as reading without one.
TEST(ReadNotes, ListeningChangesNothingThatIsRead) {
    int files = 0;
    for (const char* folder : {"model", "check"}) {
        for (const auto& entry : std::filesystem::directory_iterator(
                 std::filesystem::path(TEZRA_TEST_DATA_DIR) / folder)) {
            const TTestFormat format = TestFormatOf(entry.path());
            if (format == TTestFormat::Unknown) {
                continue;
            }
            SCOPED_TRACE(entry.path().string());
            ++files;
            const std::vector<std::uint8_t> bytes = FileBytes(entry.path());
            TTezra plain;
            TTezra heard;
            TRecorder recorder;
            bool plainRead = false;
            bool heardRead = false;
            if (format == TTestFormat::Text) {
                const std::string_view text(reinterpret_cast<const char*>(bytes.data()),
                                            bytes.size());
                plainRead = LoadTestFromText(plain, text);
                heardRead = LoadTestFromText(heard, text, &recorder);
            } else {
                TMemoryStream a(bytes.data(), bytes.size());
                TMemoryStream b(bytes.data(), bytes.size());
                plainRead = LoadTestFromBinary(plain, a);
                heardRead = LoadTestFromBinary(heard, b, &recorder);
            }
            std::string difference;
            EXPECT_EQ(plainRead, heardRead);
            EXPECT_TRUE(SameTezra(plain, heard, &difference)) << difference;
            EXPECT_FALSE(recorder.Notes.empty());
        }
    }
    EXPECT_GE(files, 30);
}

}  // namespace
