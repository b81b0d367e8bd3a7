// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The login window: class, surname and, when asked, a password.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <memory>

#include "ui/ModalForm.h"

class TfmLogin : public TModalForm {
    Q_OBJECT

public:
    explicit TfmLogin(QWidget* parent = nullptr);

    QLabel* lbClass;
    QComboBox* cbxClass;
    QLabel* lbFamily;
    QLineEdit* edSurName;
    QLabel* lbPassword;
    QLineEdit* edPassword;
    QPushButton* bnOK;
    QTimer* Timer1;

    // The opacity pulse: 127 rising to 255 and back over 64 ticks of 100 ms.
    void Timer1Timer();
    unsigned char PulseCounter() const { return Pulse; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormActivate();

    unsigned char Pulse = 0;
};

extern std::unique_ptr<TfmLogin> fmLogin;
