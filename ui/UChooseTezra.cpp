#include "ui/UChooseTezra.h"

#include <QVBoxLayout>

#include "settings/TestDescription.h"
#include "settings/UCommon.h"
#include "ui/QtText.h"

std::unique_ptr<TfmChooseTezra> fmChooseTezra;

TfmChooseTezra::TfmChooseTezra(QWidget* parent)
    : TModalForm(parent),
      lbAvailableTezras(new QLabel(this)),
      lbxTezraAvail(new QListWidget(this)),
      bnStartTezra(new QPushButton(this)) {
    setObjectName("fmChooseTezra");
    setWindowTitle(QStringLiteral("Выберите тест"));
    lbAvailableTezras->setObjectName("lbAvailableTezras");
    lbxTezraAvail->setObjectName("lbxTezraAvail");
    bnStartTezra->setObjectName("bnStartTezra");
    lbAvailableTezras->setText(QStringLiteral("Выберите тест:"));
    bnStartTezra->setText(QStringLiteral("Приступить к сдаче теста"));
    bnStartTezra->setAutoDefault(false);
    lbxTezraAvail->setSelectionMode(QAbstractItemView::SingleSelection);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lbAvailableTezras);
    layout->addWidget(lbxTezraAvail);
    layout->addWidget(bnStartTezra);
    connect(bnStartTezra, &QPushButton::clicked, this, &TfmChooseTezra::bnStartTezraClick);
    resize(529, 393);
}

void TfmChooseTezra::FillTestList() {
    if (Settings->RefreshTests) {
        lbxTezraAvail->clear();
    }
    if (lbxTezraAvail->count() > 0) {
        return;
    }
    for (const auto& file : Settings->TestFiles) {
        lbxTezraAvail->addItem(ToQString(TestDisplayText(file)));
    }
    lbxTezraAvail->clearSelection();
}

int TfmChooseTezra::SelectedIndex() const {
    const QModelIndexList rows = lbxTezraAvail->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

void TfmChooseTezra::bnStartTezraClick() {
    SetModalResult(mrOk);
}

void TfmChooseTezra::showEvent(QShowEvent* event) {
    FillTestList();
    TModalForm::showEvent(event);
}
