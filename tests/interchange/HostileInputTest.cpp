// SPDX-License-Identifier: GPL-3.0-or-later
// Damaged and hostile banks: entity bombs and external entities, truncated XML, unbalanced
// GIFT braces, Aiken without ANSWER, undecodable pictures, names that leave the bank's folder,
// and files too large to read. None of them crashes, hangs or reads another file.

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "interchange/Base64.h"
#include "interchange/Convert.h"
#include "tests/common/TempDir.h"

namespace {

namespace fs = std::filesystem;

bool Mentions(const BankReadResult& result, std::string_view text) {
    for (const BankWarning& w : result.Warnings) {
        if (w.Text.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

std::string AllText(const TTezra& tezra) {
    std::string all = tezra.Title;
    for (const auto& problem : tezra.Problems) {
        all += problem->Title;
        for (const std::string& line : problem->Condition) {
            all += line;
        }
        for (const TVariant& v : problem->Answers.Variants) {
            all += v.Text;
        }
    }
    return all;
}

// A question whose text is given as XML (entity references work) or, with a picture file,
// as HTML inside CDATA.
std::string MoodleQuestion(const std::string& text, const std::string& file = {}) {
    return "<question type=\"multichoice\"><name><text>q</text></name>"
           "<questiontext format=\"html\"><text>" +
           (file.empty() ? text : "<![CDATA[" + text + "]]>") + "</text>" + file +
           "</questiontext><single>true</single>"
           "<answer fraction=\"100\"><text>a</text></answer>"
           "<answer fraction=\"0\"><text>b</text></answer></question>";
}

TEST(ConvertHostile, XmlEntitiesAreNeverExpandedNorFilesRead) {
    TempDir dir;
    const fs::path secret = dir.Write("secret.txt", "TOP-SECRET-LINE");
    std::string bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE quiz [\n<!ENTITY a \"aaaaaaaaaa\">\n";
    for (int level = 1; level <= 12; ++level) {
        std::string entity = "<!ENTITY a" + std::to_string(level) + " \"";
        for (int i = 0; i < 10; ++i) {
            entity += level == 1 ? "&a;" : "&a" + std::to_string(level - 1) + ";";
        }
        bomb += entity + "\">\n";
    }
    bomb += "<!ENTITY file SYSTEM \"file://" + secret.string() + "\">\n";
    bomb += "<!ENTITY net SYSTEM \"http://127.0.0.1:9/x\">\n]>\n<quiz>\n";
    bomb += MoodleQuestion("&a12; &file; &net;") + "\n</quiz>\n";
    const BankReadResult result = ReadQuestionBank(bomb, BankFormat::MoodleXml, {});
    ASSERT_EQ(result.Converted, 1);
    const std::string all = AllText(*result.Tezra);
    EXPECT_EQ(all.find("TOP-SECRET"), std::string::npos);
    EXPECT_EQ(all.find("aaaaaaaaaa"), std::string::npos);
    EXPECT_LT(all.size(), 200u);
    EXPECT_TRUE(Mentions(result, "не раскрываются"));
}

TEST(ConvertHostile, DamagedBanksGiveTheirLineAndKeepWhatCanBeRead) {
    struct Case {
        BankFormat Format;
        std::string Text;
        int Converted;
        std::size_t Line;   // where the warning or error stands
        std::string Shown;  // part of its text
    };
    const std::string head = "<?xml version=\"1.0\"?>\n<quiz>\n";
    const Case cases[] = {
        {BankFormat::MoodleXml, head + MoodleQuestion("ok") + "\n<question type=\"multi", 0, 4,
         "не читается как XML"},
        {BankFormat::MoodleXml, "<?xml version=\"1.0\"?>\n<other/>\n", 0, 1, "<quiz>"},
        {BankFormat::MoodleXml, "", 0, 1, "не читается как XML"},
        {BankFormat::MoodleXml,
         head + "\n" +
             MoodleQuestion("<img src=\"@@PLUGINFILE@@/p.png\">",
                            "<file name=\"p.png\" encoding=\"base64\">%%%</file>") +
             "</quiz>",
         1, 4, "base64 не декодируется"},
        {BankFormat::MoodleXml,
         head +
             MoodleQuestion("<img src=\"@@PLUGINFILE@@/p.png\">",
                            "<file name=\"p.png\" encoding=\"base64\">" +
                                EncodeBase64(std::vector<std::uint8_t>{0x89, 'P', 'N', 'G', '\r',
                                                                       '\n', 0x1A, '\n', 0, 0}) +
                                "</file>") +
             "</quiz>",
         1, 3, "PNG повреждён"},
        {BankFormat::MoodleXml,
         head +
             MoodleQuestion("<img src=\"@@PLUGINFILE@@/p.jpg\">",
                            "<file name=\"p.jpg\" encoding=\"base64\">/9j/4AAQ</file>") +
             "</quiz>",
         1, 3, "JPEG повреждён"},
        {BankFormat::MoodleXml,
         head +
             MoodleQuestion(
                 "<img src=\"@@PLUGINFILE@@/p.gif\">",
                 "<file name=\"p.gif\" encoding=\"base64\">R0lGODlhAQABAIAAAP8=</file>") +
             "</quiz>",
         1, 3, "GIF"},
        {BankFormat::Gift, "Q1 {=a ~b}\n\nQ2 {=a ~b\n\nQ3 {=c ~d}\n", 2, 3, "не закрыта"},
        {BankFormat::Gift, "Q1 }=a ~b{\n", 0, 1, "не закрыта"},
        {BankFormat::Gift, "::only a title::\n", 0, 1, "описание"},
        {BankFormat::Aiken, "Q?\nA) x\nB) y\n\nQ2?\nA) x\nANSWER: A\n", 1, 1, "ANSWER"},
        {BankFormat::Aiken, "Q?\nA) x\nB) y\nANSWER: C\n", 0, 1, "не назван"},
        {BankFormat::Aiken, "Q?\nA) x\nB) y", 0, 1, "ANSWER"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text.substr(0, 80));
        const BankReadResult result = ReadQuestionBank(c.Text, c.Format, {});
        EXPECT_EQ(result.Converted, c.Converted);
        bool found = false;
        for (const BankWarning& w : result.Warnings) {
            found = found || (w.Line == c.Line && w.Text.find(c.Shown) != std::string::npos);
        }
        EXPECT_TRUE(found) << "no warning at line " << c.Line << " with " << c.Shown;
    }
}

TEST(ConvertHostile, PicturesAreReadFromInsideTheBankFolderOnly) {
    TempDir dir;
    const std::string jpeg =
        TempDir::Read(fs::path(TEZRA_TEST_DATA_DIR) / "model" / "pictures" / "dot.jpg");
    dir.Write("outside.jpg", jpeg);
    dir.Write("bank/inside.jpg", jpeg);
    fs::create_symlink(dir.Path / "outside.jpg", dir.Path / "bank" / "link.jpg");
    fs::create_directory(dir.Path / "bank" / "folder.jpg");
    const struct {
        std::string Source;
        bool Taken;
    } cases[] = {
        {"inside.jpg", true},
        {"./inside.jpg", true},
        {"@@PLUGINFILE@@/inside.jpg", true},
        {"../outside.jpg", false},
        {dir.Path.string() + "/outside.jpg", false},
        {"link.jpg", false},
        {"folder.jpg", false},
        {"http://127.0.0.1:9/inside.jpg", false},
        {"sub/../../outside.jpg", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Source);
        const std::string gift = "[html]<img src=\"" + c.Source + "\">Q {=a ~b}\n";
        const fs::path bank = dir.Write("bank/q.gift", gift);
        const BankReadResult result = ReadQuestionBankFile(bank, BankFormat::Gift);
        ASSERT_EQ(result.Converted, 1);
        EXPECT_EQ(result.Tezra->Problems[0]->Picture.empty(), !c.Taken);
    }
}

TEST(ConvertHostile, FilesLargerThanTheLimitAreRefusedUnread) {
    TempDir dir;
    const fs::path big = dir.Path / "big.xml";
    { std::ofstream(big) << "<quiz>"; }
    // 100 MB without writing them: the file is sparse.
    ASSERT_EQ(truncate(big.c_str(), 100L * 1000 * 1000), 0);
    const BankReadResult result = ReadQuestionBankFile(big, BankFormat::MoodleXml);
    EXPECT_TRUE(result.Failed);
    EXPECT_EQ(result.Converted, 0);
    EXPECT_TRUE(Mentions(result, "МиБ"));
    const BankReadResult fifo = ReadQuestionBankFile("/dev/zero", BankFormat::Gift);
    EXPECT_TRUE(fifo.Failed);
}

}  // namespace
