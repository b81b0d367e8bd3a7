// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Application.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QWidget>
#include <vector>

namespace {

bool terminationRequested = false;

}  // namespace

void RequestTermination() {
    terminationRequested = true;
    // Message boxes and input boxes are dialogs too; close every open one, innermost first.
    std::vector<QPointer<QDialog>> open;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible()) {
            open.emplace_back(dialog);
        }
    }
    for (auto it = open.rbegin(); it != open.rend(); ++it) {
        if (*it) {
            (*it)->reject();
        }
    }
}

bool TerminationRequested() {
    return terminationRequested;
}

void ClearTerminationRequest() {
    terminationRequested = false;
}
