// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// List rows of one fixed height, whatever the font's own line height.

#include <QStyledItemDelegate>

class TFixedRowDelegate : public QStyledItemDelegate {
public:
    TFixedRowDelegate(int rowHeight, QObject* parent)
        : QStyledItemDelegate(parent), rowHeight_(rowHeight) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), rowHeight_};
    }

private:
    int rowHeight_;
};
