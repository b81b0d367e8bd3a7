// SPDX-License-Identifier: GPL-3.0-or-later
// A test tried as a student on the class server: the drawing, the variant order, the
// deferrals, the forgotten answer and the score come out as the station's own code makes
// them for the same random draws and the same answers; the attempts' table keeps its bounds.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

#include "collector/TryAttempts.h"
#include "collector/TryDocument.h"
#include "platform/Cp1251.h"
#include "platform/Numbers.h"
#include "platform/Random.h"

namespace {

std::string DemoText(const std::string& name) {
    std::ifstream in(std::string(TEZRA_DEMO_TESTS_DIR) + "/" + name, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::unique_ptr<TTezra> LoadDemo(const std::string& name) {
    auto test = std::make_unique<TTezra>();
    EXPECT_TRUE(LoadTestFromText(*test, DemoText(name))) << name;
    return test;
}

std::unique_ptr<TryAttempt> BeginDemo(const std::string& name) {
    auto test = LoadDemo(name);
    auto pictures = TakePictures(*test);
    return TryAttempt::Begin(std::move(test), std::move(pictures));
}

std::unique_ptr<TryAttempt> BeginDocument(const nlohmann::json& document) {
    auto test = std::make_unique<TTezra>();
    std::vector<TryPicture> pictures;
    DocFault fault;
    EXPECT_TRUE(ReadTryDocument(document, *test, pictures, fault)) << fault.Message;
    return TryAttempt::Begin(std::move(test), std::move(pictures));
}

// The input that answers the shown problem fully right or as wrongly as it can, judged by the
// weights of the same problem in a copy of the test; given gets the texts the station records.
TAnswerInput Answering(const TProblem& source, const TryProblem& shown, bool right,
                       std::vector<std::string>& given) {
    TAnswerInput input;
    const auto weight = [&source](const std::string& text) {
        return source.Answers
            .Variants[static_cast<std::size_t>(source.Answers.IndexOfVariant(text))]
            .Weight;
    };
    if (shown.Mode == ModeInput) {
        const TVariant* best = &source.Answers.Variants.front();
        for (const TVariant& variant : source.Answers.Variants) {
            best = variant.Weight > best->Weight ? &variant : best;
        }
        input.Typed = right ? best->Text : std::string("zzz");
        given = {input.Typed};
        return input;
    }
    std::size_t pick = 0;
    for (std::size_t i = 1; i < shown.Variants.size(); ++i) {
        const bool better = right ? weight(shown.Variants[i]) > weight(shown.Variants[pick])
                                  : weight(shown.Variants[i]) < weight(shown.Variants[pick]);
        pick = better ? i : pick;
    }
    given.clear();
    if (shown.Mode == ModeRadio) {
        input.RadioIndex = static_cast<int>(pick);
        given = {shown.Variants[pick]};
        return input;
    }
    input.Checked.assign(shown.Variants.size(), false);
    for (std::size_t i = 0; i < shown.Variants.size(); ++i) {
        input.Checked[i] = right ? weight(shown.Variants[i]) > 0 : i == pick;
        if (input.Checked[i]) {
            given.push_back(shown.Variants[i]);
        }
    }
    return input;
}

TEST(TryAttempt, WholePassDrawsAndScoresAsTheStation) {
    struct Case {
        const char* File;
        bool Right;
        int Mark;
    };
    const Case cases[] = {{"fractions-5.ttxt", true, 5},   {"fractions-5.ttxt", false, 1},
                          {"geography-8.ttxt", true, 5},   {"geography-8.ttxt", false, 1},
                          {"informatics-7.ttxt", true, 5}, {"informatics-7.ttxt", false, 1},
                          {"spelling-5.txt", true, 5},     {"spelling-5.txt", false, 1}};
    std::uint64_t seed = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.File) + (c.Right ? " right" : " wrong"));
        // The station with the same random draws: its own preparation and first showing.
        const auto station = LoadDemo(c.File);
        RandomSeed(++seed);
        station->Prepare();
        station->SelectProblems();
        std::vector<TVariant> firstShown = station->Pending.front()->Answers.Variants;
        if (station->ShuffleVariants) {
            ShuffleStrings(firstShown);
        }
        RandomSeed(seed);
        const auto attempt = BeginDemo(c.File);
        ASSERT_TRUE(attempt);

        if (attempt->Current().Mode != ModeInput) {
            ASSERT_EQ(attempt->Current().Variants.size(), firstShown.size());
            for (std::size_t i = 0; i < firstShown.size(); ++i) {
                EXPECT_EQ(attempt->Current().Variants[i], firstShown[i].Text);
            }
        }
        const auto copy = LoadDemo(c.File);
        std::vector<int> order;
        std::map<int, std::vector<std::string>> givenByProblem;
        while (attempt->State() != TryState::Finished) {
            const TryProblem shown = attempt->Current();
            ASSERT_EQ(attempt->Progress().Answered, static_cast<int>(order.size()));
            order.push_back(shown.Index);
            std::vector<std::string> given;
            attempt->Answer(Answering(*copy->Problems[static_cast<std::size_t>(shown.Index)],
                                      shown, c.Right, given));
            ASSERT_NE(attempt->State(), TryState::Forgotten);
            givenByProblem[shown.Index] = given;
        }
        // The same problems in the same order as the station drew them.
        ASSERT_EQ(order.size(), station->Selected.size());
        for (std::size_t i = 0; i < order.size(); ++i) {
            EXPECT_EQ(station->Problems[static_cast<std::size_t>(order[i])].get(),
                      station->Selected[i]);
        }
        // The station's own scoring of the same answers.
        for (const auto& [index, given] : givenByProblem) {
            station->Problems[static_cast<std::size_t>(index)]->Given = given;
        }
        const float points = station->GetPoints();
        EXPECT_EQ(attempt->Score().Points, points);
        EXPECT_EQ(attempt->Score().Mark, station->GetMark(points));
        EXPECT_EQ(attempt->Score().Mark, c.Mark);
        EXPECT_EQ(attempt->MaxPoints(), static_cast<float>(order.size()));
        if (c.Right) {
            EXPECT_EQ(points, static_cast<float>(order.size()));
        }
        EXPECT_EQ(attempt->Score().Message, Utf8ToCp1251("Вы набрали баллов: ") +
                                                FormatGeneral(points) + Utf8ToCp1251("\rОценка ") +
                                                std::to_string(c.Mark));
    }
}

