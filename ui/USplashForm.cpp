// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/USplashForm.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "platform/Jpeg.h"
#include "platform/Random.h"
#include "settings/UCommon.h"
#include "ui/WindowOpacity.h"
#include "ui/rules/SplashChoice.h"

std::unique_ptr<TfmSplash> fmSplash;

namespace {

const QColor kBandColour(Qt::black);
const QColor kPlainColour(0x2b, 0x3a, 0x4a);
const QColor kPlainTextColour(0xe3, 0xea, 0xf0);
// Every so many ticks the splash asks again to cover every monitor (one may have come).
constexpr int kTicksPerCover = 10;

// The decoded picture scaled smoothly to the given size, in an image of its own. Bilinear
// filtering is enough: the decoding scale leaves less than a halving to do.
QImage ScaledCopy(const TRgbImage& picture, int width, int height) {
    const QImage decoded(picture.Pixels.data(), picture.Width, picture.Height, picture.Width * 4,
                         QImage::Format_RGB32);  // borrows the pixels
    if (decoded.width() == width && decoded.height() == height) {
        return decoded.copy();
    }
    QImage scaled(width, height, QImage::Format_RGB32);
    QPainter painter(&scaled);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(0, 0, width, height), decoded);
    return scaled;
}

}  // namespace

TfmSplash::TfmSplash(QWidget* parent)
    : TModalForm(parent), Timer1(new QTimer(this)), random_(RandomDouble), cover_(*this, false) {
    setObjectName("fmSplash");
    setAccessibleName(QStringLiteral("Заставка"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_OpaquePaintEvent);  // paintEvent covers every pixel itself
    QFont font("Arial");
    font.setPixelSize(11);
    setFont(font);
    SetCentredOnPrimary(false);  // it covers every monitor
    setGeometry(VirtualDesktop());
    SetWindowOpacity255(*this, fadeState_.Opacity);

    NextPicture();
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(200);
    connect(Timer1, &QTimer::timeout, this, &TfmSplash::Timer1Timer);
    Timer1->start();
}

void TfmSplash::NextPicture() {
    if (!Settings || Settings->SplashFiles.empty()) {
        return;
    }
    const bool loaded = ChooseSplashPicture(
        Settings->SplashFiles, random_(),
        [this](const std::filesystem::path& path) { return LoadPicture(path); });
    if (loaded) {
        fadeState_.PictureLoaded();
    } else {
        ClearPicture();
    }
    update();
}

bool TfmSplash::LoadPicture(const std::filesystem::path& path) {
    // Decoded at the reduced scale this window needs, scaled once, kept for every repaint.
    const QRect area = PictureArea();
    const QSize window = area.size();
    if (!DecodeJpegFileToFit(path, window.width(), window.height(), decoded_,
                             TPixelLayout::Rgb32)) {
        return false;
    }
    rect_ = SplashPaintRect(window.width(), window.height(), decoded_.SourceWidth,
                            decoded_.SourceHeight);
    rect_.Left += area.left();
    rect_.Top += area.top();
    scaled_ = ScaledCopy(decoded_, rect_.Width, rect_.Height);
    shown_ = path;
    loadedFor_ = window;
    return true;
}

void TfmSplash::ClearPicture() {
    shown_.clear();
    scaled_ = QImage();
    rect_ = {};
    loadedFor_ = QSize();
}

QRect TfmSplash::PictureArea() const {
    const QRect primary = PrimaryMonitorRect().translated(-geometry().topLeft());
    const QRect area = primary.intersected(rect());
    return area.isEmpty() ? QRect(QPoint(0, 0), frameGeometry().size()) : area;
}

void TfmSplash::Timer1Timer() {
    if (isVisible() && --ticksToCover_ <= 0) {
        ticksToCover_ = kTicksPerCover;
        cover_.Reassert();
    }
    switch (fadeState_.Tick(isVisible())) {
        case TSplashTick::Idle:
            return;
        case TSplashTick::Faded:
            break;
        case TSplashTick::NextPicture:
            NextPicture();
            break;
    }
    SetWindowOpacity255(*this, fadeState_.Opacity);
}

void TfmSplash::setVisible(bool visible) {
    // Over every monitor and above every other window before the window system sees it.
    if (visible && !isVisible()) {
        cover_.PrepareBeforeMap();
        ticksToCover_ = 1;  // and asked again once it is mapped
    }
    TModalForm::setVisible(visible);
}

void TfmSplash::showEvent(QShowEvent* event) {
    NextPicture();
    TModalForm::showEvent(event);
}

void TfmSplash::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (scaled_.isNull()) {
        PaintPlainScreen(painter);
        return;
    }
    // The picture, and black bands where it does not reach.
    const QRect picture(rect_.Left, rect_.Top, scaled_.width(), scaled_.height());
    const QRegion bands = QRegion(rect()).subtracted(picture);
    for (const QRect& band : bands) {
        painter.fillRect(band, kBandColour);
    }
    painter.drawImage(picture.topLeft(), scaled_);
}

void TfmSplash::PaintPlainScreen(QPainter& painter) {
    painter.fillRect(rect(), kPlainColour);
    QFont font("Arial");
    font.setPixelSize(32);
    painter.setFont(font);
    painter.setPen(kPlainTextColour);
    painter.drawText(PictureArea(), Qt::AlignCenter,
                     QStringLiteral("Щёлкните мышью, чтобы начать"));
}

void TfmSplash::resizeEvent(QResizeEvent* event) {
    TModalForm::resizeEvent(event);
    // A new window size needs the picture decoded and scaled for it.
    if (!shown_.empty() && PictureArea().size() != loadedFor_ && !LoadPicture(shown_)) {
        ClearPicture();
    }
}

void TfmSplash::mousePressEvent(QMouseEvent* event) {
    event->accept();
}

void TfmSplash::mouseReleaseEvent(QMouseEvent* event) {
    // A click anywhere on the window lets the next student in.
    event->accept();
    if (rect().contains(event->position().toPoint())) {
        SetModalResult(mrOk);
    }
}

void TfmSplash::keyPressEvent(QKeyEvent* event) {
    // Only a click ends the splash; no key does (not even Escape).
    event->accept();
}
