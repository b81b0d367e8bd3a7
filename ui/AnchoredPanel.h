// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A panel whose children keep the distances to the sides they are anchored to, as the panel
// is resized (a lowered bevel around it). A panel that fills its parent is the whole client
// area of a window: without a bevel, always the window's size.

#include <QFrame>
#include <QPointer>
#include <vector>

#include "ui/rules/Anchors.h"

class TAnchoredPanel : public QFrame {
    Q_OBJECT

public:
    // The panel as designed: the size its children's design places refer to.
    TAnchoredPanel(TSize design, QWidget* parent = nullptr);

    // Makes child a child of the panel, placed at design and anchored to the sides anchors.
    void Place(QWidget* child, TRect design, unsigned anchors);
    // Drops the bevel and covers the parent from now on, following each of its resizes, also
    // those of a hidden parent, whose children get their own resize only when shown.
    void FillParent();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Placement {
        QPointer<QWidget> Child;
        TRect Design;
        unsigned Anchors;
    };
    void Follow(const Placement& placement);
    void FollowAll();
    void CoverParent();

    TSize design_;
    std::vector<Placement> placements_;
};
