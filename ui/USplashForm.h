#pragma once
// The splash window between students; a click lets the next student in.

#include <QLabel>
#include <memory>

#include "ui/ModalForm.h"

class TfmSplash : public TModalForm {
    Q_OBJECT

public:
    explicit TfmSplash(QWidget* parent = nullptr);

    QLabel* lbWelcome;

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

extern std::unique_ptr<TfmSplash> fmSplash;
