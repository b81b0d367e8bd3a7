// SPDX-License-Identifier: GPL-3.0-or-later
// tezra-tool dump, score and pack: look into a test file as the station loads it, score a set
// of answers, and convert a test between the text and the binary format.

#include <CLI/CLI.hpp>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "model/TestWriters.h"
#include "model/UTypes.h"
#include "platform/Cp1251.h"
#include "platform/Numbers.h"
#include "platform/Random.h"
#include "tools/Commands.h"
#include "tools/JsonText.h"

namespace {

using Json = nlohmann::ordered_json;

Json Text(std::string_view cp1251) {
    return Json(JsonText(cp1251));
}
Json Float(float value) {
    return Json(JsonFloat(value));
}

void PrintJson(const Json& json) {
    std::cout << json.dump(2) << std::endl;
}

// A usage error found after parsing: the message and the subcommand's help on stderr, status 2.
int UsageError(const CLI::App& command, const std::string& message) {
    std::cerr << "Error: " << message << "\n\n" << command.help();
    return 2;
}

std::string HexHead(const std::vector<std::uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (std::size_t i = 0; i < bytes.size() && i < 32; ++i) {
        hex += kDigits[bytes[i] >> 4];
        hex += kDigits[bytes[i] & 15];
    }
    return hex;
}

Json ProblemJson(const TProblem& problem) {
    Json condition = Json::array();
    for (const std::string& line : problem.Condition) {
        condition.push_back(Text(line));
    }
    Json variants = Json::array();
    for (const TVariant& variant : problem.Answers.Variants) {
        variants.push_back({{"Text", Text(variant.Text)}, {"Weight", variant.Weight}});
    }
    return {{"Id", Text(problem.Id)},
            {"Title", Text(problem.Title)},
            {"Category", Text(problem.Category)},
            {"Difficulty", problem.Difficulty},
            {"Group", Text(problem.Group)},
            {"Rate", Float(problem.Rate)},
            {"Condition", condition},
            {"PictureFile", Text(problem.PictureFile)},
            {"PictureSize", problem.Picture.size()},
            {"PictureHead", HexHead(problem.Picture)},
            {"Mode", problem.Answers.Mode},
            {"Variants", variants}};
}

Json TestJson(const TTezra& tezra, bool loaded, bool prepared) {
    std::map<const TProblem*, std::size_t> index;
    for (std::size_t i = 0; i < tezra.Problems.size(); ++i) {
        index[tezra.Problems[i].get()] = i;
    }
    auto indices = [&index](const std::vector<TProblem*>& problems) {
        Json list = Json::array();
        for (const TProblem* problem : problems) {
            list.push_back(index.at(problem));
        }
        return list;
    };
    Json marks = Json::array();
    for (int mark = 1; mark <= 5; ++mark) {
        marks.push_back(Float(tezra.MarkThresholds[mark]));
    }
    Json groups = Json::array();
    for (const TGroupEntry& entry : tezra.Groups) {
        Json group = {{"Name", Text(entry.Name)},
                      {"Quota", entry.Group->Quota},
                      {"Rate", Float(entry.Group->Rate)}};
        if (prepared) {
            group["Problems"] = indices(entry.Group->Problems);
        }
        groups.push_back(std::move(group));
    }
    Json problems = Json::array();
    for (const auto& problem : tezra.Problems) {
        problems.push_back(ProblemJson(*problem));
    }
    Json json = {{"Loaded", loaded},
                 {"Id", Text(tezra.Id)},
                 {"Title", Text(tezra.Title)},
                 {"ShuffleGroups", tezra.ShuffleGroups},
                 {"ShuffleProblems", tezra.ShuffleProblems},
                 {"ShuffleVariants", tezra.ShuffleVariants},
                 {"DeferLimit", tezra.DeferLimit},
                 {"MarkThresholds", marks},
                 {"Groups", groups},
                 {"Problems", problems}};
    if (prepared) {
        json["Selected"] = indices(tezra.Selected);
    }
    return json;
}

struct TDumpArgs {
    std::string File;
    bool Prepared = false;
    std::uint64_t Seed = 0;
    CLI::Option* SeedOption = nullptr;
};

int RunDump(const TDumpArgs& args) {
    const bool loaded = LoadTestFile(args.File);
    TTezra& tezra = CurrentTezra();
    if (args.Prepared) {
        if (args.SeedOption->count() > 0) {
            RandomSeed(args.Seed);
        }
        tezra.Prepare();
        tezra.SelectProblems();
    }
    PrintJson(TestJson(tezra, loaded, args.Prepared));
    if (!loaded) {
        std::cerr << "The test could not be loaded from " << args.File << "\n";
    }
    return loaded ? 0 : 1;
}

struct TGivenAnswer {
    std::size_t Problem = 0;  // 0-based
    std::string Text;         // cp1251
};

// Reads the answers file: "number<TAB>answer" per line, the number 1-based in file order.
bool ReadAnswers(const std::string& path, std::size_t problemCount,
                 std::vector<TGivenAnswer>& answers, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read " + path;
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            continue;
        }
        const std::size_t tab = line.find('\t');
        const auto problem = ParseInt(line.substr(0, tab == std::string::npos ? 0 : tab));
        if (tab == std::string::npos || !problem || *problem < 1 ||
            static_cast<std::size_t>(*problem) > problemCount) {
            error = path + " line " + std::to_string(number) +
                    ": expected a problem number from 1 to " + std::to_string(problemCount) +
                    ", a tab and the answer";
            return false;
        }
        answers.push_back(
            {static_cast<std::size_t>(*problem - 1), Utf8ToCp1251(line.substr(tab + 1))});
    }
    return true;
}

