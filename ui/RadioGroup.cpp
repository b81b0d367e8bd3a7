// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/RadioGroup.h"

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int kSideMargin = 8;
constexpr int kEndMargin = 2;

// A radio button that is pressed anywhere on its row, not only on its circle and text.
class TRadioItem : public QRadioButton {
public:
    using QRadioButton::QRadioButton;

protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

}  // namespace

TRadioGroup::TRadioGroup(QWidget* parent)
    : QGroupBox(parent),
      group_(new QButtonGroup(this)),
      scrollBar_(new QScrollBar(Qt::Vertical, this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kSideMargin, kEndMargin, kSideMargin, kEndMargin);
    layout->setSpacing(0);
    scrollBar_->setAccessibleName(QStringLiteral("Прокрутка вариантов"));
    scrollBar_->setFocusPolicy(Qt::NoFocus);
    scrollBar_->hide();
    connect(scrollBar_, &QScrollBar::valueChanged, this, [this](int value) {
        if (value != first_) {
            first_ = value;
            Refill();
        }
    });
    connect(group_, &QButtonGroup::idClicked, this, &TRadioGroup::Clicked);
}

void TRadioGroup::SetItems(const QStringList& items) {
    items_ = items;
    checked_ = -1;
    first_ = 0;
    Relayout();
}

QList<QRadioButton*> TRadioGroup::Buttons() const {
    return buttons_.mid(0, shown_);
}

void TRadioGroup::ScrollTo(int index) {
    if (index < first_) {
        scrollBar_->setValue(index);
    } else if (index >= first_ + shown_) {
        scrollBar_->setValue(index - shown_ + 1);
    }
}

void TRadioGroup::resizeEvent(QResizeEvent* event) {
    QGroupBox::resizeEvent(event);
    Relayout();
}

void TRadioGroup::wheelEvent(QWheelEvent* event) {
    if (scrollBar_->isVisible()) {
        QApplication::sendEvent(scrollBar_, event);
        return;
    }
    QGroupBox::wheelEvent(event);
}

int TRadioGroup::RowsThatFit() const {
    const int rowHeight = std::max(1, fontMetrics().height());
    return std::max(1, (contentsRect().height() - 2 * kEndMargin) / rowHeight);
}

void TRadioGroup::Relayout() {
    const int fit = RowsThatFit();
    const bool scrolls = Count() > fit;
    shown_ = scrolls ? fit : Count();
    // Buttons are kept and reused rather than deleted: the one losing its item may be the
    // focus widget of a key press still being delivered.
    while (buttons_.size() < shown_) {
        auto* button = new TRadioItem(this);
        button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
        button->installEventFilter(this);
        layout()->addWidget(button);
        buttons_.push_back(button);
    }
    const int barWidth = scrolls ? scrollBar_->sizeHint().width() : 0;
    layout()->setContentsMargins(kSideMargin, kEndMargin, kSideMargin + barWidth, kEndMargin);
    const QRect inside = contentsRect();
    scrollBar_->setGeometry(inside.right() + 1 - barWidth, inside.top(), barWidth,
                            inside.height());
    {
        const QSignalBlocker quiet(scrollBar_);
        scrollBar_->setRange(0, Count() - shown_);
        scrollBar_->setPageStep(std::max(1, shown_));
        scrollBar_->setValue(first_);
    }
    first_ = scrollBar_->value();
    scrollBar_->setVisible(scrolls);
    Refill();
}

void TRadioGroup::Refill() {
    group_->setExclusive(false);
    for (int row = 0; row < buttons_.size(); ++row) {
        QRadioButton* button = buttons_[row];
        const bool shown = row < shown_;
        const int item = first_ + row;
        button->setChecked(shown && item == checked_);
        // A spare button loses its text too: screen readers list hidden buttons as well.
        button->setText(shown ? items_[item] : QString());
        if (shown) {
            group_->addButton(button, row);
        } else {
            group_->removeButton(button);
        }
        button->setVisible(shown);
    }
    group_->setExclusive(true);
}

void TRadioGroup::Clicked(int row) {
    checked_ = first_ + row;
}

bool TRadioGroup::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int row = static_cast<int>(buttons_.indexOf(qobject_cast<QRadioButton*>(watched)));
        if (row >= 0 && row < shown_ && MoveFocus(row, static_cast<QKeyEvent*>(event)->key())) {
            return true;
        }
    }
    return QGroupBox::eventFilter(watched, event);
}

bool TRadioGroup::MoveFocus(int row, int key) {
    if (shown_ >= Count()) {
        return false;  // every item on screen: the buttons handle their keys as usual
    }
    const int item = first_ + row;
    int target = item;
    switch (key) {
        case Qt::Key_Up:
            // Between the buttons on screen the buttons move the focus themselves.
            target = row == 0 ? item - 1 : item;
            break;
        case Qt::Key_Down:
            target = row == shown_ - 1 ? item + 1 : item;
            break;
        case Qt::Key_PageUp:
            target = item - std::max(1, shown_ - 1);
            break;
        case Qt::Key_PageDown:
            target = item + std::max(1, shown_ - 1);
            break;
        case Qt::Key_Home:
            target = 0;
            break;
        case Qt::Key_End:
            target = Count() - 1;
            break;
        default:
            return false;
    }
    target = std::clamp(target, 0, std::max(0, Count() - 1));
    if (target == item) {
        return key != Qt::Key_Up && key != Qt::Key_Down;
    }
    // As between buttons: moving on from the selected item selects the next one.
    const bool follow = (key == Qt::Key_Up || key == Qt::Key_Down) && checked_ == item;
    ScrollTo(target);
    if (follow) {
        checked_ = target;
        Refill();
    }
    QRadioButton* button = buttons_[target - first_];
    const bool refocus = button->hasFocus();
    button->setFocus(key == Qt::Key_Up || key == Qt::Key_PageUp || key == Qt::Key_Home
                         ? Qt::BacktabFocusReason
                         : Qt::TabFocusReason);
    if (refocus) {
        // The focused button now shows another item: screen readers hear it as a new focus.
        QAccessibleEvent focus(button, QAccessible::Focus);
        QAccessible::updateAccessibility(&focus);
    }
    return true;
}
