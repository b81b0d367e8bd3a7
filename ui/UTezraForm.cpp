#include "ui/UTezraForm.h"

#include <QVBoxLayout>

#include "model/UTypes.h"
#include "settings/UCommon.h"
#include "ui/QtText.h"

#ifndef TEZRA_DEFAULT_SERVER
#define TEZRA_DEFAULT_SERVER "127.0.0.1"
#endif

std::unique_ptr<TfmTezra> fmTezra;
std::string ServerAddress = TEZRA_DEFAULT_SERVER;

TfmTezra::TfmTezra(QWidget* parent)
    : TModalForm(parent), Label1(new QLabel(this)), bnAnswer(new QPushButton(this)) {
    setObjectName("fmTezra");
    setWindowTitle(QStringLiteral("Tezra Net"));
    Label1->setObjectName("Label1");
    bnAnswer->setObjectName("bnAnswer");
    bnAnswer->setText(QStringLiteral("Я ответил"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(bnAnswer);
    connect(bnAnswer, &QPushButton::clicked, this, [this] { SetModalResult(mrOk); });
    resize(846, 420);
}

void TfmTezra::showEvent(QShowEvent* event) {
    // Each showing loads the chosen test afresh and draws this student's problems.
    LoadTestFile(Settings->TestFile);
    CurrentTezra().Prepare();
    CurrentTezra().SelectProblems();
    Label1->setText(ToQString(Settings->TestName));
    TModalForm::showEvent(event);
}