TEST(TryAttempt, GroupQuotasAreHonoured) {
    // Quota 2 of 3, quota 5 of 1 (capped), quota 0 (none drawn), a section without a quota
    // and two groups that are not listed (all drawn in full).
    nlohmann::json problems = nlohmann::json::array();
    const std::pair<const char*, int> members[] = {{"a", 3}, {"b", 1}, {"c", 2},
                                                   {"d", 2}, {"e", 3}, {"free", 2}};
    for (const auto& [group, count] : members) {
        for (int i = 0; i < count; ++i) {
            problems.push_back({{"group", group},
                                {"text", std::string(group) + std::to_string(i)},
                                {"kind", "typed"},
                                {"variants", {{{"text", "x"}, {"weight", 100}}}}});
        }
    }
    const nlohmann::json document = {
        {"shuffle", {{"groups", true}, {"problems", true}, {"variants", true}}},
        {"groups",
         {{{"name", "A"}, {"quota", 2}},
          {{"name", "b"}, {"quota", 5}},
          {{"name", "c"}, {"quota", 0}},
          {{"name", "e"}, {"quota", nullptr}}}},
        {"problems", problems}};
    for (int pass = 0; pass < 20; ++pass) {
        const auto attempt = BeginDocument(document);
        ASSERT_TRUE(attempt);
        std::map<char, int> drawn;
        std::set<int> seen;
        while (attempt->State() != TryState::Finished) {
            const TryProblem& shown = attempt->Current();
            EXPECT_TRUE(seen.insert(shown.Index).second) << "drawn twice: " << shown.Index;
            ++drawn[shown.Lines.front()[0]];
            TAnswerInput input;
            input.Typed = "x";
            attempt->Answer(input);
        }
        EXPECT_EQ(drawn, (std::map<char, int>{{'a', 2}, {'b', 1}, {'d', 2}, {'e', 3}, {'f', 2}}));
        EXPECT_EQ(attempt->Score().Mark, 5);
    }
}

nlohmann::json Variant(const char* text, int weight) {
    nlohmann::json variant = nlohmann::json::object();
    variant["text"] = text;
    variant["weight"] = weight;
    return variant;
}

nlohmann::json Problem(const char* id, const char* kind, nlohmann::json variants) {
    nlohmann::json problem = nlohmann::json::object();
    problem["id"] = id;
    problem["kind"] = kind;
    problem["text"] = std::string("Задача ") + id + "\nвторая строка";
    problem["variants"] = std::move(variants);
    return problem;
}

