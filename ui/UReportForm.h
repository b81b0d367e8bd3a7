// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The results window that closes every student's pass: a table about the student and the test,
// and two gauges, speed and correctness, each with the one picture that tells how it went.

#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTableWidget>
#include <array>
#include <memory>

#include "ui/ModalForm.h"
#include "ui/ResultPictures.h"

class TAnchoredPanel;

class TfmTezraReport : public TModalForm {
    Q_OBJECT

public:
    explicit TfmTezraReport(QWidget* parent = nullptr);

    // Fills the table, sets both gauges and shows one picture beside each, from the settings
    // and the current test.
    void FormShow();
    void bnExitClick();

    // The value shown in the row whose key is key; empty when no row has that key.
    QString Value(const QString& key) const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QSlider* MakeGauge(const char* name, const QString& accessibleName);
    QLabel* MakePicture(const char* name, TResultPicture picture, const QString& accessibleName);
    void PlaceColumn(int left, QLabel* label, QSlider* gauge,
                     const std::array<QLabel*, 4>& pictures);

    TAnchoredPanel* panel_;
    QLabel* Label1;
    QTableWidget* vleResults;
    QLabel* Label3;
    QSlider* tbSpeed;
    QLabel* imgFast;
    QLabel* imgNormal;
    QLabel* imgSlow;
    QLabel* imgDumbSlow;
    QLabel* Label2;
    QSlider* tbCCleverness;
    QLabel* imgGenius;
    QLabel* imgSapiens;
    QLabel* imgDumb;
    QLabel* imgIdiot;
    QPushButton* bnExit;
    std::array<QLabel*, 4> speedPictures_{};
    std::array<QLabel*, 4> correctnessPictures_{};
};

extern std::unique_ptr<TfmTezraReport> fmTezraReport;
