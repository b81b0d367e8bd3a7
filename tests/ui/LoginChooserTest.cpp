// SPDX-License-Identifier: GPL-3.0-or-later
// The login window and the test chooser as a student meets them: keys, layout, the pulse, and
// which controls confirm.

#include <gtest/gtest.h>

#include <QApplication>
#include <QResizeEvent>
#include <QTest>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "settings/UCommon.h"
#include "tests/common/Controls.h"
#include "tests/common/TempDir.h"
#include "tests/common/WindowScript.h"
#include "ui/UChooseTezra.h"
#include "ui/ULoginForm.h"

namespace {

TEST(LoginDesign, TabOrder) {
    TfmLogin login;
    QWidget* surname = Control(login, "edSurName");
    std::vector<QWidget*> order;
    QWidget* widget = surname;
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) != 0) {
            order.push_back(widget);
        }
        widget = widget->nextInFocusChain();
    } while (widget != surname && order.size() < 10);
    const std::vector<QWidget*> expected = {
        surname, Control(login, "bnOK"), Control(login, "cbxClass"), Control(login, "edPassword")};
    EXPECT_EQ(order, expected);
}

// A pasted surname with line breaks once wrote a second, forged record into the result log.
TEST(LoginDesign, EditFieldsTakeNoLineBreaks) {
    TfmLogin login;
    struct Case {
        QString Given;
        QString Kept;
    };
    const Case cases[] = {
        {"Хакеров\r\nGroup=5Б\r\nMark=5\r\n\r\n===", "ХакеровGroup=5БMark=5==="},
        {"a\nb\rc\u2028d\u2029e\u0085f", "abcdef"},
        {"tab\there\x7F\x01", "tab here  "},
        {"Иванов", "Иванов"},
    };
    for (QLineEdit* field :
         {Control<QLineEdit>(login, "edSurName"), Control<QLineEdit>(login, "edPassword")}) {
        for (const Case& c : cases) {
            field->setText(c.Given);
            EXPECT_EQ(field->text(), c.Kept);
            field->clear();
            field->insert(c.Given);  // as a paste inserts it
            EXPECT_EQ(field->text(), c.Kept);
            field->clear();
        }
        QTest::keyClicks(field, "ab");
        EXPECT_EQ(field->text(), "ab");
        field->clear();
    }
}

TEST(LoginDesign, EnterInEitherFieldGivesOk) {
    TfmLogin login;
    for (QLineEdit* field :
         {Control<QLineEdit>(login, "edSurName"), Control<QLineEdit>(login, "edPassword")}) {
        const int result = ShowWith(login, [field] { QTest::keyClick(field, Qt::Key_Return); });
        EXPECT_EQ(result, mrOk) << field->objectName().toStdString();
    }
}

TEST(LoginDesign, OkButtonKeepsFifteenPixelsToTheBottomWithOrWithoutThePassword) {
    struct Row {
        bool NeedPassword;
        int ClientHeight;
    };
    for (const Row row : {Row{false, 224}, Row{true, 300}}) {
        TfmLogin login;
        login.Prepare(row.NeedPassword, std::nullopt);
        ShowWith(login, [&login, row] {
            EXPECT_EQ(login.height(), row.ClientHeight);
            EXPECT_EQ(Control(login, "bnOK")->geometry().bottom() + 1, row.ClientHeight - 15);
            EXPECT_EQ(Control(login, "edPassword")->isVisible(), row.NeedPassword);
            EXPECT_EQ(Control(login, "lbPassword")->isVisible(), row.NeedPassword);
            login.accept();
        });
    }
}

