// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/UTezraForm.h"

#include <QApplication>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "model/UTypes.h"
#include "net/ResultSubmission.h"
#include "settings/UCommon.h"
#include "ui/AccessibleRoles.h"
#include "ui/ButtonGlyphs.h"
#include "ui/Dialogs.h"
#include "ui/Monitors.h"
#include "ui/QtSubmissionView.h"
#include "ui/QtText.h"
#include "ui/UFInfoBox.h"
#include "ui/rules/TestWindowRules.h"

#ifndef TEZRA_DEFAULT_SERVER
#error "TEZRA_DEFAULT_SERVER names the compiled-in result server; CMake defines it"
#endif

std::unique_ptr<TfmTezra> fmTezra;
std::string ServerAddress = TEZRA_DEFAULT_SERVER;

namespace {

constexpr int kClientWidth = 846;
constexpr int kClientHeight = 420;
constexpr int kAnswerPanelDesignHeight = 208;
constexpr int kSplitterWidth = 7;
constexpr int kCheckListItemHeight = 18;
constexpr int kSecureTimerMs = 2000;

QStringList NumberedItems(int count) {
    QStringList items;
    for (int i = 1; i <= count; ++i) {
        items << QString::number(i);
    }
    return items;
}

QString ConditionText(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += i == 0 ? "" : "\n";
        text += lines[i];
    }
    return ToQString(text);
}

int FontPixelHeight(const QWidget& widget) {
    const int pixels = widget.font().pixelSize();
    return pixels > 0 ? pixels : QFontInfo(widget.font()).pixelSize();
}

// Screen readers name a scroll bar by what it scrolls.
void NameScrollBars(QAbstractScrollArea& area, const QString& what) {
    area.horizontalScrollBar()->setAccessibleName(QStringLiteral("Прокрутка ") + what +
                                                  QStringLiteral(" по горизонтали"));
    area.verticalScrollBar()->setAccessibleName(QStringLiteral("Прокрутка ") + what);
}

// Gives the last of the splitter's two panes the wanted extent; the first takes the rest.
void SetLastPaneExtent(QSplitter& splitter, int extent) {
    const QList<int> sizes = splitter.sizes();
    const int total = sizes.value(0) + sizes.value(1);
    splitter.setSizes({std::max(0, total - extent), extent});
}

}  // namespace

TfmTezra::TfmTezra(QWidget* parent) : TModalForm(parent) {
    InstallAccessibleRoles();
    setObjectName("fmTezra");
    setWindowTitle(QStringLiteral("Tezra Net"));
    QFont font("Arial");
    font.setPixelSize(16);
    setFont(font);

    Label1 = new QLabel(QStringLiteral("Задача M из N"), this);
    Label1->setObjectName("Label1");
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setFixedHeight(25);
    Splitter1 = new QSplitter(Qt::Vertical, this);
    Splitter1->setObjectName("Splitter1");
    Splitter1->setHandleWidth(kSplitterWidth);
    Splitter1->setChildrenCollapsible(false);
    CreateProblemPanel();
    CreateAnswerPanel();
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    Splitter1->handle(1)->setAccessibleName(QStringLiteral("Граница условия и ответов"));
    Label2->adjustSize();  // now that it has the window's font

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(kSecureTimerMs);
    connect(Timer1, &QTimer::timeout, this, &TfmTezra::Timer1Timer);
    keyboardGrab_ = new KeyboardGrab(this);
    secureWindow_ = new SecureWindow(this, [this] { BringBack(); });
    HTTP_Connector = std::make_unique<HttpClient>();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Label1);
    layout->addWidget(Splitter1);
    SetClientSize(kClientWidth, kClientHeight);
    Splitter1->setSizes({kClientHeight - 25 - kSplitterWidth - kAnswerPanelDesignHeight,
                         kAnswerPanelDesignHeight});
    FormCreate();
}

TfmTezra::~TfmTezra() = default;

