// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Drives the station's modal windows in GUI tests: each time a window is shown, the next
// scripted step for it runs inside that window's modal loop. A window shown out of turn is
// recorded and closed with cancel, and a watchdog asks the station to quit, so a test never
// hangs. Message boxes are recorded and input boxes answered from a list, through the dialogs
// layer.

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ui/Application.h"
#include "ui/Dialogs.h"
#include "ui/ModalForm.h"

// Types text into a widget key by key, Cyrillic letters included.
inline void TypeText(QWidget* widget, const QString& text) {
    for (const QChar ch : text) {
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

// Runs form modally; during its showing, action runs once. A watchdog closes it with cancel
// after five seconds, so a window that never closes fails the test instead of hanging it.
inline int ShowWith(TModalForm& form, const std::function<void()>& action) {
    QTimer::singleShot(0, &form, action);
    QTimer::singleShot(5000, &form, [&form] { form.reject(); });
    return form.ShowModal();
}

class WindowScript : public QObject {
public:
    using Action = std::function<void(TModalForm&)>;

    WindowScript() {
        qApp->installEventFilter(this);
        PreviousHooks = SetDialogHooks(
            {[this](const QString& text) {
                 Messages.push_back(text.toStdString());
                 if (OnMessage) {
                     OnMessage(text);
                 }
             },
             [this](const QString& caption, const QString& prompt, const QString& defaultText) {
                 Inputs.push_back((caption + "|" + prompt).toStdString());
                 if (Answers.empty()) {
                     return defaultText;  // Cancel
                 }
                 const QString answer = Answers.front();
                 Answers.pop_front();
                 return answer;
             }});
        Watchdog.setSingleShot(true);
        Watchdog.setInterval(20000);
        QObject::connect(&Watchdog, &QTimer::timeout, [this] {
            Errors.push_back("watchdog: the script did not finish");
            RequestTermination();
        });
        Watchdog.start();
    }
    ~WindowScript() override {
        SetDialogHooks(PreviousHooks);
        qApp->removeEventFilter(this);
    }

    // The next window shown must have this object name; action then runs in its loop.
    WindowScript& Then(std::string window, Action action) {
        Steps.emplace_back(std::move(window), std::move(action));
        return *this;
    }

    std::vector<std::string> Shown;     // object names of the windows shown, in order
    std::vector<std::string> Errors;    // script mismatches
    std::vector<std::string> Messages;  // message box texts (UTF-8, "\n" breaks lines)
    std::vector<std::string> Inputs;    // input boxes shown: "caption|prompt"
    std::deque<QString> Answers;        // typed into the input boxes in turn; then Cancel
    std::function<void(const QString&)> OnMessage;  // runs while a message box is open
    bool Done() const { return Steps.empty(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* form = qobject_cast<TModalForm*>(watched);
        if (form == nullptr || event->type() != QEvent::Show || !form->isModal()) {
            return false;
        }
        const std::string name = form->objectName().toStdString();
        Shown.push_back(name);
        QPointer<TModalForm> target(form);
        if (Steps.empty() || Steps.front().first != name) {
            Errors.push_back("unexpected window " + name);
            QTimer::singleShot(0, form, [target] {
                if (target) {
                    target->reject();
                }
            });
            return false;
        }
        Action action = std::move(Steps.front().second);
        Steps.pop_front();
        QTimer::singleShot(0, form, [target, action] {
            if (target) {
                action(*target);
            }
        });
        return false;
    }

private:
    std::deque<std::pair<std::string, Action>> Steps;
    QTimer Watchdog;
    TDialogHooks PreviousHooks;
};
