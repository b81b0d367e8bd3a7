// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Message boxes and input boxes. Tests replace them with a scripted answerer.

#include <QString>
#include <functional>

class QWidget;

// A modal message box with one OK button.
void ShowMessage(const QString& text);
// A modal input box; returns the typed text on OK and the default text on Cancel.
QString InputBox(const QString& caption, const QString& prompt, const QString& defaultText);

struct TDialogHooks {
    std::function<void(const QString& text)> Message;
    std::function<QString(const QString& caption, const QString& prompt,
                          const QString& defaultText)>
        Input;
};
// Routes the dialogs to the hooks (an empty hook keeps the real dialog); returns the previous
// hooks.
TDialogHooks SetDialogHooks(TDialogHooks hooks);
