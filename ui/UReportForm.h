#pragma once
// The results window that closes every student's pass.

#include <QLabel>
#include <QPushButton>
#include <memory>

#include "ui/ModalForm.h"

class TfmTezraReport : public TModalForm {
    Q_OBJECT

public:
    explicit TfmTezraReport(QWidget* parent = nullptr);

    QLabel* Label1;
    QPushButton* bnExit;

    void bnExitClick();
};

extern std::unique_ptr<TfmTezraReport> fmTezraReport;
