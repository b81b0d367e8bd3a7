// The results window: what it shows after a test, after a pass without one, and its design.

#include <gtest/gtest.h>

#include <QResizeEvent>
#include <QTest>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "model/UTypes.h"
#include "settings/UCommon.h"
#include "tests/common/TempDir.h"
#include "ui/UReportForm.h"

namespace {

// Replaces the current test by one whose drawn problems were answered with these weights.
void SetCurrentTest(const std::vector<int>& weights) {
    TTezra& test = CurrentTezra();
    test.Groups.clear();
    test.Pending.clear();
    test.Selected.clear();
    test.Problems.clear();
    test.MarkThresholds = {};
    test.MarkThresholds[5] = 9.0f;
    test.MarkThresholds[4] = 7.0f;
    test.MarkThresholds[3] = 0.5f;
    test.MarkThresholds[2] = 0.25f;
    for (int weight : weights) {
        auto problem = std::make_unique<TProblem>();
        problem->Answers.Variants = {{"answer", weight}};
        problem->Given = {"answer"};
        test.Selected.push_back(problem.get());
        test.Problems.push_back(std::move(problem));
    }
}

std::vector<int> Weights(int count, int right, int partial = -1) {
    std::vector<int> weights(static_cast<std::size_t>(count), 0);
    for (int i = 0; i < right; ++i) {
        weights[static_cast<std::size_t>(i)] = 100;
    }
    if (partial >= 0) {
        weights[static_cast<std::size_t>(right)] = partial;
    }
    return weights;
}

// The object names of the pictures the window shows.
std::vector<std::string> ShownPictures(const TfmTezraReport& form) {
    std::vector<std::string> shown;
    for (const QLabel* image : {form.imgFast, form.imgNormal, form.imgSlow, form.imgDumbSlow,
                                form.imgGenius, form.imgSapiens, form.imgDumb, form.imgIdiot}) {
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
        Settings->StudentGroup = "5A";
        Settings->TestName = "Geography";
        Settings->TestFile = Dir.Path / "tezra" / "geography.ttxt";
        Settings->StartTime = 0.5;
    }
    void TearDown() override {
        SetCurrentTest({});
        Settings.reset();
    }
    void TookSeconds(int seconds) { Settings->EndTime = 0.5 + seconds / 86400.0; }

    TempDir Dir;
};

TEST_F(ReportWindow, ShowsTheTestTheTimeAndOnePicturePerGauge) {
    struct Row {
        const char* Name;
        std::vector<int> Weights;
        int Seconds;
        const char* Points;
        const char* Mark;
        const char* Time;
        int Speed, Correctness;
        std::vector<std::string> Pictures;
    };
    const Row rows[] = {
        {"all right, quick",
         Weights(10, 10),
         150,
         "10",
         "5",
         "2 минуты 30 секунд",
         0,
         0,
         {"imgFast", "imgGenius"}},
        {"7.4 of 10",
         Weights(10, 7, 40),
         400,
         "7.4",
         "4",
         "6 минут 40 секунд",
         50,
         26,
         {"imgNormal", "imgSapiens"}},
        {"7.5 of 10",
         Weights(10, 7, 50),
         400,
         "7.5",
         "4",
         "6 минут 40 секунд",
         50,
         25,
         {"imgNormal", "imgGenius"}},
        {"4 in 320 s",
         Weights(4, 1),
         320,
         "1",
         "3",
         "5 минут 20 секунд",
         75,
         75,
         {"imgSlow", "imgDumb"}},
        {"2.5 of 3 in an hour",
         Weights(3, 2, 50),
         3600,
         "2.5",
         "3",
         "1 час ",
         98,
         17,
         {"imgDumbSlow", "imgGenius"}},
        {"nothing right",
         Weights(3, 0),
         61,
         "0",
         "1",
         "1 минута 1 секунда",
         2,
         100,
         {"imgFast", "imgIdiot"}},
        {"no problems drawn", {}, 5, "0", "1", "5 секунд", 100, 100, {"imgDumbSlow", "imgIdiot"}},
    };
    TfmTezraReport form;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Name);
        SetCurrentTest(row.Weights);
        TookSeconds(row.Seconds);
        form.FormShow();
        EXPECT_EQ(form.Value("Пользователь"), "Иванов");
        EXPECT_EQ(form.Value("Входит в группу"), "5A");
        EXPECT_EQ(form.Value("Сданный тест"), "Geography");
        EXPECT_EQ(form.Value("Количество вопросов"), QString::number(row.Weights.size()));
        EXPECT_EQ(form.Value("Набранные баллы"), row.Points);
        EXPECT_EQ(form.Value("Полученная оценка"), row.Mark);
        EXPECT_EQ(form.Value("Затрачено времени"), QString::fromUtf8(row.Time));
        EXPECT_EQ(form.tbSpeed->value(), row.Speed);
        EXPECT_EQ(form.tbCCleverness->value(), row.Correctness);
        EXPECT_FALSE(form.tbSpeed->isHidden());
        EXPECT_FALSE(form.tbCCleverness->isHidden());
        EXPECT_EQ(ShownPictures(form), row.Pictures);
    }
}

