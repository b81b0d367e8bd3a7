#include "ui/UReportForm.h"

#include <QVBoxLayout>

std::unique_ptr<TfmTezraReport> fmTezraReport;

TfmTezraReport::TfmTezraReport(QWidget* parent)
    : TModalForm(parent), Label1(new QLabel(this)), bnExit(new QPushButton(this)) {
    setObjectName("fmTezraReport");
    setWindowTitle(QStringLiteral("Результаты"));
    Label1->setObjectName("Label1");
    bnExit->setObjectName("bnExit");
    Label1->setText(QStringLiteral("ВАШ РЕЗУЛЬТАТ"));
    Label1->setAlignment(Qt::AlignCenter);
    bnExit->setText(QStringLiteral("Закрыть"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(bnExit);
    connect(bnExit, &QPushButton::clicked, this, &TfmTezraReport::bnExitClick);
    resize(804, 366);
}

void TfmTezraReport::bnExitClick() {
    SetModalResult(mrOk);
}
