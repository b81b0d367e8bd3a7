// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ULoginForm.h"

#include <QIcon>
#include <QProxyStyle>
#include <QResizeEvent>
#include <QValidator>

#include "ui/ButtonGlyphs.h"
#include "ui/WindowOpacity.h"
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

const char* const kDefaultClasses[] = {
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
      lbClass(new QLabel(this)),
      cbxClass(new QComboBox(this)),
      lbFamily(new QLabel(this)),
      edSurName(new QLineEdit(this)),
      lbPassword(new QLabel(this)),
      edPassword(new QLineEdit(this)),
      bnOK(new QPushButton(QStringLiteral("OK"), this)),
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

    lbClass->move(12, 12);
    cbxClass->setGeometry(28, 44, 297, 26);
    lbFamily->move(12, 92);
    edSurName->setGeometry(28, 124, 297, 26);
    lbPassword->move(16, 172);
    edPassword->setGeometry(28, 200, 297, 25);
    bnOK->setGeometry(108, 252, 121, 33);
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
    SetClientSize(357, 300);
    SetWindowOpacity255(*this, LoginPulseOpacity(0));
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &TfmLogin::Timer1Timer);
    Timer1->start();
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
    SetWindowOpacity255(*this, LoginPulseOpacity(Pulse));
    Pulse = NextLoginPulse(Pulse);
}

void TfmLogin::showEvent(QShowEvent* event) {
    FormActivate();
    TModalForm::showEvent(event);
}

void TfmLogin::resizeEvent(QResizeEvent* event) {
    // The inputs stretch with the width; the OK button keeps its distance to the bottom.
    const int width = event->size().width();
    for (QWidget* stretched : {static_cast<QWidget*>(cbxClass), static_cast<QWidget*>(edSurName),
                               static_cast<QWidget*>(edPassword)}) {
        stretched->resize(width - 60, stretched->height());
    }
    bnOK->move(bnOK->x(), event->size().height() - 48);
    TModalForm::resizeEvent(event);
}
