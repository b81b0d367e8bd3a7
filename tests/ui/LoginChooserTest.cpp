// SPDX-License-Identifier: GPL-3.0-or-later
// The login window and the test chooser as a student meets them: keys, layout, the pulse, and
// which controls confirm.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <memory>
#include <vector>

#include "settings/UCommon.h"
#include "tests/common/TempDir.h"
#include "tests/common/WindowScript.h"
#include "ui/UChooseTezra.h"
#include "ui/ULoginForm.h"

namespace {

TEST(LoginDesign, TabOrder) {
    TfmLogin login;
    std::vector<QWidget*> order;
    QWidget* widget = login.edSurName;
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) != 0) {
            order.push_back(widget);
        }
        widget = widget->nextInFocusChain();
    } while (widget != login.edSurName && order.size() < 10);
    const std::vector<QWidget*> expected = {login.edSurName, login.bnOK, login.cbxClass,
                                            login.edPassword};
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
    for (QLineEdit* field : {login.edSurName, login.edPassword}) {
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
    for (QLineEdit* field : {login.edSurName, login.edPassword}) {
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
        // What the student cycle does before it shows the window.
        login.edPassword->setVisible(row.NeedPassword);
        login.lbPassword->setVisible(row.NeedPassword);
        const QWidget* lastRow = row.NeedPassword ? login.edPassword : login.edSurName;
        login.SetClientSize(login.width(), lastRow->y() + 100);
        ShowWith(login, [&login, row] {
            EXPECT_EQ(login.height(), row.ClientHeight);
            EXPECT_EQ(login.bnOK->geometry().bottom() + 1, row.ClientHeight - 15);
            EXPECT_EQ(login.edPassword->isVisible(), row.NeedPassword);
            login.accept();
        });
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
        QListWidget* list = chooser.lbxTezraAvail;
        list->setCurrentRow(1);
        QTest::keyClick(list, Qt::Key_Return);
        QTest::keyClick(list, Qt::Key_Enter);
        const QRect row = list->visualItemRect(list->item(1));
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
        stillOpen = chooser.isVisible();
        QTest::mouseClick(chooser.bnStartTezra, Qt::LeftButton);
    });
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(chooser.SelectedIndex(), 1);
    Settings.reset();
}

}  // namespace
