// SPDX-License-Identifier: GPL-3.0-or-later
// Making a loaded test ready for one student: pictures named by file, groups and quotas, and
// the draw of the student's problems.

#include <exception>
#include <system_error>
#include <unordered_map>

#include "model/UTypes.h"
#include "platform/Cp1251.h"
#include "platform/FileEnum.h"
#include "platform/ProgramDir.h"
#include "platform/Random.h"
#include "platform/RegularFile.h"

namespace {

bool IsFile(const std::filesystem::path& path) {
    return IsRegularFile(path);
}

template <typename T>
void Shuffle(std::vector<T>& list) {
    const std::size_t n = list.size();
    for (std::size_t k = 0; k + 1 < n; ++k) {
        const std::size_t j =
            k + static_cast<std::size_t>(RandomInt(static_cast<std::int32_t>(n - k)));
        if (j > k) {
            std::swap(list[j], list[k]);
        }
    }
}

}  // namespace

std::filesystem::path FindPictureFile(std::string_view name,
                                      const std::filesystem::path& testFolder,
                                      const std::filesystem::path& programFolder) {
    const std::filesystem::path path = PathFromText(name);
    if (IsFile(path)) {
        return path;
    }
    if (path.is_absolute()) {
        return {};
    }
    const std::filesystem::path program =
        programFolder.empty() ? StationProgramPath().parent_path() : programFolder;
    if (!program.empty() && IsFile(program / path)) {
        return program / path;
    }
    if (!testFolder.empty() && IsFile(testFolder / path)) {
        return testFolder / path;
    }
    return {};
}

bool TProblem::LoadPictureFile(const std::filesystem::path& testFolder,
                               const std::filesystem::path& programFolder) {
    if (PictureFile.empty()) {
        return false;
    }
    const std::filesystem::path path = FindPictureFile(PictureFile, testFolder, programFolder);
    if (path.empty()) {
        return false;
    }
    TMemoryStream file;
    if (!file.LoadFromFile(path)) {
        Picture.clear();
        return false;
    }
    Picture.assign(file.Data(), file.Data() + file.Size());
    return true;
}

bool TTezra::Prepare() {
    try {
        for (auto& problem : Problems) {
            problem->LoadPictureFile(TestFolder, ProgramFolder);
        }
        // Lookups by the exact name; the first case-insensitive match never changes once found.
        std::unordered_map<std::string, TGroupInfo*> byName;
        for (auto& problem : Problems) {
            TGroupInfo*& group = byName[problem->Group];
            if (group == nullptr) {
                group = FindGroup(problem->Group);
            }
            if (group == nullptr) {
                auto created = std::make_unique<TGroupInfo>();
                created->Name = problem->Group;
                created->Quota = UnlimitedQuota;
                created->Rate = 1.0f;
                group = created.get();
                Groups.push_back({problem->Group, std::move(created)});
            }
            group->Problems.push_back(problem.get());
            if (!(problem->Rate > 0.0f)) {
                problem->Rate = group->Rate;
            }
        }
        for (auto& entry : Groups) {
            TGroupInfo& group = *entry.Group;
            const auto count = static_cast<std::int64_t>(group.Problems.size());
            if (count < group.Quota) {
                group.Quota = static_cast<std::int32_t>(count);
            }
        }
        ResetAnswers();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool TTezra::SelectProblems() {
    try {
        Pending.clear();
        Selected.clear();
        std::vector<TGroupInfo*> groups;
        groups.reserve(Groups.size());
        for (auto& entry : Groups) {
            groups.push_back(entry.Group.get());
        }
        if (ShuffleGroups) {
            Shuffle(groups);
        }
        for (TGroupInfo* group : groups) {
            if (group->Quota < 1) {
                continue;
            }
            std::vector<TProblem*> drawn = group->Problems;
            if (ShuffleProblems) {
                ShuffleList(drawn);
            }
            const std::size_t quota = static_cast<std::size_t>(group->Quota);
            const std::size_t count = quota < drawn.size() ? quota : drawn.size();
            Selected.insert(Selected.end(), drawn.begin(), drawn.begin() + count);
        }
        if (ShuffleGroups && ShuffleProblems) {
            ShuffleList(Selected);
        }
        Pending = Selected;
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void TTezra::ResetAnswers() {
    DeferCount = 0;
    for (auto& problem : Problems) {
        problem->ClearAnswer();
    }
}

int TTezra::IndexOfGroup(std::string_view name) const {
    for (std::size_t i = 0; i < Groups.size(); ++i) {
        if (AnsiSameText(Groups[i].Name, name)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

TGroupInfo* TTezra::FindGroup(std::string_view name) const {
    const int index = IndexOfGroup(name);
    return index < 0 ? nullptr : Groups[static_cast<std::size_t>(index)].Group.get();
}

void ShuffleList(std::vector<TProblem*>& list) {
    Shuffle(list);
}

void ShuffleStrings(std::vector<TVariant>& list) {
    Shuffle(list);
}
