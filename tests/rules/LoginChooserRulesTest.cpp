// SPDX-License-Identifier: GPL-3.0-or-later
// The login window's height and the chooser's started row, as the student cycle relies on them.

#include <gtest/gtest.h>

#include "ui/rules/LoginLayout.h"
#include "ui/rules/TestChoice.h"

namespace {

TEST(LoginLayout, ClientEndsOneHundredPixelsBelowTheLastFieldShown) {
    struct Case {
        bool NeedPassword;
        int LastRowTop;
        int Height;
    };
    const Case cases[] = {
        {false, kSurnameRowTop, 224},
        {true, kPasswordRowTop, 300},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LoginClientHeight(c.NeedPassword), c.Height) << c.NeedPassword;
        EXPECT_EQ(LoginClientHeight(c.NeedPassword) - c.LastRowTop, 100) << c.NeedPassword;
    }
    // With the password row the window has its designed height.
    EXPECT_EQ(LoginClientHeight(true), kLoginDesignHeight);
}

TEST(TestChoice, SelectedRowOrTheFirstAndNeverOnePastTheList) {
    struct Case {
        int Selected;
        int Rows;
        int Started;
    };
    const Case cases[] = {
        {-1, 3, 0},               // nothing selected: the first test
        {0, 3, 0},   {2, 3, 2},   // the selected one
        {1, 2, 1},   {-7, 2, 0},  // any "none selected" value
        {-1, 0, -1}, {0, 0, -1},  // an empty list starts nothing
        {3, 3, -1},  {9, 1, -1},  // a selection past the list's end starts nothing
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ChosenTestRow(c.Selected, c.Rows), c.Started)
            << "selected " << c.Selected << " of " << c.Rows;
    }
}

}  // namespace
