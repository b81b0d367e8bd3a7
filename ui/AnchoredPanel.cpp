// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/AnchoredPanel.h"

#include <QResizeEvent>

TAnchoredPanel::TAnchoredPanel(TSize design, QWidget* parent) : QFrame(parent), design_(design) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    resize(design.Width, design.Height);
}

void TAnchoredPanel::Place(QWidget* child, TRect design, unsigned anchors) {
    child->setParent(this);
    placements_.push_back({child, design, anchors});
    Follow(placements_.back());
}

void TAnchoredPanel::resizeEvent(QResizeEvent* event) {
    for (const Placement& placement : placements_) {
        Follow(placement);
    }
    QFrame::resizeEvent(event);
}

void TAnchoredPanel::Follow(const Placement& placement) {
    if (!placement.Child) {
        return;
    }
    const TRect rect =
        AnchoredRect(placement.Design, design_, placement.Anchors, {width(), height()});
    placement.Child->setGeometry(rect.Left, rect.Top, rect.Width, rect.Height);
}
