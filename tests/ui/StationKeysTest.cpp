// SPDX-License-Identifier: GPL-3.0-or-later
// The keys of the test window as a student uses them: Enter answers every problem whatever
// answer control has the focus, and Alt+Space never presses a button.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <functional>
#include <memory>

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

const std::string kForgotten = "Вы забыли выбрать ответ!\n\n\nВай бащка сапсеэм дырявый...";

void Enter() {
    QTest::keyClick(fmTezra->focusWidget(), Qt::Key_Return);
}

class StationKeys : public testing::Test {
protected:
    void SetUp() override {
        Settings = std::make_unique<TSettings>(Dir.Path / "tezra-net");
        Settings->Secure = false;
        ServerAddress = "127.0.0.1:" + std::to_string(Server.Port());
        ClearTerminationRequest();
        fmInfoBox = std::make_unique<TfmInfoBox>();
        fmTezra = std::make_unique<TfmTezra>();
        Script.Inputs.clear();
    }
    void TearDown() override {
        fmTezra.reset();
        fmInfoBox.reset();
        Settings.reset();
    }

    void Take(const std::string& bytes, const std::function<void()>& steps) {
        Settings->TestFile = Dir.Write("tezra/t.ttxt", bytes);
        Script.Then("fmTezra", [steps](TModalForm& form) {
            form.activateWindow();
            EXPECT_TRUE(QTest::qWaitFor([&form] { return form.isActiveWindow(); }));
            steps();
            if (form.isVisible()) {
                form.reject();  // a test that did not end by its answers
            }
        });
        fmTezra->ShowModal();
    }

    TempDir Dir;
    ScriptedServer Server{AnswerAndClose(200, 16)};
    WindowScript Script;
};

TEST_F(StationKeys, EnterAnswersEveryProblemWhateverControlHasTheFocus) {
    // One problem of each mode, in a row, each answered with Enter only: the focus moves from
    // a radio button to the typed answer to the check list (the order that lost the answer
    // button's Enter), and on the defer button Enter defers.
    const std::string test =
        TinyTestBytes("SHUFFLE=0\nDEFER=1", {ProblemText("r", "RADIO", "[100] a\n[0] b"),
                                             ProblemText("i", "INPUT", "[100] 8"),
                                             ProblemText("c", "COMBO", "[100] x\n[0] y")});
    for (const bool secure : {false, true}) {
        SCOPED_TRACE(secure ? "secure" : "normal");
        Settings->Secure = secure;
        fmTezra = std::make_unique<TfmTezra>();
        Script.Messages.clear();
        Texts conditions;
        Take(test, [&conditions] {
            const auto condition = [] {
                return fmTezra->meCondition->toPlainText().toStdString();
            };
            conditions.push_back(condition());
            fmTezra->bnDeferProblem->setFocus();
            Enter();  // defers the radio problem
            conditions.push_back(condition());
            QTest::keyClicks(fmTezra->edAnswer, "8");
            Enter();
            conditions.push_back(condition());
            fmTezra->cboxAnswers->setCurrentRow(0, QItemSelectionModel::NoUpdate);
            QTest::keyClick(fmTezra->cboxAnswers, Qt::Key_Space);
            Enter();
            conditions.push_back(condition());
            const QList<QRadioButton*> buttons = fmTezra->rgAnswers->Buttons();
            ASSERT_FALSE(buttons.isEmpty());
            QTest::mouseClick(buttons.front(), Qt::LeftButton);
            Enter();  // the last answer: the score, then the submission
        });
        EXPECT_EQ(conditions, (Texts{"r", "i", "c", "r"}));
        ASSERT_FALSE(Script.Messages.empty());
        EXPECT_EQ(Script.Messages.front(), "Вы набрали баллов: 3\nОценка 5");
        EXPECT_FALSE(fmTezra->isVisible());
    }
}

TEST_F(StationKeys, AltSpaceNeverPressesAButton) {
    Take(TinyTestBytes("", {ProblemText("r", "RADIO", "[100] a")}), [this] {
        fmTezra->bnAnswer->setFocus();
        struct Case {
            Qt::KeyboardModifiers modifiers;
            std::size_t messages;  // the forgotten-answer message once the button is pressed
        };
        const Case cases[] = {
            {Qt::AltModifier, 0},
            {Qt::AltModifier | Qt::ShiftModifier, 0},
            {Qt::AltModifier | Qt::ControlModifier, 0},
            {Qt::NoModifier, 1},  // plain Space presses the focused button, as it should
        };
        for (const Case& c : cases) {
            QTest::keyClick(fmTezra->bnAnswer, Qt::Key_Space, c.modifiers);
            EXPECT_EQ(Script.Messages.size(), c.messages) << c.modifiers;
        }
        EXPECT_EQ(Script.Messages, Texts{kForgotten});
        EXPECT_TRUE(fmTezra->isVisible());
    });
}

}  // namespace
