// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/check/CheckOutput.h"

#include "tools/JsonText.h"
#include "tools/check/CheckText.h"

namespace {

const char* SeverityName(TSeverity severity) {
    return severity == TSeverity::Error ? "error" : "warning";
}

std::string GroupText(const TGroupSummary& group) {
    const std::string name = group.Name.empty() ? "без группы" : QuotedUtf8(group.Name);
    if (!group.Listed) {
        return name + " все " + std::to_string(group.Problems);
    }
    return name + " " + std::to_string(group.Quota) + " из " + std::to_string(group.Problems);
}

std::size_t CountAll(const TCheckRun& run, TSeverity severity) {
    std::size_t count = 0;
    for (const TFileReport& file : run.Files) {
        count += file.Count(severity);
    }
    return count;
}

}  // namespace

std::string FormatDiagnostic(const TFileReport& file, const TDiagnostic& diagnostic) {
    std::string line = file.File;
    if (diagnostic.Place) {
        line += ":" + std::to_string(*diagnostic.Place);
    }
    return line + ": " + SeverityName(diagnostic.Severity) + ": " + diagnostic.Text;
}

std::string FormatSummary(const TFileReport& file) {
    if (!file.Summary) {
        return {};
    }
    const TTestSummary& s = *file.Summary;
    std::string groups;
    for (const TGroupSummary& group : s.Groups) {
        groups += (groups.empty() ? "" : ", ") + GroupText(group);
    }
    return file.File + ": задач " + std::to_string(s.ProblemsRead) +
           ", группы: " + (groups.empty() ? "нет" : groups) + "; ученику даётся " +
           std::to_string(s.Given) + ", наибольший балл " + PointsText(s.HighestPoints) +
           "; ошибок " + std::to_string(file.Count(TSeverity::Error)) + ", предупреждений " +
           std::to_string(file.Count(TSeverity::Warning));
}

std::string FormatStationSummary(const TStationSummary& station) {
    return station.Folder + ": тестов " + std::to_string(station.Tests) + ", рисунков заставки " +
           std::to_string(station.SplashPictures) + ", серверов результатов отвечает " +
           std::to_string(station.ServersReachable) + " из " +
           std::to_string(station.ServersTried);
}

void PrintCheckText(std::ostream& out, const TCheckRun& run, bool quiet) {
    for (const TFileReport& file : run.Files) {
        for (const TDiagnostic& diagnostic : file.Diagnostics) {
            if (!quiet || diagnostic.Severity == TSeverity::Error) {
                out << FormatDiagnostic(file, diagnostic) << "\n";
            }
        }
        const std::string summary = FormatSummary(file);
        if (!quiet && !summary.empty()) {
            out << summary << "\n";
        }
    }
    if (!quiet && run.Station) {
        out << FormatStationSummary(*run.Station) << "\n";
    }
}

nlohmann::ordered_json CheckJson(const TCheckRun& run, bool quiet) {
    using Json = nlohmann::ordered_json;
    Json files = Json::array();
    for (const TFileReport& file : run.Files) {
        const char* placeName = file.PlaceKind == TPlaceKind::Line ? "line" : "offset";
        Json diagnostics = Json::array();
        for (const TDiagnostic& d : file.Diagnostics) {
            if (quiet && d.Severity != TSeverity::Error) {
                continue;
            }
            diagnostics.push_back({{placeName, d.Place ? Json(*d.Place) : Json()},
                                   {"severity", SeverityName(d.Severity)},
                                   {"code", d.Code},
                                   {"text", d.Text}});
        }
        Json entry = {{"file", file.File}, {"diagnostics", diagnostics}};
        if (file.Summary) {
            Json groups = Json::array();
            for (const TGroupSummary& group : file.Summary->Groups) {
                groups.push_back({{"name", group.Name},
                                  {"quota", group.Quota},
                                  {"problems", group.Problems},
                                  {"listed", group.Listed}});
            }
            entry["summary"] = {{"problems", file.Summary->ProblemsRead},
                                {"groups", groups},
                                {"given", file.Summary->Given},
                                {"highestPoints", Json(JsonFloat(file.Summary->HighestPoints))}};
        }
        files.push_back(std::move(entry));
    }
    Json json = {{"files", files},
                 {"errors", CountAll(run, TSeverity::Error)},
                 {"warnings", quiet ? 0 : CountAll(run, TSeverity::Warning)}};
    if (run.Station) {
        const TStationSummary& s = *run.Station;
        json["station"] = {{"folder", s.Folder},
                           {"tests", s.Tests},
                           {"splashPictures", s.SplashPictures},
                           {"serversTried", s.ServersTried},
                           {"serversReachable", s.ServersReachable}};
    }
    return json;
}

int CheckExitStatus(const TCheckRun& run) {
    return CountAll(run, TSeverity::Error) > 0 ? 1 : 0;
}
