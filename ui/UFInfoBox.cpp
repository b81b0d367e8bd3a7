#include "ui/UFInfoBox.h"

std::unique_ptr<TfmInfoBox> fmInfoBox;

TfmInfoBox::TfmInfoBox(QWidget* parent)
    : TModalForm(parent),
      lbActivityName(new QLabel(this)),
      meActivityMessage(new QPlainTextEdit(this)) {
    setObjectName("fmInfoBox");
    setWindowTitle(QStringLiteral("Activity Information:"));
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint);
    lbActivityName->setObjectName("lbActivityName");
    meActivityMessage->setObjectName("meActivityMessage");
    auto* activity = new QLabel(QStringLiteral("Activity:"), this);
    auto* status = new QLabel(QStringLiteral("Status:"), this);
    activity->move(8, 8);
    status->move(8, 40);
    lbActivityName->setGeometry(80, 8, 417, 20);
    lbActivityName->setText(QStringLiteral("(Activity name)"));
    meActivityMessage->setGeometry(72, 40, 425, 65);
    meActivityMessage->setReadOnly(true);
    meActivityMessage->setFrameShape(QFrame::NoFrame);
    SetClientSize(503, 110);
}
