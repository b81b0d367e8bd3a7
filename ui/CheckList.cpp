// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/CheckList.h"

#include "ui/FixedRowDelegate.h"

namespace {

// Up to this many rows each row is as wide as its text, so that a long variant can be scrolled
// to; a longer list takes every row's width from the first, so that showing it does not
// measure every text.
constexpr int kMeasuredRows = 1000;

}  // namespace

CheckList::CheckList(int rowHeight, QWidget* parent)
    : QListView(parent), model_(new CheckListModel(this)) {
    setModel(model_);
    setItemDelegate(new TFixedRowDelegate(rowHeight, this));
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void CheckList::SetItems(const QStringList& texts) {
    setUniformItemSizes(texts.size() > kMeasuredRows);
    model_->SetTexts(texts);
}

QString CheckList::Text(int row) const {
    return model_->data(model_->index(row), Qt::DisplayRole).toString();
}

void CheckList::setCurrentRow(int row, QItemSelectionModel::SelectionFlags command) {
    selectionModel()->setCurrentIndex(model_->index(row), command);
}
