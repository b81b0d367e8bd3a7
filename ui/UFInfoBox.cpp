// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/UFInfoBox.h"

std::unique_ptr<TfmInfoBox> fmInfoBox;

namespace {

QFont CaptionFont() {
    QFont font("MS Sans Serif");
    font.setPixelSize(16);
    font.setBold(true);
    return font;
}

}  // namespace

TfmInfoBox::TfmInfoBox(QWidget* parent)
    : TModalForm(parent),
      Label1(new QLabel(QStringLiteral("Activity:"), this)),
      Label2(new QLabel(QStringLiteral("Status:"), this)),
      lbActivityName(new QLabel(QStringLiteral("(Activity name)"), this)),
      meActivityMessage(new QPlainTextEdit(this)) {
    setObjectName("fmInfoBox");
    // The box is shown without a modal loop, so it names its X11 window role itself.
    setWindowRole(objectName());
    setWindowTitle(QStringLiteral("Activity Information:"));
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint);
    QFont font("Arial");
    font.setPixelSize(16);
    setFont(font);
    Label1->setObjectName("Label1");
    Label2->setObjectName("Label2");
    lbActivityName->setObjectName("lbActivityName");
    meActivityMessage->setObjectName("meActivityMessage");
    meActivityMessage->setAccessibleName(QStringLiteral("Сообщения"));

    for (QLabel* label : {Label1, Label2}) {
        label->setFont(CaptionFont());
        QPalette blue = label->palette();
        blue.setColor(QPalette::WindowText, Qt::blue);
        label->setPalette(blue);
        label->adjustSize();
    }
    Label1->move(8, 8);
    Label2->move(8, 40);
    lbActivityName->setGeometry(80, 8, 417, 20);
    meActivityMessage->setGeometry(72, 40, 425, 65);
    meActivityMessage->setReadOnly(true);
    meActivityMessage->setFrameShape(QFrame::NoFrame);
    meActivityMessage->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette flat = meActivityMessage->palette();
    flat.setColor(QPalette::Base, flat.color(QPalette::Window));
    meActivityMessage->setPalette(flat);
    meActivityMessage->setPlainText(QStringLiteral("(Activity Message)"));
    SetClientSize(503, 110);
    setFixedSize(503, 110);
}
