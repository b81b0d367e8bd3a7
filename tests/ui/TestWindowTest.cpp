// SPDX-License-Identifier: GPL-3.0-or-later
// Whole tests taken through the real test window: answers by mouse and keyboard, deferrals,
// shuffled variants, pictures, a damaged test file, secure mode, and the submission of the
// result to loopback servers.

#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QWindow>
#include <functional>
#include <memory>
#include <set>

#include "model/UTypes.h"
#include "platform/Random.h"
#include "settings/UCommon.h"
#include "tests/common/Loopback.h"
#include "tests/common/TempDir.h"
#include "tests/common/TinyTests.h"
#include "tests/common/WindowScript.h"
#include "tests/net/ScriptedServer.h"
#include "ui/UFInfoBox.h"
#include "ui/UTezraForm.h"

namespace {

using Texts = std::vector<std::string>;
using Steps = std::function<void()>;

std::filesystem::path UiData(std::string_view name) {
    return std::filesystem::path(TEZRA_TEST_DATA_DIR) / "ui" / name;
}

std::string Score(const char* points, int mark) {
    return std::string("Вы набрали баллов: ") + points + "\nОценка " + std::to_string(mark);
}

const std::string kForgotten = "Вы забыли выбрать ответ!\n\n\nВай бащка сапсеэм дырявый...";

// What the student does, as a student does it.
void Pick(int item) {
    QTest::mouseClick(fmTezra->rgAnswers->Buttons().at(item), Qt::LeftButton);
}
void Tick(int row) {
    fmTezra->cboxAnswers->setCurrentRow(row, QItemSelectionModel::NoUpdate);
    QTest::keyClick(fmTezra->cboxAnswers, Qt::Key_Space);
}
void Press(Qt::Key key) {
    QTest::keyClick(fmTezra->focusWidget(), key);
}
void Confirm() {
    QTest::mouseClick(fmTezra->bnAnswer, Qt::LeftButton);
}
void Defer() {
    QTest::mouseClick(fmTezra->bnDeferProblem, Qt::LeftButton);
}
std::string Condition() {
    return fmTezra->meCondition->toPlainText().toStdString();
}
std::string Label(const QLabel* label) {
    return label->text().toStdString();
}
// What a screen reader announces for the deferrals left: the number the student sees.
std::string DeferCountHeard() {
    return fmTezra->lbDeferCount->accessibleName().toStdString();
}
Texts RadioItems() {
    Texts items;
    for (const QRadioButton* button : fmTezra->rgAnswers->Buttons()) {
        items.push_back(button->text().toStdString());
    }
    return items;
}

// One station with its settings, the test window and the activity box, and a result server
// that accepts every result.
class TestWindow : public testing::Test {
protected:
    void SetUp() override {
        Settings = std::make_unique<TSettings>(Dir.Path / "tezra-net");
        Settings->Secure = false;
        ServerAddress = "127.0.0.1:" + std::to_string(Server.Port());
        ClearTerminationRequest();
        fmInfoBox = std::make_unique<TfmInfoBox>();
        fmTezra = std::make_unique<TfmTezra>();
    }
    void TearDown() override {
        fmTezra.reset();
        fmInfoBox.reset();
        Settings.reset();
        ClearTerminationRequest();
    }

    // Takes the test in file: the steps run inside the window's modal loop; the window must
    // be closed when they end.
    void Take(const std::filesystem::path& file, const Steps& steps) {
        Settings->TestFile = file;
        ClearTerminationRequest();
        Script.Messages.clear();
        Script.Inputs.clear();
        Script.Then("fmTezra", [steps](TModalForm& form) {
            // The window system gives the new window the keyboard.
            form.activateWindow();
            EXPECT_TRUE(
                QTest::qWaitFor([&form] { return form.isActiveWindow() || form.isHidden(); }));
            if (form.isVisible()) {
                steps();
            }
        });
        fmTezra->ShowModal();
        EXPECT_FALSE(fmTezra->isVisible());
        EXPECT_EQ(Script.Errors, Texts{});
    }
    std::filesystem::path Write(const std::string& name, const std::string& bytes) {
        return Dir.Write("tezra/" + name, bytes);
    }

