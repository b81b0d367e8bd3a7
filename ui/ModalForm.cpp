// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ModalForm.h"

#include "ui/Application.h"

TModalForm::TModalForm(QWidget* parent) : QDialog(parent) {
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

int TModalForm::ShowModal() {
    if (TerminationRequested()) {
        return mrCancel;
    }
    // The X11 window role names the window, so that a desktop session or a test driving the
    // station from outside can tell its windows apart.
    setWindowRole(objectName());
    return exec() == QDialog::Accepted ? mrOk : mrCancel;
}

void TModalForm::SetModalResult(int result) {
    if (result == mrOk) {
        accept();
    } else {
        reject();
    }
}

void TModalForm::SetClientSize(int width, int height) {
    resize(width, height);
}
