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
    : TModalForm(parent), Timer1(new QTimer(this)), Random(RandomDouble), Cover(*this, false) {
    setObjectName("fmSplash");
    setAccessibleName(QStringLiteral("Заставка"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_OpaquePaintEvent);  // paintEvent covers every pixel itself
    QFont font("Arial");
    font.setPixelSize(11);
    setFont(font);
    SetCentredOnPrimary(false);  // it covers every monitor
    setGeometry(VirtualDesktop());
    SetWindowOpacity255(*this, FadeState.Opacity);

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
        Settings->SplashFiles, Random(),
        [this](const std::filesystem::path& path) { return LoadPicture(path); });
    if (loaded) {
        FadeState.PictureLoaded();
    } else {
        ClearPicture();
    }
    update();
}

bool TfmSplash::LoadPicture(const std::filesystem::path& path) {
    // Decoded at the reduced scale this window needs, scaled once, kept for every repaint.
    const QRect area = PictureArea();
    const QSize window = area.size();
    if (!DecodeJpegFileToFit(path, window.width(), window.height(), Decoded,
                             TPixelLayout::Rgb32)) {
        return false;
    }
    Rect = SplashPaintRect(window.width(), window.height(), Decoded.SourceWidth,
                           Decoded.SourceHeight);
    Rect.Left += area.left();
    Rect.Top += area.top();
    Scaled = ScaledCopy(Decoded, Rect.Width, Rect.Height);
    Shown = path;
    LoadedFor = window;
    return true;
}

void TfmSplash::ClearPicture() {
    Shown.clear();
    Scaled = QImage();
    Rect = {};
    LoadedFor = QSize();
}

QRect TfmSplash::PictureArea() const {
    const QRect primary = PrimaryMonitorRect().translated(-geometry().topLeft());
    const QRect area = primary.intersected(rect());
    return area.isEmpty() ? QRect(QPoint(0, 0), frameGeometry().size()) : area;
}

void TfmSplash::Timer1Timer() {
    if (isVisible() && --TicksToCover <= 0) {
        TicksToCover = kTicksPerCover;
        Cover.Reassert();
    }
    switch (FadeState.Tick(isVisible())) {
        case TSplashTick::Idle:
            return;
        case TSplashTick::Faded:
            break;
        case TSplashTick::NextPicture:
            NextPicture();
            break;
    }
    SetWindowOpacity255(*this, FadeState.Opacity);
}

void TfmSplash::setVisible(bool visible) {
    // Over every monitor and above every other window before the window system sees it.
    if (visible && !isVisible()) {
        Cover.PrepareBeforeMap();
        TicksToCover = 1;  // and asked again once it is mapped
    }
    TModalForm::setVisible(visible);
}

void TfmSplash::showEvent(QShowEvent* event) {
    NextPicture();
    TModalForm::showEvent(event);
}

void TfmSplash::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (Scaled.isNull()) {
        PaintPlainScreen(painter);
        return;
    }
    // The picture, and black bands where it does not reach.
    const QRect picture(Rect.Left, Rect.Top, Scaled.width(), Scaled.height());
    const QRegion bands = QRegion(rect()).subtracted(picture);
    for (const QRect& band : bands) {
        painter.fillRect(band, kBandColour);
    }
    painter.drawImage(picture.topLeft(), Scaled);
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
    if (!Shown.empty() && PictureArea().size() != LoadedFor && !LoadPicture(Shown)) {
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