    TempDir Dir;
    ScriptedServer Server{AnswerAndClose(200, 16)};
    WindowScript Script;
};

TEST_F(TestWindow, TakesWholeTestsByMouseAndKeyboard) {
    struct Case {
        const char* name;
        std::string test;
        Steps steps;
        Texts messages;
        std::vector<Texts> given;  // of every problem of the file
    };
    const Case cases[] = {
        {"radio by mouse",
         TinyTestBytes("", {ProblemText("r", "RADIO", "[0] a|[100] b|[0] c")}),
         [] {
             EXPECT_EQ(RadioItems(), (Texts{"a", "b", "c"}));
             EXPECT_EQ(fmTezra->rgAnswers->ItemIndex(), -1);
             EXPECT_EQ(fmTezra->focusWidget(), fmTezra->rgAnswers->Buttons().at(0));
             Pick(1);
             Confirm();
         },
         {Score("1", 5)},
         {{"b"}}},
        {"radio by arrow, Space and Enter",
         TinyTestBytes("", {ProblemText("r", "RADIO", "[0] a|[100] b|[0] c")}),
         [] {
             Press(Qt::Key_Down);  // moves the focus; nothing is selected yet
             EXPECT_EQ(fmTezra->rgAnswers->ItemIndex(), -1);
             Press(Qt::Key_Space);
             Press(Qt::Key_Return);
         },
         {Score("1", 5)},
         {{"b"}}},
        {"check list by Space, given in the order shown",
         TinyTestBytes("MARK5=1\nMARK4=0.5", {ProblemText("c", "COMBO", "[50] a|[50] b|[-50] c")}),
         [] {
             EXPECT_EQ(fmTezra->focusWidget(), fmTezra->cboxAnswers);
             Press(Qt::Key_Space);
             Press(Qt::Key_Down);
             Press(Qt::Key_Down);
             Press(Qt::Key_Space);
             Press(Qt::Key_Return);
         },
         {Score("0", 3)},
         {{"a", "c"}}},
        {"typed answer replaces the placeholder; Enter in the edit answers",
         TinyTestBytes("", {ProblemText("i", "INPUT", "[100] Rome")}),
         [] {
             EXPECT_EQ(fmTezra->focusWidget(), fmTezra->edAnswer);
             EXPECT_EQ(fmTezra->edAnswer->text(), "(type your answer here)");
             TypeText(fmTezra->edAnswer, "ro me");
             QTest::keyClick(fmTezra->edAnswer, Qt::Key_Return);
         },
         {Score("1", 5)},
         {{"ro me"}}},
        {"forgotten answers keep the problem on screen",
         TinyTestBytes(
             "", {ProblemText("r", "RADIO", "[100] a"), ProblemText("c", "COMBO", "[100] a|[0] b"),
                  ProblemText("i", "INPUT", "[100] x")}),
         [] {
             Confirm();
             EXPECT_EQ(Condition(), "r");
             Pick(0);
             Confirm();
             Confirm();
             EXPECT_EQ(Condition(), "c");
             Tick(0);
             Confirm();
             Confirm();  // untouched
             fmTezra->edAnswer->selectAll();
             QTest::keyClick(fmTezra->edAnswer, Qt::Key_Backspace);
             Confirm();  // emptied
             EXPECT_EQ(Condition(), "i");
             QTest::keyClicks(fmTezra->edAnswer, "(TYPE your answer here)");
             Confirm();
         },
         {kForgotten, kForgotten, kForgotten, kForgotten, Score("2", 5)},
         {{"a"}, {"a"}, {"(TYPE your answer here)"}}},
        {"deferral to the limit and beyond",
         TinyTestBytes("DEFER=2",
                       {ProblemText("1", "RADIO", "[100] a"), ProblemText("2", "RADIO", "[100] a"),
                        ProblemText("3", "RADIO", "[100] a")}),
         [] {
             EXPECT_TRUE(fmTezra->pnDeferControls->isVisible());
             EXPECT_EQ(Label(fmTezra->lbDeferCount), "2");
             EXPECT_EQ(DeferCountHeard(), "Осталось отложить: 2");
             EXPECT_EQ(Label(fmTezra->Label1), "Осталось вопросов: 2");
             Defer();
             EXPECT_EQ(Condition(), "2");
             EXPECT_EQ(Label(fmTezra->lbDeferCount), "1");
             EXPECT_EQ(DeferCountHeard(), "Осталось отложить: 1");
             Defer();
             EXPECT_EQ(Condition(), "3");
             EXPECT_EQ(Label(fmTezra->lbDeferCount), "0");
             EXPECT_EQ(DeferCountHeard(), "Осталось отложить: 0");
             EXPECT_TRUE(fmTezra->pnDeferControls->isVisible());
             Defer();  // only hides the panel
             EXPECT_EQ(Condition(), "3");
             EXPECT_FALSE(fmTezra->pnDeferControls->isVisible());
             EXPECT_FALSE(fmTezra->bnDeferProblem->isEnabled());
             EXPECT_EQ(Label(fmTezra->Label1), "Осталось вопросов: 2");
             for (const char* expected : {"3", "1", "2"}) {
                 EXPECT_EQ(Condition(), expected);
                 Pick(0);
                 Confirm();
             }
         },
         {Score("3", 5)},
         {{"a"}, {"a"}, {"a"}}},
        {"no deferral allowed",
         TinyTestBytes("DEFER=0", {ProblemText("1", "RADIO", "[100] a")}),
         [] {
             EXPECT_FALSE(fmTezra->pnDeferControls->isVisible());
             EXPECT_EQ(Label(fmTezra->Label1), "Осталось вопросов: 0");
             Pick(0);
             Confirm();
         },
         {Score("1", 5)},
         {{"a"}}},
        {"shuffled variants are drawn afresh; a deferred problem comes back cleared",
         TinyTestBytes("SHUFFLE=1\nDEFER=20",
                       {ProblemText("p", "RADIO", "[0] a|[0] b|[100] right|[0] d|[0] e|[0] f"),
                        ProblemText("q", "RADIO", "[100] a")}),
         [] {
             std::set<Texts> orders;
             for (int showing = 0; showing < 6; ++showing) {
                 EXPECT_EQ(Condition(), "p");
                 EXPECT_EQ(fmTezra->rgAnswers->ItemIndex(), -1);
                 Texts items = RadioItems();
                 orders.insert(items);
                 std::sort(items.begin(), items.end());
                 EXPECT_EQ(items, (Texts{"a", "b", "d", "e", "f", "right"}));
                 Pick(0);
                 Defer();
                 Defer();
             }
             EXPECT_GT(orders.size(), 1u);
             const Texts items = RadioItems();
             Pick(
                 static_cast<int>(std::find(items.begin(), items.end(), "right") - items.begin()));
             Confirm();
             Pick(0);
             Confirm();
         },
         {Score("2", 5)},
         {{"right"}, {"a"}}},
    };
    RandomSeed(7);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Take(Write("t.ttxt", c.test), c.steps);
        EXPECT_EQ(Script.Messages, c.messages);
        TTezra& test = CurrentTezra();
        ASSERT_EQ(test.Problems.size(), c.given.size());
        for (std::size_t i = 0; i < c.given.size(); ++i) {
            EXPECT_EQ(test.Problems[i]->Given, c.given[i]) << i;
        }
    }
    EXPECT_EQ(Server.Accepted(), static_cast<int>(std::size(cases)));
}

