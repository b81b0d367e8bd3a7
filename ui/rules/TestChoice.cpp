// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rules/TestChoice.h"

int ChosenTestRow(int selectedRow, int rowCount) {
    const int row = selectedRow < 0 ? 0 : selectedRow;
    return row < rowCount ? row : -1;
}
