// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/AnchoredPanel.h"

#include <QEvent>
#include <QResizeEvent>

TAnchoredPanel::TAnchoredPanel(TSize design, QWidget* parent) : QFrame(parent), design_(design) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    resize(design.Width, design.Height);
}

void TAnchoredPanel::Place(QWidget* child, TRect design, unsigned anchors) {
    if (child->parentWidget() != this) {
        child->setParent(this);
    }
    placements_.push_back({child, design, anchors});
    Follow(placements_.back());
}

void TAnchoredPanel::FillParent() {
    setFrameStyle(QFrame::NoFrame);
    if (parentWidget() == nullptr) {
        return;
    }
    parentWidget()->installEventFilter(this);
    CoverParent();
}

void TAnchoredPanel::resizeEvent(QResizeEvent* event) {
    FollowAll();
    QFrame::resizeEvent(event);
}

bool TAnchoredPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize) {
        CoverParent();
    }
    return QFrame::eventFilter(watched, event);
}

void TAnchoredPanel::CoverParent() {
    setGeometry(parentWidget()->rect());
    // A visible panel has just followed in its resize event; a hidden one gets that event
    // only when shown, and its children must stand right before that.
    if (!isVisible()) {
        FollowAll();
    }
}

void TAnchoredPanel::FollowAll() {
    for (const Placement& placement : placements_) {
        Follow(placement);
    }
}

void TAnchoredPanel::Follow(const Placement& placement) {
    if (!placement.Child) {
        return;
    }
    const TRect rect =
        AnchoredRect(placement.Design, design_, placement.Anchors, {width(), height()});
    placement.Child->setGeometry(rect.Left, rect.Top, rect.Width, rect.Height);
}
