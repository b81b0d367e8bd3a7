// SPDX-License-Identifier: GPL-3.0-or-later
// Preparation of a test for one student: pictures, groups and quotas, the draw, deferrals.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "ModelTestSupport.h"
#include "platform/ProgramDir.h"
#include "platform/Random.h"

namespace {

struct TGroupSpec {
    std::string Name;
    std::int32_t Quota;
};
struct TProblemSpec {
    std::string Id;
    std::string Group;
};

std::unique_ptr<TTezra> MakeTest(const std::vector<TGroupSpec>& groups,
                                 const std::vector<TProblemSpec>& problems, int shuffle = 0) {
    auto t = std::make_unique<TTezra>();
    for (const TGroupSpec& row : groups) {
        auto group = std::make_unique<TGroupInfo>();
        group->Name = row.Name;
        group->Quota = row.Quota;
        t->Groups.push_back({row.Name, std::move(group)});
    }
    for (const TProblemSpec& row : problems) {
        auto problem = std::make_unique<TProblem>();
        problem->Id = row.Id;
        problem->Group = row.Group;
        t->Problems.push_back(std::move(problem));
    }
    t->ShuffleGroups = (shuffle & 4) != 0;
    t->ShuffleProblems = (shuffle & 2) != 0;
    t->ShuffleVariants = (shuffle & 1) != 0;
    return t;
}

std::vector<std::string> Ids(const std::vector<TProblem*>& problems) {
    std::vector<std::string> ids;
    for (const TProblem* p : problems) {
        ids.push_back(p->Id);
    }
    return ids;
}

std::vector<std::string> Drawn(TTezra& t) {
    EXPECT_TRUE(t.Prepare());
    EXPECT_TRUE(t.SelectProblems());
    EXPECT_EQ(t.Pending, t.Selected);
    return Ids(t.Selected);
}

using Lines = std::vector<std::string>;

TEST(Preparation, GroupsQuotasAndRates) {
    auto t = MakeTest({{"a", 5}, {"b", 0}, {"c", -3}, {"empty", 4}, {"A", 1}}, {{"p1", "A"},
                                                                                {"p2", "a"},
                                                                                {"p3", "a"},
                                                                                {"p4", "b"},
                                                                                {"p5", "c"},
                                                                                {"p6", "x"},
                                                                                {"p7", "X"},
                                                                                {"p8", ""},
                                                                                {"p9", "x"}});
    t->Groups[0].Group->Rate = 2.0f;
    t->Problems[1]->Rate = 3.0f;
    t->Problems[2]->Rate = -1.0f;
    t->Problems[8]->Rate = std::nanf("");
    t->DeferCount = 5;
    t->Problems[0]->Given = {"old"};
    t->Problems[0]->Score = 50;
    ASSERT_TRUE(t->Prepare());

    std::map<std::string, std::pair<std::int32_t, Lines>> groups;
    std::vector<std::string> order;
    for (const TGroupEntry& entry : t->Groups) {
        order.push_back(entry.Name);
        groups[entry.Name] = {entry.Group->Quota, Ids(entry.Group->Problems)};
    }
    // Groups the test does not list are appended in the order their problems come.
    EXPECT_EQ(order, (Lines{"a", "b", "c", "empty", "A", "x", ""}));
    EXPECT_EQ(groups["a"], std::make_pair(3, Lines{"p1", "p2", "p3"}));  // capped at its count
    EXPECT_EQ(groups["b"], std::make_pair(0, Lines{"p4"}));
    EXPECT_EQ(groups["c"], std::make_pair(-3, Lines{"p5"}));  // a negative quota stays
    EXPECT_EQ(groups["empty"], std::make_pair(0, Lines{}));
    EXPECT_EQ(groups["A"], std::make_pair(0, Lines{}));  // "A" names the first entry, "a"
    EXPECT_EQ(groups["x"], std::make_pair(3, Lines{"p6", "p7", "p9"}));
    EXPECT_EQ(groups[""], std::make_pair(1, Lines{"p8"}));
    EXPECT_EQ(t->Groups[5].Group->Rate, 1.0f);

    EXPECT_EQ(t->Problems[0]->Rate, 2.0f);  // 0 takes the group's rate
    EXPECT_EQ(t->Problems[1]->Rate, 3.0f);
    EXPECT_EQ(t->Problems[2]->Rate, 2.0f);
    EXPECT_EQ(t->Problems[8]->Rate, 1.0f);  // NaN is not positive either
    EXPECT_EQ(t->DeferCount, 0);
    EXPECT_TRUE(t->Problems[0]->Given.empty());
    EXPECT_EQ(Bits(t->Problems[0]->Score), 0xFFC00000u);
}

TEST(Preparation, InOrderDrawTakesTheFirstProblemsOfEachGroup) {
    auto t = MakeTest({{"a", 1}, {"b", 2}, {"none", 3}, {"zero", 0}}, {{"a1", "a"},
                                                                       {"b1", "b"},
                                                                       {"a2", "a"},
                                                                       {"b2", "b"},
                                                                       {"b3", "b"},
                                                                       {"u1", "u"},
                                                                       {"z1", "zero"},
                                                                       {"u2", "U"}});
    EXPECT_EQ(Drawn(*t), (Lines{"a1", "b1", "b2", "u1", "u2"}));
}

TEST(Preparation, ProblemsOfATestWithoutGroupsAreAllDrawn) {
    auto t = ReadFixture("no-groups.txt");
    EXPECT_EQ(Drawn(*t).size(), 2u);
}

// Draws the test again and again with different seeds and passes each draw to check.
template <typename Check>
void ForSeeds(const std::vector<TGroupSpec>& groups, const std::vector<TProblemSpec>& problems,
              int shuffle, Check check) {
    for (std::uint64_t seed = 1; seed <= 60; ++seed) {
        RandomSeed(seed);
        auto t = MakeTest(groups, problems, shuffle);
        check(Drawn(*t));
    }
}

const std::vector<TGroupSpec> kGroups = {{"a", 2}, {"b", 1}, {"c", 3}};
const std::vector<TProblemSpec> kProblems = {{"a1", "a"}, {"a2", "a"}, {"a3", "a"}, {"a4", "a"},
                                             {"b1", "b"}, {"b2", "b"}, {"c1", "c"}, {"c2", "c"},
                                             {"c3", "c"}, {"c4", "c"}};

std::string GroupsOf(const Lines& drawn) {
    std::string groups;
    for (const std::string& id : drawn) {
        groups += id[0];
    }
    return groups;
}

TEST(Preparation, ShuffledProblemsAreRandomSubsetsInGroupOrder) {
    std::set<std::string> seen;
    std::set<Lines> orders;
    ForSeeds(kGroups, kProblems, 2, [&](const Lines& drawn) {
        EXPECT_EQ(GroupsOf(drawn), "aabccc");
        EXPECT_EQ(std::set<std::string>(drawn.begin(), drawn.end()).size(), drawn.size());
        seen.insert(drawn.begin(), drawn.end());
        orders.insert(drawn);
    });
    EXPECT_EQ(seen.size(), kProblems.size());  // every problem can be drawn
    EXPECT_GT(orders.size(), 20u);
}

TEST(Preparation, ShuffledGroupsKeepTheirFirstProblemsTogether) {
    std::set<std::string> groupOrders;
    ForSeeds(kGroups, kProblems, 4, [&](const Lines& drawn) {
        const std::string groups = GroupsOf(drawn);
        groupOrders.insert(groups);
        Lines expected;
        for (char g : groups) {
            const Lines first = g == 'a'   ? Lines{"a1", "a2"}
                                : g == 'b' ? Lines{"b1"}
                                           : Lines{"c1", "c2", "c3"};
            if (expected.empty() || expected.back()[0] != g) {
                expected.insert(expected.end(), first.begin(), first.end());
            }
        }
        EXPECT_EQ(drawn, expected);
    });
    EXPECT_EQ(groupOrders.size(), 6u);  // all orders of the three groups occur
}

TEST(Preparation, ShufflingBothMixesTheWholeList) {
    bool interleaved = false;
    ForSeeds(kGroups, kProblems, 6, [&](const Lines& drawn) {
        std::string groups = GroupsOf(drawn);
        std::string sorted = groups;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, "aabccc");
        groups.erase(std::unique(groups.begin(), groups.end()), groups.end());
        interleaved = interleaved || groups.size() > 3;
    });
    EXPECT_TRUE(interleaved);
}