TEST_F(TestWindow, AnswerPanelHeightFollowsEveryProblem) {
    Take(Write("t.ttxt",
               TinyTestBytes("", {ProblemText("r4", "RADIO", "[100] a|[0] b|[0] c|[0] d"),
                                  ProblemText("c5", "COMBO", "[100] a|[0] b|[0] c|[0] d|[0] e"),
                                  ProblemText("i", "INPUT", "[100] a"),
                                  ProblemText("c3", "COMBO", "[100] a|[0] b|[0] c"),
                                  ProblemText("r7", "RADIO",
                                              "[100] a|[0] b|[0] c|[0] d|[0] e|[0] f|[0] g")})),
         [] {
             EXPECT_EQ(fmTezra->pnAnswers->height(), 100);
             // The student drags the splitter up; the next problem sets the height again.
             QSplitterHandle* handle = fmTezra->Splitter1->handle(1);
             const QPoint grip = handle->rect().center();
             QTest::mousePress(handle, Qt::LeftButton, {}, grip);
             QTest::mouseMove(handle, grip - QPoint(0, 50));
             QTest::mouseRelease(handle, Qt::LeftButton, {}, grip - QPoint(0, 50));
             EXPECT_EQ(fmTezra->pnAnswers->height(), 150);
             Pick(0);
             Confirm();
             EXPECT_EQ(fmTezra->pnAnswers->height(), 110);
             Tick(0);
             Confirm();
             EXPECT_EQ(fmTezra->pnAnswers->height(), 96);
             EXPECT_EQ(fmTezra->edAnswer->geometry().bottom(), 96 - 43 - 1);
             TypeText(fmTezra->edAnswer, "a");
             Confirm();
             EXPECT_EQ(fmTezra->pnAnswers->height(), 96);
             Tick(0);
             Confirm();
             EXPECT_EQ(fmTezra->pnAnswers->height(), 160);
             EXPECT_EQ(fmTezra->bnAnswer->geometry().bottom(), 160 - 8 - 1);
             Pick(0);
             Confirm();
         });
    EXPECT_EQ(Script.Messages, Texts{Score("5", 5)});
}

