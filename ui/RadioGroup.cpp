// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/RadioGroup.h"

#include <QVBoxLayout>

namespace {

// A radio button that is pressed anywhere on its row, not only on its circle and text.
class TRadioItem : public QRadioButton {
public:
    using QRadioButton::QRadioButton;

protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

}  // namespace

TRadioGroup::TRadioGroup(QWidget* parent) : QGroupBox(parent), group_(new QButtonGroup(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 2, 8, 2);
    layout->setSpacing(0);
}

void TRadioGroup::SetItems(const QStringList& items) {
    // Buttons are kept and reused rather than deleted: the one losing its item may be the
    // focus widget of a key press still being delivered.
    while (buttons_.size() < items.size()) {
        auto* button = new TRadioItem(this);
        button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
        layout()->addWidget(button);
        buttons_.push_back(button);
    }
    group_->setExclusive(false);
    for (int i = 0; i < buttons_.size(); ++i) {
        QRadioButton* button = buttons_[i];
        button->setChecked(false);
        // A spare button loses its text too: screen readers list hidden buttons as well.
        button->setText(i < items.size() ? items[i] : QString());
        if (i < items.size()) {
            group_->addButton(button, i);
        } else {
            group_->removeButton(button);
        }
        button->setVisible(i < items.size());
    }
    group_->setExclusive(true);
    count_ = static_cast<int>(items.size());
}

int TRadioGroup::ItemIndex() const {
    return group_->checkedId();
}

void TRadioGroup::SetItemIndex(int index) {
    if (index >= 0 && index < count_) {
        buttons_[index]->setChecked(true);
        return;
    }
    group_->setExclusive(false);
    for (QRadioButton* button : buttons_) {
        button->setChecked(false);
    }
    group_->setExclusive(true);
}

QList<QRadioButton*> TRadioGroup::Buttons() const {
    return buttons_.mid(0, count_);
}