TEST(Preparation, ShufflesLetEveryItemReachEveryPlace) {
    // An item more than a thousand places down the list still reaches the front part.
    RandomSeed(7);
    std::vector<TProblem> items(1200);
    int nearFront = 0;
    for (int run = 0; run < 200; ++run) {
        std::vector<TProblem*> list;
        for (TProblem& item : items) {
            list.push_back(&item);
        }
        ShuffleList(list);
        const auto last = std::find(list.begin(), list.end(), &items.back()) - list.begin();
        nearFront += last < 200 ? 1 : 0;
    }
    EXPECT_GE(nearFront, 15);  // one run in six on average

    // Three variants: all six orders about equally often; each text keeps its weight.
    std::map<std::string, int> counts;
    for (int run = 0; run < 6000; ++run) {
        std::vector<TVariant> variants = {{"a", 1}, {"b", 2}, {"c", 3}};
        ShuffleStrings(variants);
        std::string order;
        for (const TVariant& v : variants) {
            EXPECT_EQ(v.Weight, v.Text[0] - 'a' + 1);
            order += v.Text;
        }
        ++counts[order];
    }
    ASSERT_EQ(counts.size(), 6u);
    for (const auto& [order, count] : counts) {
        EXPECT_NEAR(count, 1000, 150) << order;
    }

    std::vector<TVariant> one = {{"only", 5}};
    ShuffleStrings(one);
    EXPECT_EQ(one[0].Text, "only");
    std::vector<TProblem*> none;
    ShuffleList(none);
    EXPECT_TRUE(none.empty());
}

