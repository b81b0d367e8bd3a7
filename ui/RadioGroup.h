// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A radio group: a column of radio buttons, one per item, spread evenly over the group's
// height, of which at most one is selected. When the items do not fit at one text line each,
// the group shows as many as fit and a scroll bar for the rest: its buttons then stand for the
// rows on screen and take the items of the rows they show, so that putting any number of
// items on screen costs only the buttons that are visible.

#include <QButtonGroup>
#include <QGroupBox>
#include <QList>
#include <QRadioButton>
#include <QScrollBar>
#include <QStringList>

class TRadioGroup : public QGroupBox {
    Q_OBJECT

public:
    explicit TRadioGroup(QWidget* parent = nullptr);

    // Shows the items from the first one, none of them selected.
    void SetItems(const QStringList& items);
    int Count() const { return static_cast<int>(items_.size()); }
    // The selected item, or -1.
    int ItemIndex() const { return checked_; }
    // The buttons on screen, top to bottom; the first shows item FirstShown().
    QList<QRadioButton*> Buttons() const;
    int FirstShown() const { return first_; }
    // Scrolls so that the item is on screen.
    void ScrollTo(int index);
    QScrollBar* ScrollBar() const { return scrollBar_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // How many buttons the group's height holds, and whether the scroll bar is needed.
    void Relayout();
    // The buttons on screen take the texts and the selection of the rows they show.
    void Refill();
    void Clicked(int row);
    // The keys that move past the first or last button on screen, or by pages.
    bool MoveFocus(int row, int key);
    int RowsThatFit() const;

    QButtonGroup* group_;
    QScrollBar* scrollBar_;
    QList<QRadioButton*> buttons_;  // every button made so far; those past shown_ are hidden
    QStringList items_;
    int checked_ = -1;
    int first_ = 0;  // the item of the top button
    int shown_ = 0;  // buttons on screen
};
