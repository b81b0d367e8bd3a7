// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/ResultSubmission.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>

#include "platform/Cp1251.h"

namespace {

// cp1251 text from the UTF-8 of this source.
std::string C(std::string_view utf8) {
    return Utf8ToCp1251(utf8);
}

// Records every call as one line; answers input boxes from a script (Cancel when it runs out).
class FakeView : public SubmissionView {
public:
    std::vector<std::string> events;
    std::vector<std::string> answers;

    void ClearActivity() override { events.push_back("clear"); }
    void ShowActivity(const std::string& name) override { events.push_back("show " + name); }
    void AppendActivityLine(const std::string& line) override { events.push_back("line " + line); }
    void FinishActivityLine(const std::string& ending) override {
        events.push_back("finish" + ending);
    }
    void HideActivity() override { events.push_back("hide"); }
    void Sleep(int milliseconds) override {
        events.push_back("sleep " + std::to_string(milliseconds));
    }
    void ShowMessage(const std::string& text) override { events.push_back("message " + text); }
    std::string InputBox(const std::string& caption, const std::string& prompt,
                         const std::string& defaultText) override {
        events.push_back("input " + caption + "|" + prompt + "|" + defaultText);
        if (answers.empty()) {
            return defaultText;
        }
        std::string answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
    int Count(std::string_view prefix) const {
        int count = 0;
        for (const std::string& event : events) {
            count += event.starts_with(prefix) ? 1 : 0;
        }
        return count;
    }
};

// Accepts the request when the URL's server is listed as up; records the URLs.
struct FakeGetter {
    std::map<std::string, bool> up;
    std::vector<std::string> urls;

