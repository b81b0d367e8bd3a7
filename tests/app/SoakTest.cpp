// SPDX-License-Identifier: GPL-3.0-or-later
// Many students in one run: the station's whole cycle, offscreen, with the demo tests and
// splash pictures and a loopback result server, each student answering at random. Resident
// memory must stay flat and every pass must leave its record; under LeakSanitizer a few passes
// must leave no leak of our own.

#include <gtest/gtest.h>
#include <malloc.h>
#include <unistd.h>

#include <QTest>
#include <fstream>
#include <iostream>
#include <random>

#include "app/StudentCycle.h"
#include "model/UTypes.h"
#include "platform/Cp1251.h"
#include "settings/UCommon.h"
#include "tests/app/OpenStation.h"
#include "tests/common/Controls.h"
#include "tests/common/TempDir.h"
#include "tests/common/WindowScript.h"
#include "tests/net/ScriptedServer.h"
#include "ui/Application.h"
#include "ui/UChooseTezra.h"
#include "ui/ULoginForm.h"
#include "ui/UReportForm.h"
#include "ui/USplashForm.h"
#include "ui/UTezraForm.h"

#if defined(__SANITIZE_ADDRESS__)
#define TEZRA_ASAN 1
#include <sanitizer/lsan_interface.h>

// Leaks of the libraries below us, not of the station: LeakSanitizer leaves them out.
extern "C" const char* __lsan_default_suppressions() {
    return
        // fontconfig keeps the font patterns it builds for Qt's font database.
        "leak:libfontconfig.so\n";
}
#else
#define TEZRA_ASAN 0
#endif

