// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/TryApi.h"

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>

#include "collector/JsonAnswer.h"
#include "collector/LibraryApi.h"
#include "collector/ReceivedTime.h"
#include "collector/TryDocument.h"
#include "platform/Cp1251.h"
#include "platform/Numbers.h"
#include "platform/TestFileTypes.h"
#include "tools/sync/PlainNames.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kTryPath = "/api/editor/try";
constexpr std::string_view kPreviewPath = "/api/editor/preview";

const char* const kGone = "Эта попытка закончилась или не найдена. Начните тест заново.";

// UTF-8 for the browser, with the station's line break "\r" as "\n".
std::string Shown(std::string_view cp1251) {
    std::string text = Cp1251ToUtf8(cp1251);
    for (char& c : text) {
        c = c == '\r' ? '\n' : c;
    }
    return text;
}

HttpAnswer Refusal(int status, const std::string& message) {
    return JsonAnswer(status, Json{{"message", message}});
}

// A single-precision number as the station writes it, so that 2.7 reaches the page as 2.7
// rather than as the nearest double of the float.
double ShownNumber(float value) {
    return std::strtod(FormatGeneral(value).c_str(), nullptr);
}

const char* KindName(std::uint8_t mode) {
    return mode == ModeCombo ? "several" : mode == ModeInput ? "typed" : "one";
}

Json ProblemJson(const TryProblem& problem) {
    Json lines = Json::array();
    for (const std::string& line : problem.Lines) {
        lines.push_back(Cp1251ToUtf8(line));
    }
    Json variants = Json::array();
    for (const std::string& variant : problem.Variants) {
        variants.push_back(Cp1251ToUtf8(variant));
    }
    Json picture = nullptr;
    if (problem.Picture.Present) {
        picture = {
            {"file", problem.Picture.File.empty() ? Json(nullptr) : Json(problem.Picture.File)},
            {"embedded", problem.Picture.Embedded}};
    }
    const bool typed = problem.Mode == ModeInput;
    return {{"index", problem.Index},
            {"id", Cp1251ToUtf8(problem.Id)},
            {"title", Cp1251ToUtf8(problem.Title)},
            {"lines", lines},
            {"picture", picture},
            {"kind", KindName(problem.Mode)},
            {"variants", variants},
            {"variantsShuffled", problem.Shuffled && !typed},
            {"placeholder", typed ? Json(TestSession::InputPlaceholder()) : Json(nullptr)}};
}

std::string RemainingText(int remaining) {
    return "Осталось вопросов: " + std::to_string(remaining);
}

Json DeferJson(bool visible, bool enabled, int left) {
    return {{"visible", visible}, {"enabled", enabled}, {"left", left}, {"label", "Отложить"}};
}

Json AttemptJson(const std::string& id, const TryAttempt& attempt) {
    const TryState state = attempt.State();
    const TryProgress progress = attempt.Progress();
    const bool finished = state == TryState::Finished;
    Json message = nullptr;
    Json score = nullptr;
    if (state == TryState::Forgotten) {
        message = Shown(TestSession::ForgottenMessage());
    } else if (finished) {
        const TTestScore& result = attempt.Score();
        message = Shown(result.Message);
        score = {{"points", ShownNumber(result.Points)},
                 {"pointsText", FormatGeneral(result.Points)},
                 {"maxPoints", ShownNumber(attempt.MaxPoints())},
                 {"mark", result.Mark},
                 {"problems", progress.Total}};
    }
    const bool panel = !finished && attempt.DeferPanelVisible();
    return {{"attempt", id},
            {"title", Cp1251ToUtf8(attempt.Title())},
            {"state", finished                       ? "finished"
                      : state == TryState::Forgotten ? "forgotten"
                                                     : "problem"},
            {"message", message},
            {"deferred", attempt.Deferred()},
            {"progress",
             {{"answered", progress.Answered},
              {"total", progress.Total},
              {"remaining", progress.Remaining},
              {"remainingText", RemainingText(progress.Remaining)}}},
            {"defer", DeferJson(panel, panel, attempt.DefersLeft())},
            {"answerLabel", "Я ответил"},
            {"problem", finished ? Json(nullptr) : ProblemJson(attempt.Current())},
            {"score", score}};
}

// The request's JSON body; nothing when it is not a JSON object.
std::optional<nlohmann::json> ReadBody(const std::string& body) {
    nlohmann::json parsed = nlohmann::json::parse(body, nullptr, false);
    if (parsed.is_discarded() || !parsed.is_object()) {
        return std::nullopt;
    }
    return parsed;
}

// A test loaded for trying: the model with its problems' pictures.
struct TriedTest {
    std::unique_ptr<TTezra> Test = std::make_unique<TTezra>();
    std::vector<TryPicture> Pictures;
    int Status = 200;  // else the refusal's status
    std::string Message;
    Json Fault;  // the editor's account of a refused document, when it is one
};