TEST(Preparation, CanDeferWhileDeferralsRemain) {
    struct Case {
        std::int32_t Limit;
        std::int32_t Count;
        bool Can;
    };
    const Case cases[] = {{0, 0, false}, {-1, 0, false}, {2, 0, true},
                          {2, 1, true},  {2, 2, false},  {2, -5, true}};
    for (const Case& c : cases) {
        TTezra t;
        t.DeferLimit = c.Limit;
        t.DeferCount = c.Count;
        EXPECT_EQ(t.CanDefer(), c.Can) << c.Limit << " " << c.Count;
    }
}

// Changes the current folder for the life of the object.
class TCurrentFolder {
public:
    explicit TCurrentFolder(const std::filesystem::path& folder)
        : Saved(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~TCurrentFolder() { std::filesystem::current_path(Saved); }
    TCurrentFolder(const TCurrentFolder&) = delete;
    TCurrentFolder& operator=(const TCurrentFolder&) = delete;

private:
    std::filesystem::path Saved;
};

using Bytes = std::vector<std::uint8_t>;

TEST(Preparation, PicturesAreReadFromFilesBesideTheTest) {
    ASSERT_TRUE(LoadTestFile(ModelData("picture.ttxt")));
    TTezra& t = CurrentTezra();
    ASSERT_TRUE(t.Prepare());
    ASSERT_EQ(t.Problems.size(), 2u);
    EXPECT_EQ(t.Problems[0]->Picture, FileBytes(ModelData("pictures/dot.jpg")));
    EXPECT_EQ(t.Problems[1]->Picture, (Bytes{0xFF, 0xD8, 0xFF}));  // no file: DATA stays
}

TEST(Preparation, PictureFileLookupOrder) {
    TempDir work;
    TempDir tests;
    const std::string name = "tezra-lookup-" + work.Path.filename().string() + ".jpg";
    const std::filesystem::path beside = ExecutablePath().parent_path() / name;
    WriteFile(tests / name, "test folder");
    TProblem p;
    p.PictureFile = name;
    auto load = [&] {
        p.Picture.clear();
        EXPECT_TRUE(p.LoadPictureFile(tests.Path));
        return std::string(p.Picture.begin(), p.Picture.end());
    };
    EXPECT_EQ(load(), "test folder");
    WriteFile(beside, "program folder");
    EXPECT_EQ(load(), "program folder");
    {
        TCurrentFolder cd(work.Path);
        WriteFile(work / name, "current folder");
        EXPECT_EQ(load(), "current folder");
    }
    std::filesystem::remove(beside);

    // An absolute name, a read-only file, and a file name in cp1251 with "\" separators.
    std::filesystem::create_directories(work / "sub");
    WriteFile(work / "sub" / "рис.jpg", "cyrillic");
    std::filesystem::permissions(work / "sub" / "рис.jpg", std::filesystem::perms::owner_read);
    p.PictureFile = Cp((work / "sub").string() + "\\рис.jpg");
    EXPECT_EQ(load(), "cyrillic");
    p.PictureFile = Cp("sub\\рис.jpg");
    p.Picture.clear();
    EXPECT_TRUE(p.LoadPictureFile(work.Path));
    EXPECT_EQ(p.Picture.size(), 8u);
}

TEST(Preparation, MissingAndUnreadablePictureFiles) {
    TempDir dir;
    TProblem p;
    p.Picture = {1, 2, 3};
    EXPECT_FALSE(p.LoadPictureFile(dir.Path));  // no name
    p.PictureFile = "missing.jpg";
    EXPECT_FALSE(p.LoadPictureFile(dir.Path));
    std::filesystem::create_directory(dir / "folder.jpg");
    p.PictureFile = "folder.jpg";
    EXPECT_FALSE(p.LoadPictureFile(dir.Path));
    EXPECT_EQ(p.Picture, (Bytes{1, 2, 3}));
    // A FIFO under the name is passed over as if it were not there (reading it could wait
    // for good), so the next folder is looked at.
    ASSERT_EQ(mkfifo((dir / "pipe.jpg").c_str(), 0600), 0);
    p.PictureFile = "pipe.jpg";
    EXPECT_FALSE(p.LoadPictureFile(dir.Path));
    EXPECT_EQ(p.Picture, (Bytes{1, 2, 3}));
    TempDir tests;
    WriteFile(tests / "pipe.jpg", "found");
    EXPECT_TRUE(p.LoadPictureFile(tests.Path, dir.Path));
    EXPECT_EQ(p.Picture.size(), 5u);
}

}  // namespace
