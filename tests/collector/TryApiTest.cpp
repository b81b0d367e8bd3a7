// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's "try as a student" and "as the student sees it" requests on a collector on
// loopback: a whole pass as the page drives it, the answers it refuses, a library test with
// its pictures, and that a finished attempt leaves no result behind.

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/collector/CollectorFixture.h"

namespace {

using Json = nlohmann::json;

class TryServer {
public:
    TryServer() {
        const Json answer = Json::parse(BodyOf(Request("GET", "/api/editor/token", {}, {}, false)),
                                        nullptr, false);
        token_ = answer.is_object() ? answer.value("token", "") : "";
    }

    // A request of the editor's page: the teacher's password and, unless withToken is false,
    // the page's write token.
    std::string Request(const std::string& method, const std::string& target,
                        const std::string& body = {}, const std::string& extra = {},
                        bool withToken = true) {
        const std::string token = withToken ? "X-Tezra-Token: " + token_ + "\r\n" : "";
        return Exchange(collector.Port(),
                        method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
                            TeacherAuthorization() + token + extra +
                            "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
    }
    // The status and the JSON body of one request.
    std::pair<int, Json> Call(const std::string& method, const std::string& target,
                              const Json& body = nullptr) {
        const std::string answer = Request(method, target, body.is_null() ? "" : body.dump());
        return {StatusOf(answer), Json::parse(BodyOf(answer), nullptr, false)};
    }

    RunningCollector collector;

private:
    std::string token_;
};

Json Variant(const char* text, int weight) {
    return Json{{"text", text}, {"weight", weight}};
}

Json ThreeKinds() {
    Json document = Json::object();
    document["title"] = "Проба";
    document["defer"] = 1;
    document["marks"] = {{"5", 3}, {"4", 2}, {"3", 1}, {"2", 0.5}};
    Json one = {{"id", "one"}, {"kind", "one"}, {"text", "Первая\nвторая строка"}};
    one["variants"] = Json::array({Variant("да", 100), Variant("нет", 0)});
    one["picture"] = {{"file", "map.jpg"}, {"embedded", true}};
    Json several = {{"id", "several"}, {"kind", "several"}, {"text", "b"}};
    several["variants"] = Json::array({Variant("a", 70), Variant("b", 30), Variant("c", -50)});
    Json typed = {{"id", "typed"}, {"kind", "typed"}, {"text", "c"}};
    typed["variants"] = Json::array({Variant("Рим", 100)});
    document["problems"] = Json::array({one, several, typed});
    return document;
}

std::string DemoBytes(const std::string& name) {
    std::ifstream in(std::string(TEZRA_DEMO_TESTS_DIR) + "/" + name, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

TEST(TryApi, WholePassAsThePageDrivesIt) {
    TryServer server;
    ASSERT_TRUE(server.collector.Service);
    auto [status, view] = server.Call("POST", "/api/editor/try", {{"doc", ThreeKinds()}});
    ASSERT_EQ(status, 201) << view.dump();
    const std::string id = view["attempt"];
    const std::string base = "/api/editor/try/" + id;
    EXPECT_EQ(view["title"], "Проба");
    EXPECT_EQ(view["state"], "problem");
    EXPECT_EQ(view["progress"], Json({{"answered", 0},
                                      {"total", 3},
                                      {"remaining", 2},
                                      {"remainingText", "Осталось вопросов: 2"}}));
    EXPECT_EQ(view["defer"],
              Json({{"visible", true}, {"enabled", true}, {"left", 1}, {"label", "Отложить"}}));
    EXPECT_EQ(view["answerLabel"], "Я ответил");
    EXPECT_EQ(view["problem"]["lines"], Json({"Первая", "вторая строка"}));
    EXPECT_EQ(view["problem"]["variants"], Json({"да", "нет"}));
    EXPECT_EQ(view["problem"]["picture"], Json({{"file", "map.jpg"}, {"embedded", true}}));
    EXPECT_EQ(view["problem"]["kind"], "one");
    EXPECT_FALSE(view["problem"].contains("weight"));

    // Each step: the answer sent, then what must come back.
    struct Step {
        const char* Path;
        Json Body;
        const char* State;
        const char* Kind;  // of the problem on screen afterwards; "" when finished
        int Answered;
    };
    const Step steps[] = {
        {"/answer", {{"answer", nullptr}}, "forgotten", "one", 0},
        {"/defer", nullptr, "problem", "several", 0},
        {"/defer", nullptr, "problem", "several", 0},  // none left: the panel goes
        {"/answer", {{"answer", Json::array()}}, "forgotten", "several", 0},
        {"/answer", {{"answer", {0}}}, "problem", "typed", 1},
        {"/answer", {{"answer", "(type your answer here)"}}, "forgotten", "typed", 1},
        {"/answer", {{"answer", 0}}, "forgotten", "typed", 1},  // a kind that does not fit
        {"/answer", {{"answer", " р и м "}}, "problem", "one", 2},
        {"/answer", {{"answer", 0}}, "finished", "", 3},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string(step.Path) + " " + step.Body.dump());
        std::tie(status, view) = server.Call("POST", base + step.Path, step.Body);
        ASSERT_EQ(status, 200) << view.dump();
        EXPECT_EQ(view["state"], step.State);
        EXPECT_EQ(view["progress"]["answered"], step.Answered);
        if (*step.Kind != '\0') {
            EXPECT_EQ(view["problem"]["kind"], step.Kind);
        }
        if (std::string(step.State) == "forgotten") {
            EXPECT_EQ(view["message"],
                      "Вы забыли выбрать ответ!\n\n\nВай бащка сапсеэм дырявый...");
        }
    }
    EXPECT_FALSE(view["defer"]["visible"]);
    EXPECT_TRUE(view["problem"].is_null());
    // 100 + 70 + 100 percent: the single-precision 2.7 as the station shows it.
    EXPECT_EQ(view["message"], "Вы набрали баллов: 2.7\nОценка 4");
    EXPECT_EQ(view["score"], Json({{"points", 2.7},
                                   {"pointsText", "2.7"},
                                   {"maxPoints", 3.0},
                                   {"mark", 4},
                                   {"problems", 3}}));
    // Reloading shows the same; nothing reached the results.
    EXPECT_EQ(server.Call("GET", base).second, view);
    const auto [pollStatus, poll] = server.Call("GET", "/api/results");
    EXPECT_EQ(pollStatus, 200);
    EXPECT_EQ(poll["rows"], Json::array());
    EXPECT_EQ(server.Call("DELETE", base).first, 200);
    EXPECT_EQ(server.Call("GET", base).first, 404);
}

TEST(TryApi, RefusalsSayWhy) {
    TryServer server;
    ASSERT_TRUE(server.collector.Service);
    const auto [status, view] = server.Call("POST", "/api/editor/try", {{"doc", ThreeKinds()}});
    ASSERT_EQ(status, 201);
    const std::string live = "/api/editor/try/" + view["attempt"].get<std::string>();
    const std::string gone = "/api/editor/try/" + std::string(32, '0');
    struct Case {
        const char* Method;
        std::string Target;
        std::string Body;
        int Status;
    };
    const Case cases[] = {
        {"GET", gone, "", 404},
        {"POST", gone + "/answer", R"({"answer":0})", 404},
        {"POST", gone + "/defer", "", 404},
        {"DELETE", gone, "", 404},
        {"POST", live + "/answer", "not json", 400},
        {"POST", live + "/answer", R"({"answer":2})", 400},
        {"POST", live + "/answer", R"({"answer":-1})", 400},
        {"POST", live + "/skip", "", 404},
        {"PUT", live, "", 405},
        {"GET", "/api/editor/try", "", 405},
        {"POST", "/api/editor/try", "{}", 400},
        {"POST", "/api/editor/try", R"({"doc":{"problems":"x"}})", 422},
        {"POST", "/api/editor/try", R"({"test":"nosuch.ttxt"})", 404},
        {"POST", "/api/editor/try", R"({"doc":{"problems":[]}})", 422},
        {"POST", "/api/editor/preview", R"({"doc":{"problems":[{}]}})", 400},
        {"POST", "/api/editor/preview", R"({"doc":{"problems":[{}]},"problem":1})", 404},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Method) + " " + c.Target + " " + c.Body);
        const std::string answer = server.Request(c.Method, c.Target, c.Body);
        EXPECT_EQ(StatusOf(answer), c.Status);
        const Json body = Json::parse(BodyOf(answer), nullptr, false);
        ASSERT_TRUE(body.is_object());
        EXPECT_TRUE(body["message"].is_string() && !body["message"].get<std::string>().empty());
    }
    // The refused answers changed nothing; a page of another site, or a write without the
    // page's token, is refused before it.
    EXPECT_EQ(server.Call("GET", live).second["progress"]["answered"], 0);
    const std::string foreign = server.Request("POST", live + "/answer", R"({"answer":0})",
                                               "Origin: http://evil.example\r\n");
    EXPECT_EQ(StatusOf(foreign), 403);
    const std::string tokenless =
        server.Request("POST", live + "/answer", R"({"answer":0})", {}, false);
    EXPECT_EQ(StatusOf(tokenless), 403);
    EXPECT_EQ(StatusOf(server.Request("POST", live + "/answer", R"({"answer":0})",
                                      "X-Tezra-Token: " + std::string(64, 'a') + "\r\n", false)),
              403);
    const std::string stranger =
        Exchange(server.collector.Port(), "GET " + live + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(StatusOf(stranger), 401);
    EXPECT_EQ(server.Call("GET", live).second["progress"]["answered"], 0);
}

TEST(TryApi, LibraryTestWithPicturesAndPreview) {
    TryServer server;
    ASSERT_TRUE(server.collector.Service);
    ASSERT_EQ(StatusOf(server.Request("PUT", "/api/tests/fractions-5.ttxt",
                                      DemoBytes("fractions-5.ttxt"))),
              201);
    auto [status, view] = server.Call("POST", "/api/editor/try", {{"test", "fractions-5.ttxt"}});
    ASSERT_EQ(status, 201) << view.dump();
    EXPECT_EQ(view["progress"]["total"], 7);  // quotas 3 + 3 + 1
    EXPECT_EQ(view["defer"]["left"], 2);

    // The first problem (a typed answer with a picture beside the test) and the second
    // (one answer); the test shuffles variants, the preview says so.
    struct Case {
        int Index;
        Json Picture;
        const char* Kind;
        std::size_t Variants;
    };
    const Case cases[] = {{0, {{"file", "fractions-pie.jpg"}, {"embedded", false}}, "typed", 0},
                          {1, {{"file", "fractions-strip.jpg"}, {"embedded", false}}, "one", 4},
                          {2, nullptr, "one", 4}};
    for (const Case& c : cases) {
        std::tie(status, view) = server.Call("POST", "/api/editor/preview",
                                             {{"test", "fractions-5.ttxt"}, {"problem", c.Index}});
        ASSERT_EQ(status, 200) << view.dump();
        EXPECT_EQ(view["problem"]["index"], c.Index);
        EXPECT_EQ(view["problem"]["picture"], c.Picture);
        EXPECT_EQ(view["problem"]["kind"], c.Kind);
        EXPECT_EQ(view["problem"]["variants"].size(), c.Variants);
        EXPECT_EQ(view["problem"]["variantsShuffled"], c.Variants > 0);
        EXPECT_EQ(view["remainingText"], "Осталось вопросов: 6");
        EXPECT_EQ(view["defer"]["left"], 2);
    }
    // A document that keeps the stored order shows it as stored.
    std::tie(status, view) =
        server.Call("POST", "/api/editor/preview", {{"doc", ThreeKinds()}, {"problem", 1}});
    ASSERT_EQ(status, 200);
    EXPECT_EQ(view["problem"]["variants"], Json({"a", "b", "c"}));
    EXPECT_FALSE(view["problem"]["variantsShuffled"]);
    EXPECT_EQ(view["remainingText"], "Осталось вопросов: 2");
}

}  // namespace