TEST_F(TestWindow, PicturesAreDecodedFromMemoryOrLeftOut) {
    struct Shown {
        const char* id;
        bool picture;
        QSize size;  // of the picture; empty without one
        bool halfPanel;
    };
    const Shown shown[] = {
        {"small", true, {100, 80}, false}, {"wide", true, {1200, 60}, true},
        {"corrupt", false, {}, false},     {"huge", false, {}, false},
        {"none", false, {}, false},
    };
    Take(UiData("pictures.ttxt"), [&shown] {
        for (const Shown& s : shown) {
            SCOPED_TRACE(s.id);
            EXPECT_EQ(Condition(), s.id);
            EXPECT_EQ(fmTezra->imgCondition->isVisible(), s.picture);
            EXPECT_EQ(fmTezra->JpegImage.Width, std::max(0, s.size.width()));
            const int half = fmTezra->pnProblem->width() / 2;
            const int box = !s.picture ? 1 : s.halfPanel ? half : s.size.width() + 1;
            EXPECT_EQ(fmTezra->sboxImage->width(), box);
            if (s.picture) {
                EXPECT_EQ(fmTezra->imgCondition->size(), s.size);
                EXPECT_EQ(fmTezra->sboxImage->horizontalScrollBar()->isVisible(), s.halfPanel);
            }
            Pick(0);
            Confirm();
        }
    });
    EXPECT_EQ(Script.Messages, Texts{Score("5", 5)});
}

TEST_F(TestWindow, ATestThatCannotBeOpenedEndsTheShowingWithoutSubmission) {
    const std::filesystem::path files[] = {UiData("corrupt.tbin"),
                                           Write("empty.ttxt", TinyTestBytes("", {})),
                                           Dir.Path / "tezra" / "missing.ttxt"};
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        Take(file, [] {});
        EXPECT_EQ(Script.Messages, Texts{"Этот тест не удалось открыть.\nПозовите учителя."});
        EXPECT_TRUE(CurrentTezra().Selected.empty());
    }
    EXPECT_EQ(Server.Accepted(), 0);
}

