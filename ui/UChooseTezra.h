// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The test chooser: one row per test file, showing its description or its file name.

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <memory>

#include "ui/ModalForm.h"

class TfmChooseTezra : public TModalForm {
    Q_OBJECT

public:
    explicit TfmChooseTezra(QWidget* parent = nullptr);

    QLabel* lbAvailableTezras;
    QListWidget* lbxTezraAvail;
    QPushButton* bnStartTezra;

    // Builds the rows from Settings.TestFiles, keeping an earlier showing's rows unless
    // Settings.RefreshTests is on.
    void FillTestList();
    void bnStartTezraClick();
    // The selected row, or -1 when no row is selected.
    int SelectedIndex() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Whether the list already shows exactly these rows.
    bool SameRows(const QStringList& rows) const;
};

extern std::unique_ptr<TfmChooseTezra> fmChooseTezra;
