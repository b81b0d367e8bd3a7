// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The login window: class, surname and, when asked, a password.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/ModalForm.h"

class TAnchoredPanel;

// What the student entered, in cp1251.
struct LoginEntry {
    std::string Group;
    std::string User;
    std::string Password;
};

class TfmLogin : public TModalForm {
    Q_OBJECT

public:
    explicit TfmLogin(QWidget* parent = nullptr);

    // Readies the window for the next student: an empty password field, shown (with its
    // label) only when needPassword, the client height that goes with it, and, when groups is
    // given, its names (cp1251) as the class list with the first one chosen. Without groups
    // the class list stays as it is.
    void Prepare(bool needPassword, const std::optional<std::vector<std::string>>& groups);
    // What the fields hold now.
    LoginEntry Entered() const;

    // The opacity pulse: 127 rising to 255 and back over 64 ticks of 100 ms.
    void Timer1Timer();
    unsigned char PulseCounter() const { return pulse_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormActivate();
    void PlaceControls();

    TAnchoredPanel* panel_;
    QLabel* lbClass;
    QComboBox* cbxClass;
    QLabel* lbFamily;
    QLineEdit* edSurName;
    QLabel* lbPassword;
    QLineEdit* edPassword;
    QPushButton* bnOK;
    QTimer* Timer1;
    unsigned char pulse_ = 0;
};

extern std::unique_ptr<TfmLogin> fmLogin;
