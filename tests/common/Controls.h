// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Finds a window's control by its object name, as a test reaches the controls that a window
// keeps to itself. A control that is not there, or not of the kind asked for, ends the test
// program with the name, instead of a null pointer that crashes it somewhere later.

#include <QObject>
#include <QString>
#include <QWidget>
#include <QtGlobal>

template <class Kind = QWidget>
Kind* Control(const QObject& window, const char* name) {
    Kind* control = window.findChild<Kind*>(QString::fromLatin1(name));
    if (control == nullptr) {
        qFatal("%s has no control %s of the kind asked for", qPrintable(window.objectName()),
               name);
    }
    return control;
}