TEST_F(TestWindow, SecureModeCoversTheDesktopAndReassertsIt) {
    for (const bool secure : {true, false}) {
        SCOPED_TRACE(secure ? "secure" : "normal");
        Settings->Secure = secure;
        fmTezra = std::make_unique<TfmTezra>();
        std::vector<bool> timerDuringMessages;
        Script.OnMessage = [&timerDuringMessages](const QString&) {
            timerDuringMessages.push_back(fmTezra->Timer1->isActive());
        };
        Take(Write("t.ttxt", TinyTestBytes("", {ProblemText("r", "RADIO", "[100] a")})), [secure] {
            const Qt::WindowFlags flags = fmTezra->windowFlags();
            EXPECT_EQ(flags.testFlag(Qt::FramelessWindowHint), secure);
            EXPECT_EQ(flags.testFlag(Qt::WindowStaysOnTopHint), secure);
            EXPECT_EQ(flags.testFlag(Qt::WindowCloseButtonHint), false);
            EXPECT_EQ(fmTezra->Timer1->isActive(), secure);
            EXPECT_EQ(fmTezra->Timer1->interval(), 2000);
            const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
            if (secure) {
                EXPECT_EQ(fmTezra->geometry(), desktop);
                fmTezra->setGeometry(10, 10, 300, 200);
                fmTezra->Timer1Timer();
                EXPECT_EQ(fmTezra->geometry(), desktop);
            } else {
                EXPECT_EQ(fmTezra->size(), QSize(846, 420));
                fmTezra->Timer1Timer();
                EXPECT_EQ(fmTezra->size(), QSize(846, 420));
            }
            Press(Qt::Key_Escape);  // does not end the test
            EXPECT_TRUE(fmTezra->isVisible());
            Confirm();
            EXPECT_EQ(fmTezra->Timer1->isActive(), secure);
            Pick(0);
            Confirm();
        });
        // Paused around the forgotten answer, off for good from the score message on.
        EXPECT_EQ(timerDuringMessages, (std::vector<bool>{false, false}));
        EXPECT_EQ(Script.Messages, (Texts{kForgotten, Score("1", 5)}));
        EXPECT_FALSE(fmTezra->Timer1->isActive());
    }
    Script.OnMessage = nullptr;
}