    ResultGetter Getter() {
        return [this](const std::string& url) {
            urls.push_back(url);
            const std::string server = url.substr(7, url.find("/tezra/result") - 7);
            return up.count(server) != 0 && up.at(server);
        };
    }
};

TEST(ResultSubmission, ScoreIsRoundedHalfToEven) {
    const std::pair<float, std::int64_t> cases[] = {
        {3.5f, 35000},       {2.7f, 27000},
        {0.0f, 0},           {1.0f / 3.0f, 3333},
        {0.03125f, 312},     {0.09375f, 938},
        {-0.03125f, -312},   {-2.7f, -27000},
        {12.34567f, 123457}, {1e30f, std::numeric_limits<std::int64_t>::max()},
        {std::nanf(""), 0},
    };
    for (const auto& [points, res] : cases) {
        EXPECT_EQ(ResultScore(points), res) << points;
    }
}

TEST(ResultSubmission, QueryEscapesOnlyWhatCouldBreakTheRequest) {
    EXPECT_EQ(BuildResultQuery("9B", "Smith", 3.5f, 4), "group=9B&user=Smith&res=35000&mark=4");
    EXPECT_EQ(BuildResultQuery("", "", 0.0f, 2), "group=&user=&res=0&mark=2");
    // Cyrillic letters go out as their raw cp1251 bytes.
    EXPECT_EQ(BuildResultQuery(C("10Б"), C("Иванов"), 2.7f, 3),
              "group=10\xC1&user=\xC8\xE2\xE0\xED\xEE\xE2&res=27000&mark=3");
    // Nothing a student types can end the request line, cut the score off or forge a field.
    EXPECT_EQ(BuildResultQuery("a b", "x&res=99999&mark=5#", 1.0f, 1),
              "group=a%20b&user=x%26res%3D99999%26mark%3D5%23&res=10000&mark=1");
    EXPECT_EQ(EncodeQueryValue(std::string("\"%+?\\\x7F\x01\t\r\n\0!'/;~\x80\xFF", 18)),
              "%22%25%2B%3F%5C%7F%01%09%0D%0A%00!'/;~\x80\xFF");
}

TEST(ResultSubmission, WalkOverTheServers) {
    struct Case {
        const char* name;
        std::vector<std::string> servers;
        std::string address;
        std::vector<std::string> upServers;
        bool ok;
        std::vector<std::string> tried;
        std::vector<std::string> serversAfter;
        std::string addressAfter;
    };
    const Case cases[] = {
        {"empty list: one request to the address",
         {},
         "srv",
         {"srv"},
         true,
         {"srv"},
         {"srv"},
         "srv"},
        {"address inserted at the head",
         {"a", "b"},
         "srv",
         {"b"},
         true,
         {"srv", "a", "b"},
         {"srv", "a", "b"},
         "b"},
        {"listed in another case: tried from the head",
         {"a", "SRV", "b"},
         "srv",
         {"SRV"},
         true,
         {"a", "SRV"},
         {"a", "SRV", "b"},
         "SRV"},
        {"none accepts: last server kept",
         {"a", "b"},
         "a",
         {},
         false,
         {"a", "b"},
         {"a", "b"},
         "b"},
        {"empty address is a server too", {"a"}, "", {""}, true, {""}, {"", "a"}, ""},
        {"cyrillic case folding",
         {C("сервер")},
         C("СЕРВЕР"),
         {C("сервер")},
         true,
         {C("сервер")},
         {C("сервер")},
         C("сервер")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeView view;
        view.answers = {"ok"};
        FakeGetter getter;
        for (const std::string& server : c.upServers) {
            getter.up[server] = true;
        }
        ResultSubmission submission(getter.Getter(), view);
        std::vector<std::string> servers = c.servers;
        std::string address = c.address;
        EXPECT_EQ(submission.Submit(servers, address, "9B", "Smith", 3.5f, 4), c.ok);
        ASSERT_EQ(getter.urls.size(), c.tried.size());
        for (std::size_t i = 0; i < c.tried.size(); ++i) {
            EXPECT_EQ(getter.urls[i], "http://" + c.tried[i] +
                                          "/tezra/result?group=9B&user=Smith&res=35000&mark=4");
        }
        EXPECT_EQ(servers, c.serversAfter);
        EXPECT_EQ(address, c.addressAfter);
        EXPECT_EQ(view.Count("sleep 300"), static_cast<int>(c.tried.size()));
        EXPECT_EQ(view.Count("input "), c.ok ? 0 : 1);
    }
}

TEST(ResultSubmission, ActivityBoxShowsEachAttempt) {
    FakeView view;
    FakeGetter getter;
    getter.up["second"] = true;
    ResultSubmission submission(getter.Getter(), view);
    std::vector<std::string> servers = {"first", "second"};
    std::string address = "first";
    ASSERT_TRUE(submission.Submit(servers, address, "", "", 1.0f, 5));
    const std::vector<std::string> expected = {
        "clear",
        "show " + C("Соединение с сервером"),
        "line " + C("Пробуем адрес first"),
        "finish" + C(" -> абламинго!"),
        "sleep 300",
        "hide",
        "show " + C("Соединение с сервером"),
        "line " + C("Пробуем адрес second"),
        "finish" + C(" -> нормалёк!"),
        "sleep 300",
        "hide",
    };
    EXPECT_EQ(view.events, expected);
    EXPECT_EQ(address, "second");

    // The next student starts at the head again; the list does not grow.
    getter.urls.clear();
    ASSERT_TRUE(submission.Submit(servers, address, "", "", 1.0f, 5));
    ASSERT_EQ(getter.urls.size(), 2u);
    EXPECT_TRUE(getter.urls[0].starts_with("http://first/"));
    EXPECT_EQ(servers.size(), 2u);
    EXPECT_EQ(view.Count("clear"), 2);
}

TEST(ResultSubmission, FallbackDialogueAcceptsTheWordInEitherAlphabet) {
    struct Case {
        std::vector<std::string> answers;
        int prompts;
    };
    const Case cases[] = {
        {{"ok"}, 1},
        {{"OK"}, 1},
        {{"oK"}, 1},
        {{C("ок")}, 1},
        {{C("ОК")}, 1},
        {{C("Ок")}, 1},
        {{"", "", ""}, 3},                 // three Cancels
        {{}, 3},                           // Cancel every time
        {{"okay", "no", "OK", "ok"}, 3},   // the third try hits
        {{"O" + C("к"), "ok "}, 3},        // mixed alphabets and a blank do not count
        {{"0K", "nope", "nah", "ok"}, 3},  // never more than three tries
    };
    for (const Case& c : cases) {
        FakeView view;
        view.answers = c.answers;
        FakeGetter getter;
        ResultSubmission submission(getter.Getter(), view);
        std::vector<std::string> servers;
        std::string address = "down";
        EXPECT_FALSE(submission.Submit(servers, address, "9B", "Smith", 2.7f, 3));
        EXPECT_EQ(view.Count("input "), c.prompts) << (c.answers.empty() ? "" : c.answers[0]);
        ASSERT_GE(view.events.size(), 9u);
        EXPECT_EQ(view.events[6], "message " + C("Пожалуйста, позовите учителя к своему "
                                                 "компьютеру!"));
        EXPECT_EQ(view.events[7], "message " + C("Необходимо позвать учителя к своему "
                                                 "компьютеру!"));
        EXPECT_EQ(view.events[8], "input " + C("Результат теста") + "|" +
                                      C("Баллы = 2.7\rОценка= 3\r\rВведите СЛОВО:") + "|");
    }
    EXPECT_TRUE(IsAcknowledgementWord("Ok"));
    EXPECT_FALSE(IsAcknowledgementWord("OKK"));
    EXPECT_FALSE(IsAcknowledgementWord(""));
}

}  // namespace
