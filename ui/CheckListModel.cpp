// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/CheckListModel.h"

void CheckListModel::SetTexts(const QStringList& texts) {
    beginResetModel();
    texts_ = texts;
    checked_.assign(static_cast<std::size_t>(texts.size()), false);
    endResetModel();
}

bool CheckListModel::IsChecked(int row) const {
    return row >= 0 && row < rowCount() && checked_[static_cast<std::size_t>(row)];
}

std::vector<bool> CheckListModel::Checked() const {
    return checked_;
}

int CheckListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(texts_.size());
}

QVariant CheckListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return texts_[index.row()];
        case Qt::CheckStateRole:
            return IsChecked(index.row()) ? Qt::Checked : Qt::Unchecked;
        default:
            return {};
    }
}

bool CheckListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.row() >= rowCount() || role != Qt::CheckStateRole) {
        return false;
    }
    checked_[static_cast<std::size_t>(index.row())] = value.toInt() == Qt::Checked;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

Qt::ItemFlags CheckListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}
