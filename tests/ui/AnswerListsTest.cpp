// SPDX-License-Identifier: GPL-3.0-or-later
// The answer lists of the test window with few and with very many variants: a radio group that
// shows what fits and scrolls the rest, and a check list over a model, both answering by mouse
// and keyboard as the student works them.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "ui/CheckList.h"
#include "ui/RadioGroup.h"

namespace {

QStringList Numbered(int count) {
    QStringList items;
    items.reserve(count);
    for (int i = 0; i < count; ++i) {
        items << QString::number(i);
    }
    return items;
}

// The texts of the buttons on screen, top to bottom.
QStringList Shown(const TRadioGroup& group) {
    QStringList texts;
    for (const QRadioButton* button : group.Buttons()) {
        EXPECT_TRUE(button->isVisible());
        texts << button->text();
    }
    return texts;
}

QWidget* Focused() {
    return QApplication::focusWidget();
}

struct RadioFixture {
    explicit RadioFixture(int count, int height = 200) {
        window.resize(400, height);
        group = new TRadioGroup(&window);
        QFont font("Arial");
        font.setPixelSize(16);
        group->setFont(font);
        group->setGeometry(0, 0, 400, height);
        group->SetItems(Numbered(count));
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        group->Buttons().front()->setFocus();
    }
    void Press(Qt::Key key) const { QTest::keyClick(Focused(), key); }
    // The item whose button has the keyboard focus.
    int FocusedItem() const {
        const int row =
            static_cast<int>(group->Buttons().indexOf(qobject_cast<QRadioButton*>(Focused())));
        return row < 0 ? -1 : group->FirstShown() + row;
    }

    QWidget window;
    TRadioGroup* group = nullptr;
};

}  // namespace

TEST(RadioGroup, ShowsWhatFitsAndScrollsTheRest) {
    struct Case {
        const char* name;
        int count;
        int height;
        bool scrolls;
    };
    const Case cases[] = {
        {"three variants, all shown evenly", 3, 200, false},
        {"the designed panel of seven", 7, 154, false},
        {"forty in a small group", 40, 200, true},
        {"a hundred thousand", 100'000, 200, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RadioFixture f(c.count, c.height);
        const QStringList shown = Shown(*f.group);
        EXPECT_EQ(f.group->ScrollBar()->isVisible(), c.scrolls);
        if (!c.scrolls) {
            EXPECT_EQ(shown, Numbered(c.count));
            continue;
        }
        // Only buttons that are on screen exist, each at least a text line high.
        const int lines = (200 - 8) / f.group->fontMetrics().height();
        EXPECT_LE(f.group->findChildren<QRadioButton*>().size(), lines);
        EXPECT_GE(shown.size(), lines - 1);
        EXPECT_EQ(shown, Numbered(c.count).mid(0, shown.size()));
        for (const QRadioButton* button : f.group->Buttons()) {
            EXPECT_GE(button->height(), f.group->fontMetrics().height() - 1);
        }
        // Scrolled to the end, the last buttons show the last items.
        f.group->ScrollBar()->setValue(f.group->ScrollBar()->maximum());
        EXPECT_EQ(Shown(*f.group).back(), QString::number(c.count - 1));
        EXPECT_EQ(f.group->FirstShown(), c.count - shown.size());
    }
}

TEST(RadioGroup, SelectionFollowsItemsNotButtonsWhileScrolling) {
    const RadioFixture f(1000);
    QTest::mouseClick(f.group->Buttons().at(2), Qt::LeftButton);
    EXPECT_EQ(f.group->ItemIndex(), 2);
    f.group->ScrollBar()->setValue(500);
    EXPECT_EQ(f.group->ItemIndex(), 2);
    for (const QRadioButton* button : f.group->Buttons()) {
        EXPECT_FALSE(button->isChecked()) << button->text().toStdString();
    }
    QTest::mouseClick(f.group->Buttons().at(1), Qt::LeftButton);
    EXPECT_EQ(f.group->ItemIndex(), 501);
    f.group->ScrollBar()->setValue(0);
    EXPECT_FALSE(f.group->Buttons().at(2)->isChecked());
    f.group->SetItems(Numbered(5));
    EXPECT_EQ(f.group->ItemIndex(), -1);
    EXPECT_FALSE(f.group->ScrollBar()->isVisible());
}

TEST(RadioGroup, KeysMoveThroughEveryItem) {
    struct Case {
        const char* name;
        std::vector<Qt::Key> keys;
        int focused;
        int selected;
    };
    const Case cases[] = {
        {"Down to the last button on screen and past it", std::vector<Qt::Key>(12, Qt::Key_Down),
         12, -1},
        {"Up at the top stays", {Qt::Key_Up}, 0, -1},
        {"End, then Up", {Qt::Key_End, Qt::Key_Up}, 97, -1},
        {"a page down and back", {Qt::Key_PageDown, Qt::Key_PageUp}, 0, -1},
        {"Space selects; Down past the screen carries the selection",
         [] {
             std::vector<Qt::Key> keys{Qt::Key_Space};
             keys.insert(keys.end(), 15, Qt::Key_Down);
             return keys;
         }(),
         15, 15},
        {"Home after End", {Qt::Key_End, Qt::Key_Home}, 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RadioFixture f(99);
        for (const Qt::Key key : c.keys) {
            f.Press(key);
        }
        EXPECT_EQ(f.FocusedItem(), c.focused);
        EXPECT_EQ(f.group->ItemIndex(), c.selected);
        EXPECT_TRUE(Shown(*f.group).contains(QString::number(c.focused)));
    }
}

TEST(CheckList, TicksRowsOfAnyNumberByKeyboardAndMouse) {
    for (const int count : {3, 100'000}) {
        SCOPED_TRACE(count);
        CheckList list(18);
        list.resize(300, 200);
        list.SetItems(Numbered(count));
        list.show();
        list.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&list));
        ASSERT_EQ(list.count(), count);
        EXPECT_EQ(list.Text(count - 1), QString::number(count - 1));
        list.setCurrentRow(0, QItemSelectionModel::NoUpdate);
        QTest::keyClick(&list, Qt::Key_Space);
        QTest::keyClick(&list, Qt::Key_Down);
        QTest::keyClick(&list, Qt::Key_Down);
        QTest::keyClick(&list, Qt::Key_Space);
        QTest::keyClick(&list, Qt::Key_Space);  // ticked and unticked again
        QTest::keyClick(&list, Qt::Key_End);
        QTest::keyClick(&list, Qt::Key_Space);
        std::vector<bool> expected(static_cast<std::size_t>(count), false);
        expected.front() = true;
        expected.back() = true;
        EXPECT_EQ(list.Checked(), expected);
        // Every row is of the fixed height; a click on a row's box ticks it.
        const QRect second = list.visualRect(list.model()->index(count == 3 ? 1 : count - 2, 0));
        EXPECT_EQ(second.height(), 18);
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, second.topLeft() + QPoint(10, 9));
        EXPECT_TRUE(list.IsChecked(count == 3 ? 1 : count - 2));
        list.SetItems(Numbered(2));
        EXPECT_EQ(list.Checked(), (std::vector<bool>{false, false}));
    }
}