TEST_F(ReportWindow, APassWithoutATestNeverShowsAnEarlierResult) {
    TfmTezraReport form;
    SetCurrentTest(Weights(10, 10));
    TookSeconds(150);
    form.FormShow();
    ASSERT_EQ(form.Value("Набранные баллы"), "10");

    // The next student chose nothing: the earlier test is still the current one.
    Settings->TestFile.clear();
    Settings->TestName.clear();
    Settings->User = "Petrov";
    form.FormShow();
    EXPECT_EQ(form.Value("Пользователь"), "Petrov");
    EXPECT_EQ(form.Value("Входит в группу"), "5A");
    for (const char* key : {"Сданный тест", "Количество вопросов", "Набранные баллы",
                            "Полученная оценка", "Затрачено времени"}) {
        EXPECT_EQ(form.Value(QString::fromUtf8(key)), "") << key;
    }
    EXPECT_TRUE(form.tbSpeed->isHidden());
    EXPECT_TRUE(form.tbCCleverness->isHidden());
    EXPECT_TRUE(form.Label2->isHidden());
    EXPECT_TRUE(form.Label3->isHidden());
    EXPECT_EQ(ShownPictures(form), std::vector<std::string>{});

    // A later test shows everything again.
    Settings->TestFile = Dir.Path / "tezra" / "geography.ttxt";
    form.FormShow();
    EXPECT_EQ(ShownPictures(form), (std::vector<std::string>{"imgFast", "imgGenius"}));
    EXPECT_FALSE(form.Label3->isHidden());
}

TEST_F(ReportWindow, Design) {
    TfmTezraReport form;
    EXPECT_EQ(form.windowTitle(), "Результаты");
    EXPECT_EQ(form.Label1->text(), "ВАШ РЕЗУЛЬТАТ");
    EXPECT_TRUE(form.Label1->font().bold());
    EXPECT_TRUE(form.Label1->font().italic());
    EXPECT_EQ(form.Label1->font().pixelSize(), 21);
    EXPECT_EQ(form.vleResults->rowCount(), 7);
    EXPECT_EQ(form.vleResults->columnWidth(0), 180);
    EXPECT_EQ(form.vleResults->columnWidth(1), 263);
    EXPECT_EQ(form.vleResults->rowHeight(6), 24);
    EXPECT_EQ(form.vleResults->item(3, 1)->background().color(), QColor(0xD0, 0xE0, 0xE0));
    EXPECT_FALSE(form.vleResults->item(3, 1)->flags() & Qt::ItemIsEditable);
    EXPECT_EQ(form.vleResults->focusPolicy(), Qt::NoFocus);
    for (const QSlider* gauge : {form.tbSpeed, form.tbCCleverness}) {
        EXPECT_EQ(gauge->orientation(), Qt::Vertical);
        EXPECT_EQ(gauge->minimum(), 0);
        EXPECT_EQ(gauge->maximum(), 100);
        EXPECT_TRUE(gauge->invertedAppearance());  // 0 at the top
        EXPECT_FALSE(gauge->isEnabled());
        EXPECT_EQ(gauge->height(), 264);
    }
    const QLabel* column[] = {form.imgGenius, form.imgSapiens, form.imgDumb, form.imgIdiot};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(column[i]->size(), QSize(64, 64));
        EXPECT_EQ(column[i]->y() - column[0]->y(), 68 * i);
        EXPECT_GT(column[i]->x(), form.tbCCleverness->x());
        EXPECT_FALSE(column[i]->pixmap().isNull());
    }
    EXPECT_EQ(form.tbSpeed->accessibleName(), "Скорость");
    EXPECT_EQ(form.tbCCleverness->accessibleName(), "Правильность");
    EXPECT_EQ(form.vleResults->accessibleName(), "Результаты теста");
    EXPECT_EQ(form.bnExit->accessibleName(), "Закрыть");
    EXPECT_TRUE(form.bnExit->font().bold());

    // The heading stretches with the width; the close button keeps to the bottom left.
    const int headingWidth = form.Label1->width();
    const int buttonGap = form.height() - form.bnExit->geometry().bottom();
    form.resize(form.width() + 100, form.height() + 50);
    QResizeEvent resize(form.size(), QSize());
    QApplication::sendEvent(&form, &resize);
    EXPECT_EQ(form.Label1->width(), headingWidth + 100);
    EXPECT_EQ(form.height() - form.bnExit->geometry().bottom(), buttonGap);
    EXPECT_EQ(form.bnExit->x(), 8);
}

TEST_F(ReportWindow, CloseButtonAnswersOk) {
    TfmTezraReport form;
    SetCurrentTest(Weights(2, 1));
    TookSeconds(30);
    QTimer::singleShot(0, &form, [&form] { QTest::mouseClick(form.bnExit, Qt::LeftButton); });
    QTimer::singleShot(5000, &form, [&form] { form.reject(); });  // never hang
    EXPECT_EQ(form.ShowModal(), mrOk);
    EXPECT_EQ(form.Value("Набранные баллы"), "1");  // filled when shown
}

}  // namespace
