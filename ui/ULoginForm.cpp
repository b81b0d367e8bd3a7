// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ULoginForm.h"

#include <QIcon>
#include <QProxyStyle>
#include <QValidator>

#include "ui/AnchoredPanel.h"
#include "ui/ButtonGlyphs.h"
#include "ui/QtText.h"
#include "ui/WindowOpacity.h"
#include "ui/rules/LoginLayout.h"
#include "ui/rules/LoginPulse.h"

std::unique_ptr<TfmLogin> fmLogin;

namespace {

// Draws each typed password character as a smiling face.
class SmileyPasswordStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter) {
            return 0x263A;
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// Keeps an edit field to one line, however the text arrives (typed, pasted, set): line breaks
// are dropped and other control characters become blanks, so no surname can carry a line of
// its own into the result log.
class SingleLineValidator : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int& pos) const override {
        QString clean;
        clean.reserve(input.size());
        int cursor = pos;
        for (qsizetype i = 0; i < input.size(); ++i) {
            const char16_t c = input[i].unicode();
            if (c == u'\r' || c == u'\n' || c == 0x85 || c == 0x2028 || c == 0x2029) {
                if (i < pos) {
                    --cursor;
                }
                continue;
            }
            clean += c < 0x20 || c == 0x7F ? QChar(u' ') : input[i];
        }
        input = clean;
        pos = cursor;
        return Acceptable;
    }
};

constexpr const char* kDefaultClasses[] = {
    "(выбери из списка)",
    "мы не местные",
    "я тут проездом",
    "11Е",
    "11Ж",
    "10В",
    "11В",
    "10А",
    "11А",
    "10Б",
    "11Б",
    "10Г",
    "11Г",
    "10Л",
    "11Л",
    "10М",
    "11М",
};

}  // namespace

TfmLogin::TfmLogin(QWidget* parent)
    : TModalForm(parent),
      panel_(new TAnchoredPanel({kLoginDesignWidth, kLoginDesignHeight}, this)),
      lbClass(new QLabel(panel_)),
      cbxClass(new QComboBox(panel_)),
      lbFamily(new QLabel(panel_)),
      edSurName(new QLineEdit(panel_)),
      lbPassword(new QLabel(panel_)),
      edPassword(new QLineEdit(panel_)),
      bnOK(new QPushButton(QStringLiteral("OK"), panel_)),
      Timer1(new QTimer(this)) {
    setObjectName("fmLogin");
    QFont font("Arial");
    font.setPixelSize(16);
    setFont(font);
    lbClass->setObjectName("lbClass");
    cbxClass->setObjectName("cbxClass");
    lbFamily->setObjectName("lbFamily");
    edSurName->setObjectName("edSurName");
    lbPassword->setObjectName("lbPassword");
    edPassword->setObjectName("edPassword");
    bnOK->setObjectName("bnOK");
    Timer1->setObjectName("Timer1");
    panel_->setObjectName("pnLogin");
    PlaceControls();
    for (const char* name : kDefaultClasses) {
        cbxClass->addItem(QString::fromUtf8(name));
    }
    cbxClass->setCurrentIndex(0);
    edSurName->setValidator(new SingleLineValidator(edSurName));
    edPassword->setValidator(new SingleLineValidator(edPassword));
    edPassword->setEchoMode(QLineEdit::Password);
    auto* style = new SmileyPasswordStyle;
    style->setParent(edPassword);
    edPassword->setStyle(style);
    // The standard OK button: its caption with a check mark.
    bnOK->setIcon(QIcon(DrawCheckMarkGlyph(16)));
    bnOK->setIconSize(QSize(16, 16));
    bnOK->setDefault(true);
    bnOK->setAutoDefault(true);
    connect(bnOK, &QPushButton::clicked, this, [this] { SetModalResult(mrOk); });
    setTabOrder(edSurName, bnOK);
    setTabOrder(bnOK, cbxClass);
    setTabOrder(cbxClass, edPassword);

    // Each label names its input for screen readers (on Linux a combo box is announced by its
    // current item, so the label is what tells it apart).
    lbClass->setBuddy(cbxClass);
    lbFamily->setBuddy(edSurName);
    lbPassword->setBuddy(edPassword);
    cbxClass->setAccessibleName(QStringLiteral("Класс"));
    edSurName->setAccessibleName(QStringLiteral("Фамилия"));
    edPassword->setAccessibleName(QStringLiteral("Пароль"));
    bnOK->setAccessibleName(bnOK->text());

    FormActivate();
    SetClientSize(kLoginDesignWidth, kLoginDesignHeight);
    panel_->FillParent();
    SetWindowOpacity255(*this, LoginPulseOpacity(0));
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &TfmLogin::Timer1Timer);
    Timer1->start();
}

void TfmLogin::PlaceControls() {
    // The labels keep their place; the fields stretch with the width and the OK button keeps
    // its distance to the bottom.
    lbClass->move(12, 12);
    lbFamily->move(12, 92);
    lbPassword->move(16, 172);
    constexpr unsigned kStretched = akLeft | akTop | akRight;
    panel_->Place(cbxClass, {28, 44, 297, 26}, kStretched);
    panel_->Place(edSurName, {28, kSurnameRowTop, 297, 26}, kStretched);
    panel_->Place(edPassword, {28, kPasswordRowTop, 297, 25}, kStretched);
    panel_->Place(bnOK, {108, kLoginDesignHeight - 48, 121, 33}, akLeft | akBottom);
}

void TfmLogin::Prepare(bool needPassword, const std::optional<std::vector<std::string>>& groups) {
    edPassword->clear();
    edPassword->setVisible(needPassword);
    lbPassword->setVisible(needPassword);
    SetClientSize(width(), LoginClientHeight(needPassword));
    if (groups) {
        cbxClass->clear();
        for (const auto& name : *groups) {
            cbxClass->addItem(ToQString(name));
        }
        cbxClass->setCurrentIndex(0);
    }
}

LoginEntry TfmLogin::Entered() const {
    return {FromQString(cbxClass->currentText()), FromQString(edSurName->text()),
            FromQString(edPassword->text())};
}

void TfmLogin::FormActivate() {
    lbClass->setText(QStringLiteral("Класс:"));
    lbFamily->setText(QStringLiteral("Фамилия:"));
    lbPassword->setText(QStringLiteral("ПОРОЛЬ:"));
    for (QLabel* label : {lbClass, lbFamily, lbPassword}) {
        label->adjustSize();
    }
    setWindowTitle(QStringLiteral("Авторизация пользователя"));
}

void TfmLogin::Timer1Timer() {
    SetWindowOpacity255(*this, LoginPulseOpacity(pulse_));
    pulse_ = NextLoginPulse(pulse_);
}

void TfmLogin::showEvent(QShowEvent* event) {
    FormActivate();
    TModalForm::showEvent(event);
}