// A one-answer, a several-answers and a typed problem, in that order.
nlohmann::json ThreeKinds(int defer) {
    nlohmann::json document = nlohmann::json::object();
    document["title"] = "Проба";
    document["defer"] = defer;
    document["marks"] = {{"5", 3}, {"4", 2}, {"3", 1}, {"2", 0.5}};
    document["problems"] = nlohmann::json::array(
        {Problem("one", "one", {Variant("да", 100), Variant("нет", 0)}),
         Problem("several", "several", {Variant("a", 50), Variant("b", 50), Variant("c", -50)}),
         Problem("typed", "typed", {Variant("Рим", 100)})});
    return document;
}

TEST(TryAttempt, DeferralsFollowTheLimit) {
    struct Case {
        int Limit;
        int Allowed;  // deferrals that move the problem
    };
    for (const Case c : {Case{0, 0}, Case{1, 1}, Case{2, 2}, Case{5, 5}}) {
        SCOPED_TRACE("limit " + std::to_string(c.Limit));
        const auto attempt = BeginDocument(ThreeKinds(c.Limit));
        ASSERT_TRUE(attempt);
        EXPECT_EQ(attempt->DeferPanelVisible(), c.Limit > 0);
        std::vector<int> deferredOrder;
        for (int press = 0; press < c.Allowed; ++press) {
            deferredOrder.push_back(attempt->Current().Index);
            attempt->Defer();
            EXPECT_TRUE(attempt->Deferred());
            EXPECT_EQ(attempt->DefersLeft(), c.Limit - press - 1);
            EXPECT_TRUE(attempt->DeferPanelVisible());  // still shown with 0 left
            EXPECT_EQ(attempt->Progress().Answered, 0);
        }
        // The next press only hides the panel; the problem stays.
        const int onScreen = attempt->Current().Index;
        attempt->Defer();
        EXPECT_FALSE(attempt->Deferred());
        EXPECT_FALSE(attempt->DeferPanelVisible());
        EXPECT_EQ(attempt->Current().Index, onScreen);
        // Three problems rotate: after k deferrals problem k is on screen, and the order
        // in which the rest come is the station's rotation.
        std::vector<int> rest;
        while (attempt->State() != TryState::Finished) {
            rest.push_back(attempt->Current().Index);
            TAnswerInput input;
            input.RadioIndex = 0;
            input.Checked = {true};
            input.Typed = "x";
            attempt->Answer(input);
        }
        std::vector<int> expected;
        for (int i = 0; i < 3; ++i) {
            expected.push_back((i + c.Allowed) % 3);
        }
        EXPECT_EQ(rest, expected);
    }
}

