// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/UChooseTezra.h"

#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>

#include "settings/TestDescription.h"
#include "settings/UCommon.h"
#include "ui/ButtonGlyphs.h"
#include "ui/FixedRowDelegate.h"
#include "ui/QtText.h"
#include "ui/rules/TestChoice.h"

std::unique_ptr<TfmChooseTezra> fmChooseTezra;

namespace {

constexpr int kRowHeight = 16;

QFont SansSerif(int pixels, bool bold = false) {
    QFont font("MS Sans Serif");
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// The start picture, 32 x 32, followed by 32 blank pixels that part it from the caption.
QIcon StartIcon() {
    QPixmap padded(64, 32);
    padded.fill(Qt::transparent);
    QPainter painter(&padded);
    painter.drawPixmap(0, 0, DrawStartTestGlyph(32));
    painter.end();
    return QIcon(padded);
}

}  // namespace

TfmChooseTezra::TfmChooseTezra(QWidget* parent)
    : TModalForm(parent),
      lbAvailableTezras(new QLabel(this)),
      lbxTezraAvail(new QListWidget(this)),
      bnStartTezra(new QPushButton(this)) {
    setObjectName("fmChooseTezra");
    setWindowTitle(QStringLiteral("Выберите тест"));
    QFont font("Arial");
    font.setPixelSize(11);
    setFont(font);
    lbAvailableTezras->setObjectName("lbAvailableTezras");
    lbxTezraAvail->setObjectName("lbxTezraAvail");
    bnStartTezra->setObjectName("bnStartTezra");

    lbAvailableTezras->setText(QStringLiteral("Выберите тест:"));
    lbAvailableTezras->setFont(SansSerif(16));

    lbxTezraAvail->setFont(SansSerif(13));
    lbxTezraAvail->setItemDelegate(new TFixedRowDelegate(kRowHeight, lbxTezraAvail));
    lbxTezraAvail->setUniformItemSizes(true);
    lbxTezraAvail->setSelectionMode(QAbstractItemView::SingleSelection);
    lbxTezraAvail->setAccessibleName(QStringLiteral("Список тестов"));
    lbxTezraAvail->verticalScrollBar()->setAccessibleName(
        QStringLiteral("Прокрутка списка тестов"));
    lbxTezraAvail->horizontalScrollBar()->setAccessibleName(
        QStringLiteral("Прокрутка списка тестов по горизонтали"));

    // Only this button confirms: it is no default button, so Enter in the list does nothing.
    bnStartTezra->setText(QStringLiteral("Приступить к сдаче теста"));
    bnStartTezra->setAccessibleName(bnStartTezra->text());
    bnStartTezra->setFont(SansSerif(16, true));
    QPalette red = bnStartTezra->palette();
    red.setColor(QPalette::ButtonText, Qt::red);
    bnStartTezra->setPalette(red);
    bnStartTezra->setIcon(StartIcon());
    bnStartTezra->setIconSize(QSize(64, 32));
    bnStartTezra->setMinimumHeight(44);
    bnStartTezra->setAutoDefault(false);
    bnStartTezra->setDefault(false);

    // The list grows with the window; the label and the button keep their height.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(lbAvailableTezras);
    layout->addWidget(lbxTezraAvail, 1);
    layout->addWidget(bnStartTezra);
    connect(bnStartTezra, &QPushButton::clicked, this, &TfmChooseTezra::bnStartTezraClick);
    resize(529, 393);
}

void TfmChooseTezra::FillTestList() {
    if (!Settings->RefreshTests && lbxTezraAvail->count() > 0) {
        return;  // the rows of an earlier showing stay, with their selection
    }
    QStringList rows;
    rows.reserve(static_cast<qsizetype>(Settings->TestFiles.size()));
    for (const auto& file : Settings->TestFiles) {
        rows << ToQString(TestDisplayText(file));
    }
    // Rebuilt rows are the same rows, unselected, from the top. Rows that are already there
    // stay, so that a refresh costs only the descriptions read, not a new list.
    if (!SameRows(rows)) {
        lbxTezraAvail->clear();
        lbxTezraAvail->addItems(rows);
    }
    lbxTezraAvail->setCurrentItem(nullptr);
    lbxTezraAvail->clearSelection();
    lbxTezraAvail->scrollToTop();
}

bool TfmChooseTezra::SameRows(const QStringList& rows) const {
    if (lbxTezraAvail->count() != rows.size()) {
        return false;
    }
    for (int i = 0; i < rows.size(); ++i) {
        if (lbxTezraAvail->item(i)->text() != rows[i]) {
            return false;
        }
    }
    return true;
}

int TfmChooseTezra::SelectedIndex() const {
    const QModelIndexList rows = lbxTezraAvail->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

int TfmChooseTezra::ChosenIndex() const {
    return ChosenTestRow(SelectedIndex(), lbxTezraAvail->count());
}

std::string TfmChooseTezra::RowText(int row) const {
    const QListWidgetItem* item = row >= 0 ? lbxTezraAvail->item(row) : nullptr;
    return item != nullptr ? FromQString(item->text()) : std::string();
}

void TfmChooseTezra::bnStartTezraClick() {
    SetModalResult(mrOk);
}

void TfmChooseTezra::showEvent(QShowEvent* event) {
    FillTestList();
    TModalForm::showEvent(event);
}