void TfmTezra::CreateProblemPanel() {
    pnProblem = new QFrame;
    pnProblem->setObjectName("pnProblem");
    pnProblem->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Splitter2 = new QSplitter(Qt::Horizontal, pnProblem);
    Splitter2->setObjectName("Splitter2");
    Splitter2->setHandleWidth(kSplitterWidth);
    Splitter2->setChildrenCollapsible(false);

    meCondition = new QPlainTextEdit;
    meCondition->setObjectName("meCondition");
    meCondition->setAccessibleName(QStringLiteral("Условие задачи"));
    meCondition->setReadOnly(true);
    meCondition->setLineWrapMode(QPlainTextEdit::NoWrap);
    meCondition->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    meCondition->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont mono("Lucida Console");
    mono.setPixelSize(16);
    mono.setStyleHint(QFont::TypeWriter);
    mono.setFixedPitch(true);
    meCondition->setFont(mono);
    meCondition->setPlainText(QStringLiteral("(problem condition)\n(условие задачи)"));
    NameScrollBars(*meCondition, QStringLiteral("условия"));

    sboxImage = new QScrollArea;
    sboxImage->setObjectName("sboxImage");
    sboxImage->setWidgetResizable(false);
    sboxImage->setFrameShape(QFrame::NoFrame);
    sboxImage->setMinimumWidth(kNoPictureBoxWidth);
    NameScrollBars(*sboxImage, QStringLiteral("рисунка"));
    imgCondition = new TImage;
    imgCondition->setObjectName("imgCondition");
    imgCondition->setAccessibleName(QStringLiteral("Рисунок к задаче"));
    imgCondition->resize(153, 137);
    sboxImage->setWidget(imgCondition);

    Splitter2->addWidget(meCondition);
    Splitter2->addWidget(sboxImage);
    Splitter2->setStretchFactor(0, 1);
    Splitter2->setStretchFactor(1, 0);
    Splitter2->handle(1)->setAccessibleName(QStringLiteral("Граница условия и рисунка"));
    auto* layout = new QHBoxLayout(pnProblem);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(Splitter2);
    Splitter2->setSizes({kClientWidth - 2 - kSplitterWidth - 421, 421});
    Splitter1->addWidget(pnProblem);
}

void TfmTezra::CreateAnswerPanel() {
    pnAnswers = new TAnchoredPanel({kClientWidth, kAnswerPanelDesignHeight});
    pnAnswers->setObjectName("pnAnswers");
    pnAnswers->setMinimumHeight(kMinAnswerPanelHeight);

    cboxAnswers = new CheckList(kCheckListItemHeight);
    cboxAnswers->setObjectName("cboxAnswers");
    cboxAnswers->setAccessibleName(QStringLiteral("Варианты ответа"));
    QPalette face = cboxAnswers->palette();
    face.setColor(QPalette::Base, face.color(QPalette::Button));
    cboxAnswers->setPalette(face);
    cboxAnswers->SetItems(NumberedItems(8));
    NameScrollBars(*cboxAnswers, QStringLiteral("вариантов"));
    pnAnswers->Place(cboxAnswers, {0, 1, 697, 206}, akAll);

    bnAnswer = new QPushButton(QStringLiteral("Я ответил"));
    bnAnswer->setObjectName("bnAnswer");
    bnAnswer->setAccessibleName(bnAnswer->text());
    bnAnswer->setIcon(AnswerGlyph());
    bnAnswer->setIconSize({18, 18});
    bnAnswer->setAutoDefault(false);
    bnAnswer->setDefault(true);
    connect(bnAnswer, &QPushButton::clicked, this, &TfmTezra::bnAnswerClick);
    pnAnswers->Place(bnAnswer, {706, 174, 126, 26}, akRight | akBottom);

    rgAnswers = new TRadioGroup;
    rgAnswers->setObjectName("rgAnswers");
    rgAnswers->setAccessibleName(QStringLiteral("Варианты ответа"));
    rgAnswers->SetItems(NumberedItems(7));
    pnAnswers->Place(rgAnswers, {4, 4, 689, 202}, akAll);

    edAnswer =
        new QLineEdit(QStringLiteral(" (type your answer here) (напечатай тута свой атвет)"));
    edAnswer->setObjectName("edAnswer");
    edAnswer->setAccessibleName(QStringLiteral("Ваш ответ"));
    pnAnswers->Place(edAnswer, {4, 139, 685, 26}, akLeft | akRight | akBottom);

    pnDeferControls = new QFrame;
    pnDeferControls->setObjectName("pnDeferControls");
    pnDeferControls->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Label2 = new QLabel(QStringLiteral("Осталось: "), pnDeferControls);
    Label2->setObjectName("Label2");
    Label2->move(15, 31);
    lbDeferCount = new QLabel(pnDeferControls);
    lbDeferCount->setObjectName("lbDeferCount");
    ShowDeferCount(QStringLiteral("000"));
    lbDeferCount->setGeometry(106, 31, 27, 18);
    bnDeferProblem = new QPushButton(QStringLiteral("Отложить"), pnDeferControls);
    bnDeferProblem->setObjectName("bnDeferProblem");
    bnDeferProblem->setAccessibleName(bnDeferProblem->text());
    bnDeferProblem->setIcon(DeferGlyph());
    bnDeferProblem->setIconSize({28, 14});
    bnDeferProblem->setGeometry(8, 4, 129, 25);
    bnDeferProblem->setAutoDefault(false);  // Enter stays with the answer button
    connect(bnDeferProblem, &QPushButton::clicked, this, &TfmTezra::bnDeferProblemClick);
    pnAnswers->Place(pnDeferControls, {700, 112, 141, 53}, akRight | akBottom);

    setTabOrder(cboxAnswers, rgAnswers);
    setTabOrder(rgAnswers, edAnswer);
    setTabOrder(edAnswer, bnAnswer);
    setTabOrder(bnAnswer, bnDeferProblem);
    Splitter1->addWidget(pnAnswers);
}

