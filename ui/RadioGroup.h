// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A radio group: a column of radio buttons, one per item, spread evenly over the group's
// height, of which at most one is selected.

#include <QButtonGroup>
#include <QGroupBox>
#include <QList>
#include <QRadioButton>
#include <QStringList>

class TRadioGroup : public QGroupBox {
    Q_OBJECT

public:
    explicit TRadioGroup(QWidget* parent = nullptr);

    // Shows one button per item, none of them selected.
    void SetItems(const QStringList& items);
    int Count() const { return count_; }
    // The selected item, or -1.
    int ItemIndex() const;
    void SetItemIndex(int index);
    // The buttons of the items, in order.
    QList<QRadioButton*> Buttons() const;

private:
    QButtonGroup* group_;
    QList<QRadioButton*> buttons_;  // every button made so far; those past count_ are hidden
    int count_ = 0;
};
