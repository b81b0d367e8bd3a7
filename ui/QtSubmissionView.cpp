// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/QtSubmissionView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTextCursor>
#include <QWindow>
#include <chrono>
#include <thread>

#include "ui/Dialogs.h"
#include "ui/QtText.h"
#include "ui/UFInfoBox.h"

namespace {

// How long a box just shown may take to appear on the display before it is painted anyway.
constexpr int kExposeWaitMs = 500;

bool Exposed(const QWidget& widget) {
    const QWindow* window = widget.windowHandle();
    return window != nullptr && window->isExposed();
}

// Lets the window system put the box on the display. Input waits until the walk is over, so
// that no click reaches the test window in the meantime.
void WaitUntilExposed(const QWidget& widget) {
    QElapsedTimer waited;
    waited.start();
    while (widget.isVisible() && !Exposed(widget) && waited.elapsed() < kExposeWaitMs) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

}  // namespace

QtSubmissionView::QtSubmissionView(TfmInfoBox* box) : box_(box) {}

void QtSubmissionView::ClearActivity() {
    if (box_ != nullptr) {
        box_->meActivityMessage->clear();
    }
}

void QtSubmissionView::ShowActivity(const std::string& activityName) {
    if (box_ == nullptr) {
        return;
    }
    box_->lbActivityName->setText(ToQString(activityName));
    // The box belongs to the window the student works in (the test window), so that the window
    // system keeps it above that window even when the window stays on top of all others.
    QWidget* owner = QApplication::activeModalWidget();
    if (owner != nullptr && owner != box_ && owner->windowHandle() != nullptr) {
        box_->winId();
        box_->windowHandle()->setTransientParent(owner->windowHandle());
    }
    box_->show();
    box_->raise();
    box_->activateWindow();
    RepaintNow();
}

void QtSubmissionView::AppendActivityLine(const std::string& line) {
    if (box_ != nullptr) {
        box_->meActivityMessage->appendPlainText(ToQString(line));
        RepaintNow();
    }
}

void QtSubmissionView::FinishActivityLine(const std::string& ending) {
    if (box_ == nullptr) {
        return;
    }
    QTextCursor cursor(box_->meActivityMessage->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(ToQString(ending));
    RepaintNow();
}

void QtSubmissionView::HideActivity() {
    if (box_ != nullptr) {
        box_->hide();
        QGuiApplication::sync();
    }
}

void QtSubmissionView::Sleep(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void QtSubmissionView::ShowMessage(const std::string& text) {
    ::ShowMessage(ToQString(text));
}

std::string QtSubmissionView::InputBox(const std::string& caption, const std::string& prompt,
                                       const std::string& defaultText) {
    return FromQString(::InputBox(ToQString(caption), ToQString(prompt), ToQString(defaultText)));
}

void QtSubmissionView::RepaintNow() {
    WaitUntilExposed(*box_);
    box_->repaint();
    QGuiApplication::sync();
}