void TfmTezra::FormCreate() {
    JpegImage = TRgbImage();
    ApplyWindowMode();
}

void TfmTezra::ApplyWindowMode() {
    const bool secure = Settings != nullptr && Settings->Secure;
    const Qt::WindowFlags wanted =
        secure ? Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
               : Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (windowFlags() != wanted) {
        setWindowFlags(wanted);
    }
    SetCentredOnPrimary(!secure, true);
    if (secure) {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        secureWindow_->PrepareBeforeMap();
        CoverDesktop();
    } else {
        SetContentMargins({});
        setFixedSize(kClientWidth, kClientHeight);
    }
}

void TfmTezra::CoverDesktop() {
    // Read afresh each time: a monitor may have been plugged in or out.
    const QRect desktop = VirtualDesktop();
    if (desktop.isEmpty()) {
        return;
    }
    // The controls move to the primary monitor before the window grows over a new one.
    const QRect primary = PrimaryMonitorRect();
    const TMargins margins =
        PrimaryMonitorMargins({desktop.x(), desktop.y(), desktop.width(), desktop.height()},
                              {primary.x(), primary.y(), primary.width(), primary.height()});
    SetContentMargins({margins.Left, margins.Top, margins.Right, margins.Bottom});
    if (isVisible()) {
        secureWindow_->Reassert();
    }
}

void TfmTezra::SetContentMargins(const QMargins& margins) {
    if (layout()->contentsMargins() != margins) {
        layout()->setContentsMargins(margins);
    }
}

void TfmTezra::setVisible(bool visible) {
    // The window mode must be settled before the window system sees the window, so that in
    // secure mode it appears over the whole desktop at once.
    if (visible && !isVisible()) {
        ApplyWindowMode();
    }
    TModalForm::setVisible(visible);
}

void TfmTezra::showEvent(QShowEvent* event) {
    // Runs when every control has its size for this showing, before the window appears.
    if (!event->spontaneous()) {
        FormShow();
    } else if (secureWindow_->Watching()) {
        // Shown again by the window manager (after a minimize or a workspace switch).
        BringBack();
    }
    TModalForm::showEvent(event);
}

void TfmTezra::hideEvent(QHideEvent* event) {
    if (event->spontaneous() && secureWindow_->Watching()) {
        // Minimized or taken off the screen while the test is answered: the window comes
        // back, and the keyboard stays held meanwhile.
        secureWindow_->BringBackSoon(100);
    } else {
        Timer1->stop();
        timerPaused_ = false;
        secureWindow_->StopWatching();
        keyboardGrab_->Release();
    }
    TModalForm::hideEvent(event);
}

void TfmTezra::keyPressEvent(QKeyEvent* event) {
    // Escape would cancel a dialog; a test ends only by its last answer.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    if (PressDefaultButton(event)) {
        return;
    }
    TModalForm::keyPressEvent(event);
}