// What the student cycle hands the window and takes back: the class list of the settings
// (cp1251), a password field emptied and shown only when asked for, what was typed.
TEST(LoginDesign, PrepareShowsWhatItIsGivenAndEnteredGivesBackWhatWasTyped) {
    TfmLogin login;
    auto* classes = Control<QComboBox>(login, "cbxClass");
    auto* surname = Control<QLineEdit>(login, "edSurName");
    auto* password = Control<QLineEdit>(login, "edPassword");
    const std::vector<std::string> groups = {"5\xC0", "5\xC1"};  // 5А, 5Б

    classes->setCurrentIndex(3);
    password->setText("old");
    login.Prepare(true, groups);
    ASSERT_EQ(classes->count(), 2);
    EXPECT_EQ(classes->currentText(), "5А");
    EXPECT_EQ(password->text(), "");
    EXPECT_FALSE(password->isHidden());
    EXPECT_EQ(login.height(), 300);
    classes->setCurrentIndex(1);
    surname->setText("Иванов");
    password->setText("secret");
    LoginEntry entered = login.Entered();
    EXPECT_EQ(entered.Group, "5\xC1");
    EXPECT_EQ(entered.User, "\xC8\xE2\xE0\xED\xEE\xE2");
    EXPECT_EQ(entered.Password, "secret");

    // Without groups the list stays as it is; without a password the field is hidden, empty.
    login.Prepare(false, std::nullopt);
    EXPECT_EQ(classes->count(), 2);
    EXPECT_EQ(classes->currentText(), "5Б");
    EXPECT_TRUE(password->isHidden());
    EXPECT_TRUE(Control(login, "lbPassword")->isHidden());
    EXPECT_EQ(login.height(), 224);
    entered = login.Entered();
    EXPECT_EQ(entered.Group, "5\xC1");
    EXPECT_EQ(entered.Password, "");

    // An empty group list leaves an empty class list, not the designed one.
    login.Prepare(false, std::vector<std::string>{});
    EXPECT_EQ(classes->count(), 0);
    EXPECT_EQ(login.Entered().Group, "");
}

// The fields stretch with the width, the OK button keeps its distance to the bottom, the
// labels stay where they are: also for a window resized before it is shown.
TEST(LoginDesign, ControlsFollowTheWindowSize) {
    struct Row {
        int Width;
        int Height;
    };
    for (const bool shown : {false, true}) {
        TfmLogin login;
        for (const Row row : {Row{520, 380}, Row{357, 300}, Row{357, 224}, Row{300, 200}}) {
            login.resize(row.Width, row.Height);
            QResizeEvent resize(login.size(), QSize());
            if (shown) {
                login.show();
                EXPECT_TRUE(QTest::qWaitFor([&] { return login.size() == resize.size(); }));
            }
            QApplication::sendEvent(&login, &resize);
            const QString at = QStringLiteral("%1x%2%3")
                                   .arg(row.Width)
                                   .arg(row.Height)
                                   .arg(shown ? " shown" : "");
            for (const auto& [name, top, height] :
                 {std::tuple{"cbxClass", 44, 26}, std::tuple{"edSurName", 124, 26},
                  std::tuple{"edPassword", 200, 25}}) {
                EXPECT_EQ(Control(login, name)->geometry(), QRect(28, top, row.Width - 60, height))
                    << name << " " << at.toStdString();
            }
            EXPECT_EQ(Control(login, "bnOK")->geometry(), QRect(108, row.Height - 48, 121, 33))
                << at.toStdString();
            EXPECT_EQ(Control(login, "lbClass")->pos(), QPoint(12, 12)) << at.toStdString();
            EXPECT_EQ(Control(login, "lbPassword")->pos(), QPoint(16, 172)) << at.toStdString();
        }
        login.hide();
    }
}

TEST(LoginDesign, PulseRunsWhileHiddenAndIsNeverReset) {
    TfmLogin login;
    ASSERT_FALSE(login.isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&login] { return login.PulseCounter() >= 3; }, 3000));
    unsigned char atShow = 0;
    ShowWith(login, [&login, &atShow] {
        atShow = login.PulseCounter();
        login.accept();
    });
    EXPECT_GE(atShow, 3);  // a showing starts where the pulse stands
    const unsigned char afterShow = login.PulseCounter();
    EXPECT_TRUE(QTest::qWaitFor([&] { return login.PulseCounter() != afterShow; }, 3000));
}

TEST(ChooserDesign, OnlyTheStartButtonConfirms) {
    const TempDir dir;
    Settings = std::make_unique<TSettings>(dir.Path / "tezra-net");
    Settings->TestFiles = {dir.Path / "geo.ttxt", dir.Path / "math.txt", dir.Path / "ru.txt"};
    TfmChooseTezra chooser;
    bool stillOpen = false;
    const int result = ShowWith(chooser, [&] {
        auto* list = Control<QListWidget>(chooser, "lbxTezraAvail");
        list->setCurrentRow(1);
        QTest::keyClick(list, Qt::Key_Return);
        QTest::keyClick(list, Qt::Key_Enter);
        const QRect row = list->visualItemRect(list->item(1));
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
        stillOpen = chooser.isVisible();
        QTest::mouseClick(Control(chooser, "bnStartTezra"), Qt::LeftButton);
    });
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(chooser.SelectedIndex(), 1);
    EXPECT_EQ(chooser.ChosenIndex(), 1);
    Settings.reset();
}

}  // namespace
