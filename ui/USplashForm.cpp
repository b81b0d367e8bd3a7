#include "ui/USplashForm.h"

#include <QMouseEvent>
#include <QVBoxLayout>

std::unique_ptr<TfmSplash> fmSplash;

TfmSplash::TfmSplash(QWidget* parent) : TModalForm(parent), lbWelcome(new QLabel(this)) {
    setObjectName("fmSplash");
    setWindowTitle(QStringLiteral("Tezra Net"));
    lbWelcome->setObjectName("lbWelcome");
    lbWelcome->setText(QStringLiteral("Tezra Net\n\nЩёлкните, чтобы начать"));
    lbWelcome->setAlignment(Qt::AlignCenter);
    QFont font("Arial");
    font.setPixelSize(28);
    lbWelcome->setFont(font);
    lbWelcome->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lbWelcome);
    resize(640, 480);
}

void TfmSplash::mousePressEvent(QMouseEvent* event) {
    event->accept();
    SetModalResult(mrOk);
}
