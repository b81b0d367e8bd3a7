// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A check list: one row per text, each with a tick box, rows of one fixed height. Space or a
// click on the box ticks the current row. Rows are laid out and painted only as they come
// into view, however many there are.

#include <QListView>
#include <QStringList>
#include <vector>

#include "ui/CheckListModel.h"

class CheckList : public QListView {
    Q_OBJECT

public:
    CheckList(int rowHeight, QWidget* parent = nullptr);

    // Shows the texts, none of them ticked.
    void SetItems(const QStringList& texts);
    // count() and setCurrentRow() are spelled as on Qt's list widgets, so that the windows
    // and their tests drive every answer list alike.
    int count() const { return model_->rowCount(); }  // NOLINT(readability-identifier-naming)
    QString Text(int row) const;
    bool IsChecked(int row) const { return model_->IsChecked(row); }
    std::vector<bool> Checked() const { return model_->Checked(); }
    // NOLINTNEXTLINE(readability-identifier-naming)
    void setCurrentRow(int row, QItemSelectionModel::SelectionFlags command);

private:
    CheckListModel* model_;
};
