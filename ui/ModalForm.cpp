// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ModalForm.h"

#include <QApplication>
#include <QKeyEvent>
#include <QShowEvent>

#include "ui/Application.h"
#include "ui/Monitors.h"

namespace {

// Alt+Space is the window menu's key on every desktop; where no window manager takes it (or
// the secure window holds the keyboard), it would press the focused button. It does nothing
// in the station's windows.
class AltSpaceFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type == QEvent::KeyPress || type == QEvent::KeyRelease ||
            type == QEvent::ShortcutOverride) {
            const auto* key = static_cast<const QKeyEvent*>(event);
            if (key->key() == Qt::Key_Space && (key->modifiers() & Qt::AltModifier)) {
                event->accept();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

void FilterAltSpaceOnce() {
    static bool installed = false;
    if (installed || QCoreApplication::instance() == nullptr) {
        return;
    }
    installed = true;
    QCoreApplication::instance()->installEventFilter(
        new AltSpaceFilter(QCoreApplication::instance()));
}

}  // namespace

TModalForm::TModalForm(QWidget* parent) : QDialog(parent) {
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    FilterAltSpaceOnce();
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

void TModalForm::SetCentredOnPrimary(bool centred, bool firstShowingOnly) {
    centred_ = centred;
    firstShowingOnly_ = firstShowingOnly;
}

void TModalForm::showEvent(QShowEvent* event) {
    // Before the window is mapped, with its size for this showing: on a desktop of several
    // monitors it opens on the primary one, not across the gap between two.
    if (!event->spontaneous() && isWindow() && centred_ && !(firstShowingOnly_ && shownBefore_)) {
        CentreOnPrimary(*this);
    }
    if (!event->spontaneous()) {
        shownBefore_ = true;
    }
    QDialog::showEvent(event);
}