bool TfmTezra::PressDefaultButton(QKeyEvent* event) {
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if ((key != Qt::Key_Return && key != Qt::Key_Enter) || modifiers != Qt::NoModifier) {
        return false;
    }
    event->accept();
    if (event->isAutoRepeat()) {
        return true;
    }
    QPushButton* button = focusWidget() == bnDeferProblem ? bnDeferProblem : bnAnswer;
    if (button->isVisible() && button->isEnabled()) {
        button->click();
    }
    return true;
}

void TfmTezra::BringBack() {
    if (Settings == nullptr || !Settings->Secure || !isVisible()) {
        return;
    }
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == this) {
        SecureWindow::RaiseAndActivate(this);
        if (session_.Active() && !timerPaused_ && !Timer1->isActive()) {
            Timer1->start();
        }
    } else {
        // One of the window's boxes is open: it keeps the focus above the window.
        raise();
        SecureWindow::RaiseAndActivate(modal);
    }
    keyboardGrab_->Take();
    QGuiApplication::sync();
}

void TfmTezra::FormShow() {
    const bool continues = std::exchange(continue_, false);
    const bool runs =
        continues ? session_.Continue(CurrentTezra()) : session_.Load(Settings->TestFile);
    if (runs && !continues) {
        ReportProgress();
    }
    if (runs) {
        ShowProblem();
    } else {
        meCondition->clear();
        ShowPicture({});
        rgAnswers->hide();
        cboxAnswers->hide();
        edAnswer->hide();
        rgAnswers->SetItems({});
        cboxAnswers->SetItems({});
        edAnswer->clear();
        Label1->clear();
    }
    pnDeferControls->setVisible(session_.DeferPanelVisible());
    bnDeferProblem->setEnabled(session_.DeferPanelVisible());
    ShowDeferCount(QString::fromStdString(session_.DeferCountText()));
    timerPaused_ = false;
    if (runs && Settings->Secure) {
        Timer1->start();
        keyboardGrab_->Take();
        secureWindow_->Watch();
    } else {
        Timer1->stop();
    }
    bnAnswer->setText(QStringLiteral("Я ответил"));
    bnDeferProblem->setText(QStringLiteral("Отложить"));
    if (!runs) {
        // After the window has appeared: the message stands above it, then the showing ends.
        QTimer::singleShot(0, this, &TfmTezra::EndUnloadableTest);
    }
}

void TfmTezra::EndUnloadableTest() {
    if (!isVisible()) {
        return;
    }
    ShowMessage(ToQString(TestSession::UnloadableMessage()));
    SetModalResult(mrCancel);
}

void TfmTezra::ShowProblem() {
    const TProblemView& view = session_.ShowProblem();
    meCondition->setPlainText(ConditionText(view.Problem->Condition));
    ShowPicture(view.Problem->Picture);
    ShowAnswerControls(view);
    Label1->setText(ToQString(view.Remaining));
    FocusAnswerControl(view.Mode);
}

void TfmTezra::ShowPicture(const std::vector<std::uint8_t>& bytes) {
    // The image shows JpegImage's pixels, so it lets go of them before they are replaced.
    imgCondition->Clear();
    int boxWidth = kNoPictureBoxWidth;
    if (!bytes.empty() && DecodeJpeg(bytes.data(), bytes.size(), JpegImage)) {
        imgCondition->SetPicture(JpegImage);
        boxWidth = PictureBoxWidth(JpegImage.Width, pnProblem->width());
    }
    imgCondition->setVisible(!imgCondition->Picture().isNull());
    sboxImage->horizontalScrollBar()->setValue(0);
    sboxImage->verticalScrollBar()->setValue(0);
    SetPictureBoxWidth(boxWidth);
}

void TfmTezra::ShowAnswerControls(const TProblemView& view) {
    rgAnswers->setVisible(view.Mode == ModeRadio);
    cboxAnswers->setVisible(view.Mode == ModeCombo);
    edAnswer->setVisible(view.Mode == ModeInput);
    QStringList items;
    for (const std::string& variant : view.Variants) {
        items << ToQString(variant);
    }
    // The hidden controls are emptied, so that screen readers find only the variants shown.
    rgAnswers->SetItems(view.Mode == ModeRadio ? items : QStringList());
    cboxAnswers->SetItems(view.Mode == ModeCombo ? items : QStringList());
    edAnswer->setText(view.Mode == ModeInput ? ToQString(TestSession::InputPlaceholder())
                                             : QString());
    SetAnswerPanelHeight(AnswerPanelHeight(view.Mode, items.size(), FontPixelHeight(*rgAnswers),
                                           kCheckListItemHeight));
}

