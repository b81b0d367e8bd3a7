// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The test window: one problem at a time, then points, mark and the result submission. In
// secure mode it covers the whole desktop, above every other window, with its controls on the
// primary monitor, and puts itself back there every two seconds.

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "net/HttpClient.h"
#include "platform/Jpeg.h"
#include "ui/AnchoredPanel.h"
#include "ui/CheckList.h"
#include "ui/ImageBox.h"
#include "ui/KeyboardGrab.h"
#include "ui/ModalForm.h"
#include "ui/RadioGroup.h"
#include "ui/SecureWindow.h"
#include "ui/rules/TestSession.h"

class TfmTezra : public TModalForm {
    Q_OBJECT

public:
    explicit TfmTezra(QWidget* parent = nullptr);
    ~TfmTezra() override;

    QLabel* Label1 = nullptr;
    QSplitter* Splitter1 = nullptr;
    TAnchoredPanel* pnAnswers = nullptr;
    CheckList* cboxAnswers = nullptr;
    QPushButton* bnAnswer = nullptr;
    TRadioGroup* rgAnswers = nullptr;
    QLineEdit* edAnswer = nullptr;
    QFrame* pnDeferControls = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* lbDeferCount = nullptr;
    QPushButton* bnDeferProblem = nullptr;
    QFrame* pnProblem = nullptr;
    QSplitter* Splitter2 = nullptr;
    QScrollArea* sboxImage = nullptr;
    TImage* imgCondition = nullptr;
    QPlainTextEdit* meCondition = nullptr;
    QTimer* Timer1 = nullptr;
    // The one HTTP client of the run: its connection and cookies carry over between students.
    std::unique_ptr<HttpClient> HTTP_Connector;  // NOLINT(readability-identifier-naming)
    // The decoded picture of the problem on screen, reused for every picture.
    TRgbImage JpegImage;

    // Hears the current test once its problems are drawn and after each confirmed answer and
    // each deferral, so that the test in progress can be kept on disk.
    std::function<void(TTezra&)> OnProgress;
    // The next showing goes on with the current test as it stands (restored after a crash)
    // instead of loading a fresh one.
    void ContinueOnNextShowing() { continue_ = true; }

    void FormCreate();
    // Loads the chosen test and shows its first problem; runs as the window is shown.
    void FormShow();
    // Puts the first pending problem on screen.
    void ShowProblem();
    void bnAnswerClick();
    void bnDeferProblemClick();
    // In secure mode: covers the whole desktop again, above every other window.
    void Timer1Timer();

protected:
    void setVisible(bool visible) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CreateAnswerPanel();
    void CreateProblemPanel();
    // Frameless, on top of everything and over the whole desktop in secure mode; an ordinary
    // dialog of the designed size otherwise.
    void ApplyWindowMode();
    void CoverDesktop();
    // In secure mode, after anything took the window away: on top, focused (or its open box),
    // holding the keyboard, and Timer1 running while a problem waits for its answer.
    void BringBack();
    // Enter answers the problem on screen, whatever control has the focus (on the defer
    // button it defers).
    bool PressDefaultButton(QKeyEvent* event);
    void SetContentMargins(const QMargins& margins);
    void ShowPicture(const std::vector<std::uint8_t>& bytes);
    // The answer panel's height and the picture box's width; the condition takes the rest.
    void SetAnswerPanelHeight(int height);
    void SetPictureBoxWidth(int width);
    void ShowAnswerControls(const TProblemView& view);
    void FocusAnswerControl(std::uint8_t mode);
    TAnswerInput CollectInput() const;
    // The deferrals left, on screen and in the name screen readers announce.
    void ShowDeferCount(const QString& count);
    void ShowForgottenAnswer();
    void FinishTest();
    void SubmitResult(float points, int mark);
    void EndUnloadableTest();

    void ReportProgress();

    TestSession session_;
    bool continue_ = false;
    // In secure mode the window holds the keyboard while a test is being answered.
    KeyboardGrab* keyboardGrab_ = nullptr;
    // In secure mode the window comes back at once from whatever hides it.
    SecureWindow* secureWindow_ = nullptr;
    // Timer1 is paused while a box of the window is open.
    bool timerPaused_ = false;
};

extern std::unique_ptr<TfmTezra> fmTezra;

// The result server tried first (cp1251): the compiled-in default until the command line or a
// submission changes it.
extern std::string ServerAddress;
