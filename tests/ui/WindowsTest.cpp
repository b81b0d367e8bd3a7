// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QTest>
#include <memory>

#include "settings/UCommon.h"
#include "tests/common/Controls.h"
#include "tests/common/TempDir.h"
#include "ui/Application.h"
#include "ui/Dialogs.h"
#include "ui/QtText.h"
#include "ui/UChooseTezra.h"
#include "ui/ULoginForm.h"

namespace {

TEST(LoginWindow, OpacityPulsesOverSixtyFourTicks) {
    TfmLogin login;
    EXPECT_EQ(qRound(login.windowOpacity() * 255), 127);
    std::vector<int> opacities;
    for (int tick = 0; tick < 65; ++tick) {
        login.Timer1Timer();
        opacities.push_back(qRound(login.windowOpacity() * 255));
    }
    EXPECT_EQ(opacities[0], 127);
    EXPECT_EQ(opacities[1], 131);
    EXPECT_EQ(opacities[31], 251);
    EXPECT_EQ(opacities[32], 255);
    EXPECT_EQ(opacities[33], 251);
    EXPECT_EQ(opacities[63], 131);
    EXPECT_EQ(opacities[64], 127);
    EXPECT_EQ(login.PulseCounter(), 1);
    const auto* timer = login.findChild<QTimer*>("Timer1");
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 100);
    EXPECT_TRUE(timer->isActive());
}

TEST(LoginWindow, DesignedTextsAndClassList) {
    TfmLogin login;
    EXPECT_EQ(login.windowTitle(), "Авторизация пользователя");
    EXPECT_EQ(Control<QLabel>(login, "lbClass")->text(), "Класс:");
    EXPECT_EQ(Control<QLabel>(login, "lbPassword")->text(), "ПОРОЛЬ:");
    const auto* classes = Control<QComboBox>(login, "cbxClass");
    EXPECT_EQ(classes->count(), 17);
    EXPECT_EQ(classes->itemText(3), "11Е");
    EXPECT_FALSE(classes->isEditable());
    const auto* password = Control<QLineEdit>(login, "edPassword");
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    EXPECT_EQ(
        password->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, password),
        0x263A);
}

class ChooserWindow : public testing::Test {
protected:
    void SetUp() override {
        Dir.Write("tezra/geo.ttxt", "x");
        Dir.Write("tezra/geo.desc", "\xC3\xE5\xEE\xE3\xF0\xE0\xF4\xE8\xFF\r\nline 2\r\n");
        Dir.Write("tezra/math.txt", "x");
        Settings = std::make_unique<TSettings>(Dir.Path / "tezra-net");
    }
    void TearDown() override { Settings.reset(); }
    TempDir Dir;
};

TEST_F(ChooserWindow, RowsShowDescriptionsOrNamesAndRefreshOnlyWhenAsked) {
    TfmChooseTezra chooser;
    auto* list = Control<QListWidget>(chooser, "lbxTezraAvail");
    Settings->RefreshTests = false;
    chooser.FillTestList();
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), "География");
    EXPECT_EQ(list->item(1)->text(), "math");
    list->setCurrentRow(1);

    // Without refreshing, an edited description changes nothing and the selection stays.
    Dir.Write("tezra/geo.desc", "Geography");
    chooser.FillTestList();
    EXPECT_EQ(list->item(0)->text(), "География");
    EXPECT_EQ(chooser.SelectedIndex(), 1);

    Settings->RefreshTests = true;
    chooser.FillTestList();
    EXPECT_EQ(list->item(0)->text(), "Geography");
    EXPECT_EQ(chooser.SelectedIndex(), -1);

    // A refresh that finds the same rows still starts with none selected, from the top.
    list->setCurrentRow(1);
    chooser.FillTestList();
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(1)->text(), "math");
    EXPECT_EQ(chooser.SelectedIndex(), -1);
    EXPECT_EQ(list->currentRow(), -1);
}

TEST_F(ChooserWindow, StartsTheSelectedRowOrTheFirstAndGivesItsText) {
    TfmChooseTezra chooser;
    auto* list = Control<QListWidget>(chooser, "lbxTezraAvail");
    EXPECT_EQ(chooser.ChosenIndex(), -1);  // no rows yet
    EXPECT_EQ(chooser.RowText(0), "");
    chooser.FillTestList();
    struct Case {
        int Selected;
        int Started;
        std::string Text;  // cp1251
    };
    const Case cases[] = {
        {-1, 0, "\xC3\xE5\xEE\xE3\xF0\xE0\xF4\xE8\xFF"},  // География
        {1, 1, "math"},
        {0, 0, "\xC3\xE5\xEE\xE3\xF0\xE0\xF4\xE8\xFF"},
    };
    for (const Case& c : cases) {
        list->setCurrentRow(c.Selected);
        EXPECT_EQ(chooser.ChosenIndex(), c.Started) << c.Selected;
        EXPECT_EQ(chooser.RowText(chooser.ChosenIndex()), c.Text) << c.Selected;
    }
    EXPECT_EQ(chooser.RowText(-1), "");
    EXPECT_EQ(chooser.RowText(2), "");
}

TEST(Dialogs, HooksAnswerMessagesAndInputBoxes) {
    std::vector<QString> messages;
    TDialogHooks previous = SetDialogHooks(
        {[&](const QString& text) { messages.push_back(text); },
         [](const QString&, const QString& prompt, const QString&) { return prompt + "!"; }});
    ShowMessage("one\rtwo");
    EXPECT_EQ(InputBox("c", "p\r\rq", ""), "p\n\nq!");
    SetDialogHooks(previous);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "one\ntwo");
}

TEST(Dialogs, TerminationClosesAnOpenMessageBox) {
    ClearTerminationRequest();
    QTimer::singleShot(50, [] { RequestTermination(); });
    ShowMessage("closes itself");  // returns only because the request closed it
    EXPECT_TRUE(TerminationRequested());
    ClearTerminationRequest();
}

TEST(QtText, ConvertsAtTheEdge) {
    EXPECT_EQ(ToQString("\xC8\xE2\xE0\xED\xEE\xE2\r\n2\r3"), "Иванов\n2\n3");
    EXPECT_EQ(FromQString("Ёж 😀"), "\xA8\xE6 ?");
}

}  // namespace