TEST(TryAttempt, ForgottenAnswerKeepsTheProblem) {
    struct Case {
        int Problem;  // which of the three kinds is on screen
        TAnswerInput Input;
        bool Counts;
    };
    TAnswerInput none;
    TAnswerInput placeholder;
    placeholder.Typed = TTestSession::InputPlaceholder();
    TAnswerInput otherCase;
    otherCase.Typed = "(TYPE YOUR ANSWER HERE)";
    TAnswerInput unticked;
    unticked.Checked = {false, false, false};
    TAnswerInput ticked;
    ticked.Checked = {false, false, true};
    TAnswerInput chosen;
    chosen.RadioIndex = 1;
    const Case cases[] = {{0, none, false},        {0, chosen, true},   {1, none, false},
                          {1, unticked, false},    {1, ticked, true},   {2, none, false},
                          {2, placeholder, false}, {2, otherCase, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE("problem " + std::to_string(c.Problem));
        const auto attempt = BeginDocument(ThreeKinds(3));
        for (int i = 0; i < c.Problem; ++i) {
            attempt->Defer();
        }
        ASSERT_EQ(attempt->Current().Index, c.Problem);
        attempt->Answer(c.Input);
        if (c.Counts) {
            EXPECT_EQ(attempt->State(), TryState::Problem);
            EXPECT_EQ(attempt->Progress().Answered, 1);
            EXPECT_NE(attempt->Current().Index, c.Problem);
        } else {
            EXPECT_EQ(attempt->State(), TryState::Forgotten);
            EXPECT_EQ(attempt->Progress().Answered, 0);
            EXPECT_EQ(attempt->Current().Index, c.Problem);
            EXPECT_EQ(attempt->DefersLeft(), 3 - c.Problem);
        }
    }
    EXPECT_EQ(TTestSession::ForgottenMessage(),
              Utf8ToCp1251("Вы забыли выбрать ответ!\r\r\rВай бащка сапсеэм дырявый..."));
}

TEST(TryAttempt, NothingDrawnAndNoFileRead) {
    // Every listed group with quota 0: nothing to try.
    const nlohmann::json empty = {{"groups", {{{"name", "g"}, {"quota", 0}}}},
                                  {"problems", {{{"group", "g"}, {"kind", "typed"}}}}};
    EXPECT_FALSE(BeginDocument(empty));
    EXPECT_FALSE(BeginDocument(nlohmann::json::object()));

    // Pictures by name and by bytes. A name of one of the server's files is shown as a name
    // only: nothing is read, also where bytes came with it.
    struct Case {
        const char* Block;
        const char* File;
        bool Embedded;
    };
    const Case cases[] = {{"FILE=/etc/passwd\r\n", "/etc/passwd", false},
                          {"DATA=PPNIPP\r\n", "picture-2.jpg", true},
                          {"FILE=/etc/hostname\r\nDATA=PPNI\r\n", "/etc/hostname", true},
                          {"", "", false}};
    std::string text = "§TEZRA\r\n§PROBLEMS\r\n";
    for (const Case& c : cases) {
        text += std::string("§PROBLEM\r\n§CONDITION\r\nx\r\n§END CONDITION\r\n") +
                (*c.Block != '\0' ? "§PICTURE\r\n" : "") + c.Block +
                "§ANSWER\r\nMODE=INPUT\r\n§VARIANTS\r\n[100] 1\r\n§END ANSWER\r\n"
                "§END PROBLEM\r\n";
    }
    auto test = std::make_unique<TTezra>();
    ASSERT_TRUE(LoadTestFromText(*test, Utf8ToCp1251(text + "§END PROBLEMS\r\n§END TEZRA\r\n")));
    TTezra* model = test.get();
    auto pictures = TakePictures(*test);
    const auto attempt = TryAttempt::Begin(std::move(test), std::move(pictures));
    ASSERT_TRUE(attempt);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const TryProblem& shown = attempt->Current();
        ASSERT_EQ(shown.Index, static_cast<int>(i));
        EXPECT_EQ(shown.Picture.Present, *cases[i].File != '\0');
        EXPECT_EQ(shown.Picture.File, cases[i].File);
        EXPECT_EQ(shown.Picture.Embedded, cases[i].Embedded);
        EXPECT_TRUE(model->Problems[i]->Picture.empty());
        EXPECT_TRUE(model->Problems[i]->PictureFile.empty());
        TAnswerInput input;
        input.Typed = "1";
        attempt->Answer(input);
    }
    EXPECT_EQ(attempt->State(), TryState::Finished);
}

TEST(TryDocument, RefusedDocumentsAndPictures) {
    const nlohmann::json bad[] = {
        {{"problems", "x"}},
        {{"problems", {{{"kind", "many"}}}}},
        {{"problems", {{{"variants", {{{"weight", "100"}}}}}}}},
        {{"problems", {{{"text", "ответ: 中"}}}}},
        {{"problems", {{{"picture", {{"file", "/etc/passwd"}}}}}}},
        {{"groups", {{{"quota", true}}}}},
    };
    for (const nlohmann::json& document : bad) {
        SCOPED_TRACE(document.dump());
        TTezra test;
        std::vector<TryPicture> pictures;
        DocFault fault;
        EXPECT_FALSE(ReadTryDocument(document, test, pictures, fault));
        EXPECT_FALSE(fault.Message.empty());
    }
    // Pictures are kept as names; none is read, and the model holds no file name.
    const nlohmann::json document = {{"problems",
                                      {{{"picture", {{"file", "map.jpg"}, {"embedded", true}}}},
                                       {{"picture", {{"file", "side.jpg"}, {"embedded", false}}}},
                                       {{"picture", nullptr}}}}};
    TTezra test;
    std::vector<TryPicture> pictures;
    DocFault fault;
    ASSERT_TRUE(ReadTryDocument(document, test, pictures, fault)) << fault.Message;
    ASSERT_EQ(pictures.size(), 3U);
    const std::tuple<bool, std::string, bool> expected[] = {
        {true, "map.jpg", true}, {true, "side.jpg", false}, {false, "", false}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(std::tie(pictures[i].Present, pictures[i].File, pictures[i].Embedded),
                  expected[i]);
        EXPECT_TRUE(test.Problems[i]->PictureFile.empty());
        EXPECT_TRUE(test.Problems[i]->Picture.empty());
    }
}

