#pragma once
// The small stay-on-top box that shows each attempt to reach a result server.

#include <QLabel>
#include <QPlainTextEdit>
#include <memory>

#include "ui/ModalForm.h"

class TfmInfoBox : public TModalForm {
    Q_OBJECT

public:
    explicit TfmInfoBox(QWidget* parent = nullptr);

    QLabel* lbActivityName;
    QPlainTextEdit* meActivityMessage;
};

extern std::unique_ptr<TfmInfoBox> fmInfoBox;
