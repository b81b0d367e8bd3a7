// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The test chooser: one row per test file, showing its description or its file name.

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <memory>
#include <string>

#include "ui/ModalForm.h"

class TfmChooseTezra : public TModalForm {
    Q_OBJECT

public:
    explicit TfmChooseTezra(QWidget* parent = nullptr);

    // Builds the rows from Settings.TestFiles, keeping an earlier showing's rows unless
    // Settings.RefreshTests is on.
    void FillTestList();
    void bnStartTezraClick();
    // The selected row, or -1 when no row is selected.
    int SelectedIndex() const;
    // The row the start button starts: the selected one, or the first when none is selected;
    // -1 when the list is empty.
    int ChosenIndex() const;
    // The text that row shows (cp1251); empty when there is no such row.
    std::string RowText(int row) const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* lbAvailableTezras;
    QListWidget* lbxTezraAvail;
    QPushButton* bnStartTezra;

    // Whether the list already shows exactly these rows.
    bool SameRows(const QStringList& rows) const;
};

extern std::unique_ptr<TfmChooseTezra> fmChooseTezra;