std::unique_ptr<TryAttempt> Small() {
    return BeginDocument(ThreeKinds(0));
}

TEST(TryAttempts, BoundedPerTeacherAndForgottenWhenIdle) {
    TryAttempts table;
    std::int64_t now = 1'000'000;
    std::vector<std::string> ids;
    for (std::size_t i = 0; i < TryAttempts::kPerTeacher; ++i) {
        ids.push_back(table.Add("t@127.0.0.1", Small(), ++now));
    }
    const std::string other = table.Add("u@127.0.0.1", Small(), ++now);
    EXPECT_EQ(table.Count("t@127.0.0.1", now), TryAttempts::kPerTeacher);
    // Touching the first makes the second the least recently used; one more drops it.
    const auto touch = [](TryAttempt&) {};
    EXPECT_TRUE(table.With("t@127.0.0.1", ids[0], ++now, touch));
    const std::string newest = table.Add("t@127.0.0.1", Small(), ++now);
    EXPECT_EQ(table.Count("t@127.0.0.1", now), TryAttempts::kPerTeacher);
    EXPECT_FALSE(table.With("t@127.0.0.1", ids[1], now, touch));
    EXPECT_TRUE(table.With("t@127.0.0.1", ids[0], now, touch));
    EXPECT_TRUE(table.With("t@127.0.0.1", newest, now, touch));
    // Another teacher's attempt is neither dropped nor reachable by this teacher.
    EXPECT_TRUE(table.With("u@127.0.0.1", other, now, touch));
    EXPECT_FALSE(table.With("t@127.0.0.1", other, now, touch));
    EXPECT_FALSE(table.Remove("t@127.0.0.1", other, now));
    EXPECT_EQ(newest.size(), 32U);
    EXPECT_EQ(newest.find_first_not_of("0123456789abcdef"), std::string::npos);

    // Idle for two hours: gone; used just before: kept.
    const std::int64_t later = now + TryAttempts::kIdleMs - 1;
    EXPECT_TRUE(table.With("t@127.0.0.1", newest, later, touch));
    EXPECT_FALSE(table.With("u@127.0.0.1", other, now + TryAttempts::kIdleMs, touch));
    EXPECT_EQ(table.Count("t@127.0.0.1", later + TryAttempts::kIdleMs - 1), 1U);
    EXPECT_TRUE(table.Remove("t@127.0.0.1", newest, later + 1));
    EXPECT_EQ(table.Count("t@127.0.0.1", later + 1), 0U);
}

TEST(TryAttempts, BoundedInMemory) {
    const std::size_t one = Small()->Bytes();
    ASSERT_GT(one, sizeof(TTezra));
    TryAttempts table(3 * one);
    std::int64_t now = 5;
    std::vector<std::string> ids;
    for (int i = 0; i < 5; ++i) {
        ids.push_back(table.Add("t", Small(), ++now));
    }
    // Room for three: the two oldest went.
    EXPECT_EQ(table.Count("t", now), 3U);
    const auto touch = [](TryAttempt&) {};
    EXPECT_FALSE(table.With("t", ids[0], now, touch));
    EXPECT_FALSE(table.With("t", ids[1], now, touch));
    EXPECT_TRUE(table.With("t", ids[2], now, touch));
    EXPECT_TRUE(table.With("t", ids[4], now, touch));
    // An attempt larger than the whole budget still runs, alone.
    TryAttempts tiny(1);
    tiny.Add("t", Small(), now);
    const std::string last = tiny.Add("t", Small(), now + 1);
    EXPECT_EQ(tiny.Count("t", now + 1), 1U);
    EXPECT_TRUE(tiny.With("t", last, now + 1, touch));
}

TEST(TryAttempts, BoundedInAll) {
    TryAttempts table;
    std::int64_t now = 5;
    const std::string first = table.Add("teacher0", Small(), ++now);
    for (std::size_t i = 1; i < TryAttempts::kInAll + 1; ++i) {
        table.Add("teacher" + std::to_string(i), Small(), ++now);
    }
    std::size_t held = 0;
    for (std::size_t i = 0; i < TryAttempts::kInAll + 1; ++i) {
        held += table.Count("teacher" + std::to_string(i), now);
    }
    EXPECT_EQ(held, TryAttempts::kInAll);
    EXPECT_FALSE(table.With("teacher0", first, now, [](TryAttempt&) {}));
}

}  // namespace