HttpAnswer Refusal(const TriedTest& tried) {
    return tried.Fault.is_null() ? Refusal(tried.Status, tried.Message)
                                 : JsonAnswer(tried.Status, tried.Fault);
}

bool LoadLibraryTest(LibraryStore& store, const std::string& name, TriedTest& tried) {
    const std::optional<LibraryTest> found =
        IsLibraryTestName(name) ? store.Test(name) : std::nullopt;
    if (!found) {
        tried.Status = 404;
        tried.Message = "В библиотеке нет теста «" + name + "».";
        return false;
    }
    bool loaded = false;
    try {
        if (TestFormatOf(std::filesystem::path(name)) == TTestFormat::Text) {
            loaded = LoadTestFromText(*tried.Test, found->Body);
        } else {
            std::string bytes = found->Body;
            TMemoryStream stream(bytes.data(), bytes.size());
            loaded = LoadTestFromBinary(*tried.Test, stream);
        }
    } catch (const std::exception&) {
        loaded = false;
    }
    if (!loaded) {
        tried.Status = 422;
        tried.Message = "Тест «" + name + "» прочитать не удалось.";
        return false;
    }
    tried.Pictures = TakePictures(*tried.Test);
    return true;
}

// The test a request names: {"doc": {...}} or {"test": "NAME"}.
TriedTest LoadTried(LibraryStore& store, const nlohmann::json& request) {
    TriedTest tried;
    const auto doc = request.find("doc");
    const auto name = request.find("test");
    if (doc != request.end() && doc->is_object()) {
        DocFault fault;
        if (!ReadTryDocument(*doc, *tried.Test, tried.Pictures, fault)) {
            tried.Status = 422;
            tried.Fault = fault.Json();
        }
    } else if (name != request.end() && name->is_string()) {
        LoadLibraryTest(store, name->get<std::string>(), tried);
    } else {
        tried.Status = 400;
        tried.Message = "В запросе нет ни теста, ни его имени.";
    }
    return tried;
}

HttpAnswer StartAttempt(TryAttempts& attempts, LibraryStore& store, const nlohmann::json& request,
                        const std::string& teacher) {
    TriedTest tried = LoadTried(store, request);
    if (tried.Status != 200) {
        return Refusal(tried);
    }
    auto attempt = TryAttempt::Begin(std::move(tried.Test), std::move(tried.Pictures));
    if (!attempt) {
        return Refusal(422, "В этом тесте ученику не достаётся ни одной задачи.");
    }
    const std::int64_t now = UnixMsNow();
    const std::string id = attempts.Add(teacher, std::move(attempt), now);
    Json view;
    attempts.With(teacher, id, now, [&](TryAttempt& started) { view = AttemptJson(id, started); });
    return JsonAnswer(201, view);
}

HttpAnswer Preview(LibraryStore& store, const nlohmann::json& request) {
    const auto index = request.find("problem");
    if (index == request.end() || !index->is_number_integer()) {
        return Refusal(400, "Не указано, какую задачу показать.");
    }
    TriedTest tried = LoadTried(store, request);
    if (tried.Status != 200) {
        return Refusal(tried);
    }
    TTezra& test = *tried.Test;
    const auto at = index->get<std::int64_t>();
    if (at < 0 || at >= static_cast<std::int64_t>(test.Problems.size())) {
        return Refusal(404, "В тесте нет такой задачи.");
    }
    const TProblem& problem = *test.Problems[static_cast<std::size_t>(at)];
    test.Prepare();
    test.SelectProblems();
    const int drawn = static_cast<int>(test.Selected.size());
    const bool canDefer = test.CanDefer();
    return JsonAnswer(
        200, Json{{"problem", ProblemJson(ShowProblem(test, problem, tried.Pictures, true))},
                  {"defer", DeferJson(canDefer, canDefer, test.DeferLimit)},
                  {"answerLabel", "Я ответил"},
                  {"remainingText", RemainingText(std::max(drawn - 1, 0))}});
}

// The student's input from {"answer": ...} for the problem on screen; false when it names an
// item that is not shown.
bool ReadAnswer(const nlohmann::json& request, const TryProblem& problem, TAnswerInput& input) {
    const auto found = request.find("answer");
    if (found == request.end()) {
        return true;
    }
    const nlohmann::json& answer = *found;
    const auto shown = static_cast<std::int64_t>(problem.Variants.size());
    const auto inRange = [shown](const nlohmann::json& item) {
        return item.is_number_integer() && item.get<std::int64_t>() >= 0 &&
               item.get<std::int64_t>() < shown;
    };
    if (problem.Mode == ModeRadio && answer.is_number()) {
        if (!inRange(answer)) {
            return false;
        }
        input.RadioIndex = answer.get<int>();
    } else if (problem.Mode == ModeCombo && answer.is_array()) {
        input.Checked.assign(problem.Variants.size(), false);
        for (const nlohmann::json& item : answer) {
            if (!inRange(item)) {
                return false;
            }
            input.Checked[item.get<std::size_t>()] = true;
        }
    } else if (problem.Mode == ModeInput && answer.is_string()) {
        input.Typed = Utf8ToCp1251(answer.get<std::string>());
    }
    return true;
}

