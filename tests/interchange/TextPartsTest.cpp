// SPDX-License-Identifier: GPL-3.0-or-later
// The small text pieces of the conversion: cp1251 look-alikes, HTML to plain text, category
// paths, Base64 and the input's encoding.

#include <gtest/gtest.h>

#include "interchange/BankModel.h"
#include "interchange/Base64.h"
#include "interchange/Convert.h"
#include "interchange/HtmlText.h"
#include "interchange/TextCodec.h"
#include "platform/Cp1251.h"

namespace {

TEST(ConvertText, CharactersOutsideCp1251BecomeLookAlikesOrQuestionMarks) {
    const struct {
        std::string Utf8;
        std::string Station;  // as UTF-8 again
        std::vector<std::string> Replaced;
    } cases[] = {
        {"2 − 1 × 3", "2 - 1 x 3", {"−", "×"}},
        {"«Ёлка» — ёж… №5", "«Ёлка» — ёж… №5", {}},
        {"Café naïve", "Cafe naive", {"é", "ï"}},
        {"x ≤ 5 ≥ y ≠ z", "x <= 5 >= y <> z", {"≤", "≥", "≠"}},
        {"π ≈ 3", "pi ~ 3", {"π", "≈"}},
        {"日本 🙂", "?? ?", {"日", "本", "🙂"}},
        {"− −", "- -", {"−"}},
        {std::string("bad \xC3 byte"), "bad ? byte", {"\xEF\xBF\xBD"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Utf8);
        std::vector<CharReplacement> replaced;
        EXPECT_EQ(Cp1251ToUtf8(Utf8ToStation(c.Utf8, replaced)), c.Station);
        std::vector<std::string> from;
        for (const CharReplacement& r : replaced) {
            from.push_back(r.From);
        }
        EXPECT_EQ(from, c.Replaced);
    }
}

TEST(ConvertText, HtmlBecomesPlainLines) {
    const std::pair<std::string, std::string> cases[] = {
        {"<p>One</p><p>Two</p>", "One\nTwo"},
        {"a<br>b<br/><br />c", "a\nb\n\nc"},
        {"  spaced \n  words\t here ", "spaced words here"},
        {"&lt;b&gt; &amp; &quot;x&quot; &#1071; &#x42f; &laquo;q&raquo;", "<b> & \"x\" Я Я «q»"},
        {"&bogus; &#0; &", "&bogus; \xEF\xBF\xBD &"},
        {"<ul><li>one</li><li>two</li></ul>", "one\ntwo"},
        {"x<script>alert(1)</script>y<style>p{}</style>z", "xyz"},
        {"&nbsp;&nbsp;indented&nbsp;", "  indented "},
        {"<p>unclosed <b", "unclosed <b"},
        {"a<!-- hidden -->b", "ab"},
    };
    for (const auto& [html, plain] : cases) {
        EXPECT_EQ(HtmlToPlain(html), plain) << html;
    }
    EXPECT_EQ(HtmlImageSources("<IMG alt='x' SRC='a.png'> <img src=b%20c.jpg> <img>"),
              (std::vector<std::string>{"a.png", "b%20c.jpg"}));
}

TEST(ConvertText, CategoryPathsGiveTheirLastPart) {
    const std::pair<std::string, std::string> cases[] = {
        {"$course$/top/Алгебра/Дроби", "Дроби"},
        {"Алгебра", "Алгебра"},
        {"$course$/top", ""},
        {"top", ""},
        {"top/sub", "sub"},
        {"a/b//c", "b/c"},
        {"$system$/top/x/ ", "x"},
        {"", ""},
    };
    for (const auto& [path, last] : cases) {
        EXPECT_EQ(CategoryLastPart(path), last) << path;
    }
}

TEST(ConvertText, Base64RoundTripsAndRefusesWhatIsNotBase64) {
    for (std::size_t size = 0; size < 8; ++size) {
        std::vector<std::uint8_t> bytes;
        for (std::size_t i = 0; i < size; ++i) {
            bytes.push_back(static_cast<std::uint8_t>(0xF0 + i * 7));
        }
        EXPECT_EQ(DecodeBase64(EncodeBase64(bytes)), bytes) << size;
    }
    EXPECT_EQ(DecodeBase64("SGVs\nbG8=\r\n"),
              (std::vector<std::uint8_t>{'H', 'e', 'l', 'l', 'o'}));
    for (const char* bad : {"SGVsbG8=x", "S", "SG!s", "SGVsbG8==="}) {
        EXPECT_FALSE(DecodeBase64(bad).has_value()) << bad;
    }
}

TEST(ConvertText, GiftFormatMarkersAreNeverPartOfTheText) {
    const std::string gift =
        "::t::[html]<p>Pick <b>one</b></p>{=[html]<i>yes</i> ~[plain]no ~[markdown]*maybe*}\n";
    const BankReadResult result = ReadQuestionBank(gift, BankFormat::Gift, {});
    ASSERT_EQ(result.Converted, 1);
    const TProblem& problem = *result.Tezra->Problems[0];
    EXPECT_EQ(problem.Condition, std::vector<std::string>{"Pick one"});
    ASSERT_EQ(problem.Answers.Variants.size(), 3u);
    EXPECT_EQ(problem.Answers.Variants[0].Text, "yes");
    EXPECT_EQ(problem.Answers.Variants[1].Text, "no");
    EXPECT_EQ(problem.Answers.Variants[2].Text, "*maybe*");
}

TEST(ConvertText, InputEncodingIsRecognised) {
    bool cp1251 = false;
    EXPECT_EQ(InputToUtf8("\xEF\xBB\xBFплан", cp1251), "план");
    EXPECT_FALSE(cp1251);
    EXPECT_EQ(InputToUtf8("\xEF\xEB\xE0\xED", cp1251), "план");
    EXPECT_TRUE(cp1251);
    EXPECT_EQ(InputToUtf8("plain", cp1251), "plain");
    EXPECT_FALSE(cp1251);
}

}  // namespace
