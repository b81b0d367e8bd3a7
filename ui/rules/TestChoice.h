// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which test the chooser's start button starts.

// The row started from a list of rowCount rows whose selected row is selectedRow (-1 when none
// is selected): the selected row, or the first one when none is selected; -1 when there is no
// such row (an empty list, or a selection past its end).
int ChosenTestRow(int selectedRow, int rowCount);
