// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The small stay-on-top box that shows each attempt to reach a result server. The result
// submission drives it; it has no behaviour of its own.

#include <QLabel>
#include <QPlainTextEdit>
#include <memory>

#include "ui/ModalForm.h"

class TfmInfoBox : public TModalForm {
    Q_OBJECT

public:
    explicit TfmInfoBox(QWidget* parent = nullptr);

    QLabel* Label1;
    QLabel* Label2;
    QLabel* lbActivityName;
    QPlainTextEdit* meActivityMessage;
};

extern std::unique_ptr<TfmInfoBox> fmInfoBox;
