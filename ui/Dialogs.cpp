#include "ui/Dialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <utility>

#include "ui/Application.h"

namespace {

TDialogHooks& Hooks() {
    static TDialogHooks hooks;
    return hooks;
}

QString Lines(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar('\r'), QChar('\n'));
    return text;
}

}  // namespace

void ShowMessage(const QString& text) {
    if (Hooks().Message) {
        Hooks().Message(Lines(text));
        return;
    }
    if (TerminationRequested()) {
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), Lines(text),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.exec();
}

QString InputBox(const QString& caption, const QString& prompt, const QString& defaultText) {
    if (Hooks().Input) {
        return Hooks().Input(caption, Lines(prompt), defaultText);
    }
    if (TerminationRequested()) {
        return defaultText;
    }
    QInputDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(caption);
    dialog.setLabelText(Lines(prompt));
    dialog.setTextValue(defaultText);
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    return dialog.exec() == QDialog::Accepted ? dialog.textValue() : defaultText;
}

TDialogHooks SetDialogHooks(TDialogHooks hooks) {
    return std::exchange(Hooks(), std::move(hooks));
}