void TfmTezra::SetAnswerPanelHeight(int height) {
    SetLastPaneExtent(*Splitter1, std::max(height, kMinAnswerPanelHeight));
}

void TfmTezra::SetPictureBoxWidth(int width) {
    SetLastPaneExtent(*Splitter2, width);
}

void TfmTezra::FocusAnswerControl(std::uint8_t mode) {
    if (mode == ModeRadio) {
        const QList<QRadioButton*> buttons = rgAnswers->Buttons();
        (buttons.isEmpty() ? static_cast<QWidget*>(bnAnswer) : buttons.front())->setFocus();
    } else if (mode == ModeCombo) {
        cboxAnswers->setFocus();
        if (cboxAnswers->count() > 0) {
            cboxAnswers->setCurrentRow(0, QItemSelectionModel::NoUpdate);
        }
    } else {
        edAnswer->setFocus();
        edAnswer->selectAll();
    }
}

TAnswerInput TfmTezra::CollectInput() const {
    TAnswerInput input;
    input.RadioIndex = rgAnswers->ItemIndex();
    input.Checked = cboxAnswers->Checked();
    input.Typed = FromQString(edAnswer->text());
    return input;
}

void TfmTezra::bnAnswerClick() {
    if (!session_.Active()) {
        return;
    }
    const TAnswerOutcome outcome = session_.Answer(CollectInput());
    if (outcome != TAnswerOutcome::Forgotten) {
        ReportProgress();
    }
    switch (outcome) {
        case TAnswerOutcome::Forgotten:
            ShowForgottenAnswer();
            break;
        case TAnswerOutcome::NextProblem:
            ShowProblem();
            break;
        case TAnswerOutcome::Finished:
            FinishTest();
            break;
    }
}

void TfmTezra::ShowDeferCount(const QString& count) {
    lbDeferCount->setText(count);
    // A label's accessible name hides its text, so the name carries the number.
    lbDeferCount->setAccessibleName(QStringLiteral("Осталось отложить: ") + count);
}

void TfmTezra::ShowForgottenAnswer() {
    // No re-assertion of the secure window while the message is open.
    const bool running = Timer1->isActive();
    Timer1->stop();
    timerPaused_ = true;
    ShowMessage(ToQString(TestSession::ForgottenMessage()));
    timerPaused_ = false;
    if (running && isVisible()) {
        Timer1->start();
    }
}

void TfmTezra::FinishTest() {
    const TTestScore score = session_.Score();
    Timer1->stop();
    timerPaused_ = true;  // off until the next showing
    ShowMessage(ToQString(score.Message));
    SubmitResult(score.Points, score.Mark);
    SetModalResult(mrOk);
}

void TfmTezra::SubmitResult(float points, int mark) {
    QtSubmissionView view(fmInfoBox.get());
    ResultSubmission submission(
        [this](const std::string& url) { return HTTP_Connector->Get(url).Ok(); }, view);
    submission.Submit(Settings->Servers, ServerAddress, Settings->StudentGroup, Settings->User,
                      points, mark);
}

void TfmTezra::bnDeferProblemClick() {
    if (!session_.Active()) {
        return;
    }
    if (session_.Defer()) {
        ReportProgress();
        ShowDeferCount(QString::fromStdString(session_.DeferCountText()));
        ShowProblem();
        return;
    }
    pnDeferControls->hide();
    bnDeferProblem->setEnabled(false);
    FocusAnswerControl(session_.View().Mode);
}

void TfmTezra::ReportProgress() {
    if (OnProgress) {
        OnProgress(CurrentTezra());
    }
}

void TfmTezra::Timer1Timer() {
    if (Settings == nullptr || !Settings->Secure || !isVisible()) {
        return;
    }
    CoverDesktop();
    raise();
    keyboardGrab_->Reassert();
    // Take the keyboard back too, unless one of our own boxes stands above the window.
    if (!isActiveWindow() && QApplication::activeModalWidget() == this) {
        SecureWindow::RaiseAndActivate(this);
    }
    // What this tick changed reaches the display now, not at some later event.
    QGuiApplication::sync();
}