namespace {

namespace fs = std::filesystem;

constexpr int kPasses = 200;
constexpr int kWarmUpPasses = 20;
constexpr long kMaxGrowthBytes = 5L * 1024 * 1024;

long ResidentBytes() {
    malloc_trim(0);  // what the allocator keeps free is not what the station holds
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

int CountRecords(const std::string& log) {
    int records = 0;
    for (std::size_t at = log.find("===================\r\n"); at != std::string::npos;
         at = log.find("===================\r\n", at + 1)) {
        ++records;
    }
    return records;
}

// A student who answers at random: sometimes nothing (the forgotten-answer message), sometimes
// a deferral, otherwise a random choice, random ticks or a random typed answer.
class RandomStudent {
public:
    explicit RandomStudent(unsigned seed) : random_(seed) {}

    void TakeTest() {
        for (int step = 0; step < 200 && fmTezra->isVisible(); ++step) {
            const int roll = Below(10);
            if (roll == 0 && fmTezra->bnDeferProblem->isEnabled() &&
                fmTezra->pnDeferControls->isVisible()) {
                QTest::mouseClick(fmTezra->bnDeferProblem, Qt::LeftButton);
                continue;
            }
            if (roll != 1) {
                Answer();
            }
            QTest::mouseClick(fmTezra->bnAnswer, Qt::LeftButton);
        }
    }

    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

private:
    void Answer() {
        if (fmTezra->rgAnswers->isVisible() && fmTezra->rgAnswers->Count() > 0) {
            const int item = Below(fmTezra->rgAnswers->Count());
            QTest::mouseClick(fmTezra->rgAnswers->Buttons().at(item), Qt::LeftButton);
        } else if (fmTezra->cboxAnswers->isVisible()) {
            for (int row = 0; row < fmTezra->cboxAnswers->count(); ++row) {
                if (Below(2) == 0) {
                    fmTezra->cboxAnswers->setCurrentRow(row, QItemSelectionModel::NoUpdate);
                    QTest::keyClick(fmTezra->cboxAnswers, Qt::Key_Space);
                }
            }
        } else if (fmTezra->edAnswer->isVisible()) {
            static const char* const kTyped[] = {"3/8", "Байкал", "0,375", "мыс Челюскин", "x"};
            fmTezra->edAnswer->selectAll();
            TypeText(fmTezra->edAnswer, QString::fromUtf8(kTyped[Below(5)]));
        }
    }

    std::mt19937 random_;
};

class Soak : public testing::Test {
protected:
    void SetUp() override {
        const fs::path demo = TEZRA_DEMO_DIR;
        fs::copy(demo / "tezra", Dir.Path / "tezra");
        fs::copy(demo / "splash", Dir.Path / "splash");
        Dir.Write("tezra-net.ini",
                  Utf8ToCp1251("[general]\r\nneedlogin=1\r\nrefreshtezras=1\r\nsecure=1\r\n"
                               "[groups]\r\n5А=\r\n5Б=\r\n6А=\r\n"));
        OpenStation(Dir.Path, Server.Port());
    }
    void TearDown() override { CloseStation(); }

    // One student from the splash to the results window; false when a window was out of
    // turn or the script did not finish.
    bool Pass(RandomStudent& student) {
        static const char* const kSurnames[] = {"Иванов", "Петрова", "Сидоров", "Ёлкина"};
        const QString surname = QString::fromUtf8(kSurnames[student.Below(4)]);
        const int group = student.Below(3);
        const int test = student.Below(static_cast<int>(Settings->TestFiles.size()));
        WindowScript script;
        script.Then("fmSplash", [](TModalForm& form) { QTest::mouseClick(&form, Qt::LeftButton); })
            .Then("fmLogin",
                  [&](TModalForm&) {
                      Control<QComboBox>(*fmLogin, "cbxClass")->setCurrentIndex(group);
                      Control<QLineEdit>(*fmLogin, "edSurName")->selectAll();
                      TypeText(Control<QLineEdit>(*fmLogin, "edSurName"), surname);
                      QTest::keyClick(Control<QLineEdit>(*fmLogin, "edSurName"), Qt::Key_Return);
                  })
            .Then("fmChooseTezra",
                  [&](TModalForm&) {
                      Control<QListWidget>(*fmChooseTezra, "lbxTezraAvail")->setCurrentRow(test);
                      QTest::mouseClick(Control(*fmChooseTezra, "bnStartTezra"), Qt::LeftButton);
                  })
            .Then("fmTezra", [&](TModalForm&) { student.TakeTest(); })
            .Then("fmTezraReport", [](TModalForm&) {
                QTest::mouseClick(Control(*fmTezraReport, "bnExit"), Qt::LeftButton);
            });
        RunPass();
        EXPECT_EQ(script.Errors, std::vector<std::string>{});
        return script.Errors.empty() && script.Done();
    }

    std::string Log() const { return TempDir::Read(Dir.Path / "report.log"); }

    TempDir Dir;
    ScriptedServer Server{AnswerAndClose(204, kPasses + 10)};
};

TEST_F(Soak, TwoHundredStudentsKeepMemoryFlatAndEachLeavesARecord) {
    if (TEZRA_ASAN) {
        GTEST_SKIP() << "resident memory means nothing under AddressSanitizer";
    }
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    RandomStudent student(seed);
    long warm = 0;
    for (int pass = 1; pass <= kPasses; ++pass) {
        ASSERT_TRUE(Pass(student)) << "pass " << pass;
        ASSERT_EQ(CountRecords(Log()), pass) << "pass " << pass << " left no record";
        if (pass == kWarmUpPasses) {
            warm = ResidentBytes();
        }
    }
    const long growth = ResidentBytes() - warm;
    EXPECT_LT(growth, kMaxGrowthBytes)
        << "resident memory grew by " << growth << " bytes from pass " << kWarmUpPasses << " to "
        << kPasses;
    ASSERT_TRUE(Server.WaitScriptsDone(kPasses));
    EXPECT_EQ(Server.Accepted(), kPasses);
    std::cout << "resident memory: " << warm / 1024 << " KiB after pass " << kWarmUpPasses
              << ", growth " << growth / 1024 << " KiB by pass " << kPasses << "\n";
}

TEST_F(Soak, ThreeStudentsLeaveNoLeak) {
    if (!TEZRA_ASAN) {
        GTEST_SKIP() << "the leak check runs in the AddressSanitizer build";
    }
#if TEZRA_ASAN
    RandomStudent student(std::random_device{}());
    for (int pass = 1; pass <= 3; ++pass) {
        ASSERT_TRUE(Pass(student)) << "pass " << pass;
    }
    EXPECT_EQ(CountRecords(Log()), 3);
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "LeakSanitizer reported leaks above";
#endif
}

}  // namespace
