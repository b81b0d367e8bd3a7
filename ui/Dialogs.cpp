// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Dialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QShowEvent>
#include <QTimer>
#include <utility>

#include "platform/TextUtils.h"
#include "settings/UCommon.h"
#include "ui/Application.h"
#include "ui/Monitors.h"

namespace {

TDialogHooks& Hooks() {
    static TDialogHooks hooks;
    return hooks;
}

QString Lines(const QString& text) {
    return QString::fromStdString(LineBreaksToLf(text.toStdString()));
}

// The box belongs to the window the student works in: the open modal window (the test window
// in secure mode among them) or else the active one. The window system then keeps the box
// above it, even above a stay-on-top window.
QWidget* DialogParent() {
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    return QApplication::activeWindow();
}

// How often an open box in secure mode looks whether it still has the focus.
constexpr int kKeepFocusMs = 300;

// Stays above every other window and, once shown, takes the keyboard, so that a student can
// always answer the box that has to be closed. In secure mode it takes the focus back from
// any other window while it is open.
void PutInFront(QDialog& dialog) {
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    QTimer::singleShot(0, &dialog, [&dialog] {
        dialog.raise();
        dialog.activateWindow();
    });
    if (Settings == nullptr || !Settings->Secure) {
        return;
    }
    auto* keeper = new QTimer(&dialog);
    keeper->setInterval(kKeepFocusMs);
    QObject::connect(keeper, &QTimer::timeout, &dialog, [&dialog] {
        if (dialog.isVisible() && QApplication::activeModalWidget() == &dialog &&
            !dialog.isActiveWindow()) {
            dialog.raise();
            dialog.activateWindow();
        }
    });
    keeper->start();
}

// A box that opens centred on the primary monitor, not across the gap between two monitors
// under a window that covers them all.
template <typename Box>
class CentredBox : public Box {
public:
    using Box::Box;

protected:
    void showEvent(QShowEvent* event) override {
        Box::showEvent(event);  // the box takes its size here
        if (!event->spontaneous()) {
            CentreOnPrimary(*this);
        }
    }
};

}  // namespace

void ShowMessage(const QString& text) {
    if (Hooks().Message) {
        Hooks().Message(Lines(text));
        return;
    }
    if (TerminationRequested()) {
        return;
    }
    CentredBox<QMessageBox> box(QMessageBox::NoIcon, QStringLiteral("Tezra Net"), Lines(text),
                                QMessageBox::Ok, DialogParent());
    PutInFront(box);
    box.exec();
}

QString InputBox(const QString& caption, const QString& prompt, const QString& defaultText) {
    if (Hooks().Input) {
        return Hooks().Input(caption, Lines(prompt), defaultText);
    }
    if (TerminationRequested()) {
        return defaultText;
    }
    CentredBox<QInputDialog> dialog(DialogParent());
    dialog.setWindowTitle(caption);
    dialog.setLabelText(Lines(prompt));
    dialog.setTextValue(defaultText);
    PutInFront(dialog);
    return dialog.exec() == QDialog::Accepted ? dialog.textValue() : defaultText;
}

TDialogHooks SetDialogHooks(TDialogHooks hooks) {
    return std::exchange(Hooks(), std::move(hooks));
}
