// SPDX-License-Identifier: GPL-3.0-or-later
// The results window shows what its rules decide for this pass, and nothing of an earlier one.

#include <gtest/gtest.h>

#include <QApplication>
#include <QResizeEvent>
#include <memory>
#include <string>
#include <vector>

#include "model/UTypes.h"
#include "settings/UCommon.h"
#include "tests/common/Controls.h"
#include "tests/common/TempDir.h"
#include "ui/UReportForm.h"

namespace {

// Replaces the current test by one of count drawn problems, the first right ones answered
// fully right and the others wrong.
void SetCurrentTest(int count, int right) {
    TTezra& test = CurrentTezra();
    test.Groups.clear();
    test.Pending.clear();
    test.Selected.clear();
    test.Problems.clear();
    test.MarkThresholds = {};
    test.MarkThresholds[5] = 9.0f;
    for (int i = 0; i < count; ++i) {
        auto problem = std::make_unique<TProblem>();
        problem->Answers.Variants = {{"answer", i < right ? 100 : 0}};
        problem->Given = {"answer"};
        test.Selected.push_back(problem.get());
        test.Problems.push_back(std::move(problem));
    }
}

// The object names of the pictures the window shows.
std::vector<std::string> ShownPictures(const TfmTezraReport& form) {
    std::vector<std::string> shown;
    for (const char* name : {"imgFast", "imgNormal", "imgSlow", "imgDumbSlow", "imgGenius",
                             "imgSapiens", "imgDumb", "imgIdiot"}) {
        const QLabel* image = Control<QLabel>(form, name);
        if (!image->isHidden()) {
            shown.push_back(image->objectName().toStdString());
        }
    }
    return shown;
}

class ReportWindow : public testing::Test {
protected:
    void SetUp() override {
        Settings = std::make_unique<TSettings>(Dir.Path / "tezra-net");
        Settings->User = "\xC8\xE2\xE0\xED\xEE\xE2";  // Иванов
        Settings->TestName = "Geography";
        Settings->TestFile = Dir.Path / "tezra" / "geography.ttxt";
        Settings->StartTime = 0.5;
        Settings->EndTime = 0.5 + 150 / 86400.0;
    }
    void TearDown() override {
        SetCurrentTest(0, 0);
        Settings.reset();
    }
    TempDir Dir;
};

TEST_F(ReportWindow, ShowsThisPassAndNeverAnEarlierResult) {
    TfmTezraReport form;
    SetCurrentTest(10, 10);
    form.FormShow();
    EXPECT_EQ(form.Value("Пользователь"), "Иванов");
    EXPECT_EQ(form.Value("Сданный тест"), "Geography");
    EXPECT_EQ(form.Value("Количество вопросов"), "10");
    EXPECT_EQ(form.Value("Набранные баллы"), "10");
    EXPECT_EQ(form.Value("Полученная оценка"), "5");
    EXPECT_EQ(form.Value("Затрачено времени"), "2 минуты 30 секунд");
    EXPECT_EQ(Control<QSlider>(form, "tbSpeed")->value(), 0);
    EXPECT_EQ(Control<QSlider>(form, "tbCCleverness")->value(), 0);
    EXPECT_EQ(ShownPictures(form), (std::vector<std::string>{"imgFast", "imgGenius"}));

    // The next student chose no test: the earlier test is still the current one.
    Settings->TestFile.clear();
    Settings->TestName.clear();
    Settings->User = "Petrov";
    form.FormShow();
    EXPECT_EQ(form.Value("Пользователь"), "Petrov");
    for (const char* key : {"Сданный тест", "Количество вопросов", "Набранные баллы",
                            "Полученная оценка", "Затрачено времени"}) {
        EXPECT_EQ(form.Value(QString::fromUtf8(key)), "") << key;
    }
    EXPECT_TRUE(Control(form, "tbSpeed")->isHidden());
    EXPECT_TRUE(Control(form, "tbCCleverness")->isHidden());
    EXPECT_EQ(ShownPictures(form), std::vector<std::string>{});

    // A test that drew no problems is one the station could not open (the test window said
    // so): no count, no mark, no gauges, and the heading tells it.
    Settings->TestFile = Dir.Path / "tezra" / "empty.ttxt";
    SetCurrentTest(0, 0);
    form.FormShow();
    EXPECT_EQ(form.Value("Количество вопросов"), "");
    EXPECT_EQ(form.Value("Полученная оценка"), "");
    EXPECT_TRUE(Control(form, "tbSpeed")->isHidden());
    EXPECT_TRUE(Control(form, "tbCCleverness")->isHidden());
    EXPECT_EQ(ShownPictures(form), std::vector<std::string>{});
    EXPECT_EQ(Control<QLabel>(form, "Label1")->text(), "Тест не удалось открыть");
}

TEST_F(ReportWindow, HeadingStretchesAndCloseButtonKeepsToTheBottomLeft) {
    TfmTezraReport form;
    const QWidget* heading = Control(form, "Label1");
    const QWidget* close = Control(form, "bnExit");
    const int headingWidth = heading->width();
    const int buttonGap = form.height() - close->geometry().bottom();
    form.resize(form.width() + 100, form.height() + 50);
    QResizeEvent resize(form.size(), QSize());
    QApplication::sendEvent(&form, &resize);
    EXPECT_EQ(heading->width(), headingWidth + 100);
    EXPECT_EQ(form.height() - close->geometry().bottom(), buttonGap);
    EXPECT_EQ(close->x(), 8);
}

// A test that could not be opened drew no problems: its thresholds of 0 must not give a mark.
TEST_F(ReportWindow, TestThatCouldNotBeOpenedShowsNoMark) {
    TfmTezraReport form;
    struct Case {
        int Problems;
        QString Heading;
        QString Mark;
        bool Gauges;
    };
    const Case cases[] = {
        {0, "Тест не удалось открыть", "", false},
        {2, "ВАШ РЕЗУЛЬТАТ", "4", true},
        {0, "Тест не удалось открыть", "", false},
    };
    for (const Case& c : cases) {
        SetCurrentTest(c.Problems, c.Problems);
        form.FormShow();
        EXPECT_EQ(Control<QLabel>(form, "Label1")->text(), c.Heading) << c.Problems;
        EXPECT_EQ(form.Value("Сданный тест"), "Geography");
        EXPECT_EQ(form.Value("Полученная оценка"), c.Mark);
        EXPECT_EQ(form.Value("Количество вопросов"), c.Gauges ? QString::number(c.Problems) : "");
        EXPECT_EQ(Control(form, "tbSpeed")->isHidden(), !c.Gauges);
    }
    Settings->TestFile.clear();  // no test chosen: the designed heading
    form.FormShow();
    EXPECT_EQ(Control<QLabel>(form, "Label1")->text(), "ВАШ РЕЗУЛЬТАТ");
}

}  // namespace