// What follows /api/editor/try/: the attempt's id and the step ("", "answer" or "defer").
struct TryTarget {
    std::string Id;
    std::string Step;
};

std::optional<TryTarget> ReadTarget(std::string_view path) {
    if (!path.starts_with(kTryPath) || path.size() <= kTryPath.size() + 1 ||
        path[kTryPath.size()] != '/') {
        return std::nullopt;
    }
    std::string_view rest = path.substr(kTryPath.size() + 1);
    const std::size_t slash = rest.find('/');
    TryTarget target;
    target.Id = std::string(rest.substr(0, slash));
    target.Step = slash == std::string_view::npos ? "" : std::string(rest.substr(slash + 1));
    const bool knownStep =
        target.Step.empty() || target.Step == "answer" || target.Step == "defer";
    if (target.Id.empty() || !knownStep) {
        return std::nullopt;
    }
    return target;
}

HttpAnswer Step(TryAttempts& attempts, const TryTarget& target, const std::string& method,
                const std::string& body, const std::string& teacher) {
    const std::int64_t now = UnixMsNow();
    const bool read = target.Step.empty() && method == "GET";
    const bool end = target.Step.empty() && method == "DELETE";
    if (!read && !end && (target.Step.empty() || method != "POST")) {
        return Refusal(405, "Такой запрос к попытке не принимается.");
    }
    if (end) {
        if (!attempts.Remove(teacher, target.Id, now)) {
            return Refusal(404, kGone);
        }
        return JsonAnswer(200, Json{{"ended", true}});
    }
    std::optional<nlohmann::json> request;
    if (target.Step == "answer" && !(request = ReadBody(body))) {
        return Refusal(400, "Ответ прислан не в том виде.");
    }
    HttpAnswer answer;
    const bool found = attempts.With(teacher, target.Id, now, [&](TryAttempt& attempt) {
        if (target.Step == "answer" && attempt.State() != TryState::Finished) {
            TAnswerInput input;
            if (!ReadAnswer(*request, attempt.Current(), input)) {
                answer = Refusal(400, "Такого варианта ответа в задаче нет.");
                return;
            }
            attempt.Answer(input);
        } else if (target.Step == "defer") {
            attempt.Defer();
        }
        answer = JsonAnswer(200, AttemptJson(target.Id, attempt));
    });
    return found ? answer : Refusal(404, kGone);
}

}  // namespace

bool IsTryApiPath(std::string_view path) {
    return path == kTryPath || path == kPreviewPath ||
           (path.starts_with(kTryPath) && path.size() > kTryPath.size() &&
            path[kTryPath.size()] == '/');
}

std::size_t TryBodyLimit(const RequestHead& head) {
    const std::string_view path = head.Path();
    if (!IsTryApiPath(path) || head.Method != "POST") {
        return 0;
    }
    return path == kTryPath || path == kPreviewPath ? kMaxTestUploadBytes : kMaxTryAnswerBytes;
}

HttpAnswer TryTooLarge(const RequestHead& head) {
    return Refusal(413, TryBodyLimit(head) == kMaxTestUploadBytes
                            ? "Тест больше 50 МБ: так много сервер не принимает."
                            : "Ответ слишком длинный.");
}

void ServeTryApi(ClassLibrary& library, TryAttempts& attempts, HttpServer& server,
                 std::uint64_t connection, const RequestHead& head, const std::string& teacher) {
    const std::string_view path = head.Path();
    if (path == kTryPath || path == kPreviewPath) {
        if (head.Method != "POST") {
            return server.Answer(connection, Refusal(405, "Нужен запрос POST."));
        }
        const std::optional<nlohmann::json> request = ReadBody(head.Body);
        if (!request) {
            return server.Answer(connection, Refusal(400, "Запрос прислан не в том виде."));
        }
        // The drawing runs on the library's thread, where the checker also draws: the
        // model's one random generator is never used from two threads at once.
        const bool preview = path == kPreviewPath;
        return library.Post([&server, &attempts, connection, preview, teacher, request = *request](
                                LibraryStore& store, ResultStore&) {
            server.Answer(connection, preview ? Preview(store, request)
                                              : StartAttempt(attempts, store, request, teacher));
        });
    }
    const std::optional<TryTarget> target = ReadTarget(path);
    if (!target) {
        return server.Answer(connection, Refusal(404, kGone));
    }
    library.Post([&server, &attempts, connection, target = *target, method = head.Method,
                  body = head.Body, teacher](LibraryStore&, ResultStore&) {
        server.Answer(connection, Step(attempts, target, method, body, teacher));
    });
}