struct TScoreArgs {
    std::string File;
    std::string Answers;
};

int RunScore(const CLI::App& command, const TScoreArgs& args) {
    const bool loaded = LoadTestFile(args.File);
    TTezra& tezra = CurrentTezra();
    tezra.Prepare();
    tezra.SelectProblems();
    std::vector<TGivenAnswer> answers;
    std::string error;
    if (!ReadAnswers(args.Answers, tezra.Problems.size(), answers, error)) {
        return UsageError(command, error);
    }
    for (TGivenAnswer& answer : answers) {
        tezra.Problems[answer.Problem]->Given.push_back(std::move(answer.Text));
    }
    const float points = tezra.GetPoints();
    Json scores = Json::array();
    for (const auto& problem : tezra.Problems) {
        scores.push_back(Float(problem->Score));
    }
    PrintJson({{"Points", Float(points)}, {"Mark", tezra.GetMark(points)}, {"Scores", scores}});
    if (!loaded) {
        std::cerr << "The test could not be loaded from " << args.File << "\n";
    }
    return loaded ? 0 : 1;
}

struct TPackArgs {
    std::string In;
    std::string Out;
    bool Scramble = false;
};

int RunPack(const CLI::App& command, const TPackArgs& args) {
    const TTestFormat outFormat = TestFormatOf(args.Out);
    if (TestFormatOf(args.In) == TTestFormat::Unknown) {
        return UsageError(command, "IN must end in " + TestExtensionList());
    }
    if (outFormat == TTestFormat::Unknown) {
        return UsageError(command, "OUT must end in " + TestExtensionList());
    }
    if (args.Scramble && outFormat != TTestFormat::Binary) {
        return UsageError(command, "--scramble needs a binary OUT (" +
                                       TestExtensionList(TTestFormat::Binary) + ")");
    }
    if (!LoadTestFile(args.In)) {
        std::cerr << "Error: " << args.In << " could not be read as a whole test; "
                  << "nothing written\n";
        return 1;
    }
    std::vector<std::string> warnings;
    const bool saved = SaveTestFile(CurrentTezra(), args.Out, args.Scramble, warnings);
    for (const std::string& warning : warnings) {
        std::cerr << "Warning: " << warning << "\n";
    }
    if (!saved) {
        std::cerr << "Error: cannot write " << args.Out << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

void AddModelCommands(CLI::App& app, int& exitCode) {
    auto dump = std::make_shared<TDumpArgs>();
    CLI::App* dumpCommand =
        app.add_subcommand("dump", "Load a test file as the station does and print it as JSON");
    dumpCommand->add_option("FILE", dump->File, "Test file (" + TestExtensionList() + ")")
        ->required();
    CLI::Option* prepared = dumpCommand->add_flag("--prepared", dump->Prepared,
                                                  "Prepare the test and draw the problems first");
    dump->SeedOption =
        dumpCommand->add_option("--seed", dump->Seed, "Seed of the random draw")->needs(prepared);
    dumpCommand->callback([dump, &exitCode] { exitCode = RunDump(*dump); });

    auto score = std::make_shared<TScoreArgs>();
    CLI::App* scoreCommand = app.add_subcommand(
        "score", "Score answers (lines \"problem-number<TAB>answer\") against a test");
    scoreCommand->add_option("FILE", score->File, "Test file")->required();
    scoreCommand->add_option("ANSWERS", score->Answers, "UTF-8 answers file")->required();
    scoreCommand->callback(
        [score, scoreCommand, &exitCode] { exitCode = RunScore(*scoreCommand, *score); });

    auto pack = std::make_shared<TPackArgs>();
    CLI::App* packCommand = app.add_subcommand(
        "pack", "Write a test in the format OUT's extension names (" + TestExtensionList() + ")");
    packCommand->add_option("IN", pack->In, "Test file to read")->required();
    packCommand->add_option("OUT", pack->Out, "Test file to write")->required();
    packCommand->add_flag("--scramble", pack->Scramble, "Scramble the binary output");
    packCommand->callback(
        [pack, packCommand, &exitCode] { exitCode = RunPack(*packCommand, *pack); });
}
