// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The rows of a check list: texts, each with a tick box, all unticked when the texts are set.
// Setting any number of texts is one reset of the model, so a view lays out and paints only
// the rows it shows.

#include <QAbstractListModel>
#include <QStringList>
#include <vector>

class CheckListModel : public QAbstractListModel {
    Q_OBJECT

public:
    using QAbstractListModel::QAbstractListModel;

    void SetTexts(const QStringList& texts);
    bool IsChecked(int row) const;
    // Whether each row is ticked, in order.
    std::vector<bool> Checked() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QStringList texts_;
    std::vector<bool> checked_;
};