TEST_F(TestWindow, ControlsCarryTheirNamesAndAccessibleNames) {
    const std::pair<QWidget*, const char*> controls[] = {
        {fmTezra->meCondition, "Условие задачи"},
        {fmTezra->imgCondition, "Рисунок к задаче"},
        {fmTezra->rgAnswers, "Варианты ответа"},
        {fmTezra->cboxAnswers, "Варианты ответа"},
        {fmTezra->edAnswer, "Ваш ответ"},
        {fmTezra->bnAnswer, "Я ответил"},
        {fmTezra->bnDeferProblem, "Отложить"},
        {fmTezra->lbDeferCount, "Осталось отложить: 000"},
        {fmInfoBox->meActivityMessage, "Сообщения"},
    };
    for (const auto& [control, name] : controls) {
        EXPECT_EQ(control->accessibleName().toStdString(), name)
            << control->objectName().toStdString();
    }
    const char* const objects[] = {
        "Label1",         "Splitter1", "pnAnswers",       "cboxAnswers", "bnAnswer",
        "rgAnswers",      "edAnswer",  "pnDeferControls", "Label2",      "lbDeferCount",
        "bnDeferProblem", "pnProblem", "Splitter2",       "sboxImage",   "imgCondition",
        "meCondition",    "Timer1"};
    for (const char* name : objects) {
        EXPECT_NE(fmTezra->findChild<QObject*>(name), nullptr) << name;
    }
    EXPECT_EQ(fmInfoBox->windowRole(), "fmInfoBox");
    EXPECT_EQ(fmInfoBox->windowTitle(), "Activity Information:");
    EXPECT_TRUE(fmInfoBox->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(fmInfoBox->size(), QSize(503, 110));
}

class Submission : public TestWindow {
protected:
    // A finished test worth 0.5 points and mark 4.
    void TakeHalfRightTest() {
        Take(Write("half.ttxt", TinyTestBytes("MARK5=1\nMARK4=0.5",
                                              {ProblemText("c", "COMBO", "[50] a|[50] b")})),
             [] {
                 Tick(0);
                 Confirm();
             });
    }
    static std::string Address(int port) { return "127.0.0.1:" + std::to_string(port); }
    static std::string Activity() {
        return fmInfoBox->meActivityMessage->toPlainText().toStdString();
    }
};

TEST_F(Submission, TheFirstServerFailsAndTheSecondAccepts) {
    ScriptedServer failing(AnswerAndClose(500, 1));
    ScriptedServer accepting(AnswerAndClose(200, 1));
    Settings->Servers = {Address(failing.Port()), Address(accepting.Port())};
    ServerAddress = Address(failing.Port());
    Settings->StudentGroup = "9B";
    Settings->User = "Smith";
    TakeHalfRightTest();
    EXPECT_EQ(Script.Messages, Texts{Score("0.5", 4)});
    EXPECT_EQ(Script.Inputs, Texts{});
    EXPECT_EQ(Activity(), "Пробуем адрес " + Address(failing.Port()) + " -> абламинго!\n" +
                              "Пробуем адрес " + Address(accepting.Port()) + " -> нормалёк!");
    EXPECT_EQ(fmInfoBox->lbActivityName->text(), "Соединение с сервером");
    EXPECT_FALSE(fmInfoBox->isVisible());
    // The box was kept above the test window by the window system.
    ASSERT_NE(fmInfoBox->windowHandle(), nullptr);
    EXPECT_EQ(fmInfoBox->windowHandle()->transientParent(), fmTezra->windowHandle());
    EXPECT_EQ(ServerAddress, Address(accepting.Port()));
    EXPECT_EQ(Settings->Servers.size(), 2u);
    for (ScriptedServer* server : {&failing, &accepting}) {
        ASSERT_TRUE(server->WaitScriptsDone(1));
        ASSERT_EQ(server->Requests().size(), 1u);
        EXPECT_TRUE(server->Requests()[0].starts_with(
            "GET /tezra/result?group=9B&user=Smith&res=5000&mark=4 HTTP/1.1\r\n"))
            << server->Requests()[0];
    }
}

TEST_F(Submission, NoServerAcceptsAndTheWordIsAskedForAtMostThreeTimes) {
    struct Case {
        const char* name;
        std::vector<QString> typed;
        std::size_t asked;
    };
    const Case cases[] = {
        {"Latin lower case", {"ok"}, 1},
        {"Cyrillic", {"Ок"}, 1},
        {"after a wrong word", {"no", "OK"}, 2},
        {"three wrong tries", {"no", "0K", "", "ok"}, 3},
    };
    const std::string prompt = "Результат теста|Баллы = 0.5\nОценка= 4\n\nВведите СЛОВО:";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Settings->Servers.clear();
        ServerAddress = Address(UnusedLoopbackPort());
        Script.Answers.assign(c.typed.begin(), c.typed.end());
        TakeHalfRightTest();
        EXPECT_EQ(Script.Messages,
                  (Texts{Score("0.5", 4), "Пожалуйста, позовите учителя к своему компьютеру!",
                         "Необходимо позвать учителя к своему компьютеру!"}));
        EXPECT_EQ(Script.Inputs, Texts(c.asked, prompt));
        EXPECT_EQ(Script.Answers.size(), c.typed.size() - c.asked);
        EXPECT_EQ(Activity(), "Пробуем адрес " + ServerAddress + " -> абламинго!");
        EXPECT_EQ(Settings->Servers, Texts{ServerAddress});
    }
}

}  // namespace
