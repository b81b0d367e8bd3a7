#include "ui/USplashForm.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

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

QImage ToQImage(const TRgbImage& rgb) {
    const QImage wrapped(rgb.Pixels.data(), rgb.Width, rgb.Height, rgb.Width * 3,
                         QImage::Format_RGB888);
    return wrapped.convertToFormat(QImage::Format_RGB32);  // a deep copy, quick to draw
}

}  // namespace

TfmSplash::TfmSplash(QWidget* parent)
    : TModalForm(parent), Timer1(new QTimer(this)), Random(RandomDouble) {
    setObjectName("fmSplash");
    setAccessibleName(QStringLiteral("Заставка"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_OpaquePaintEvent);  // paintEvent covers every pixel itself
    QFont font("Arial");
    font.setPixelSize(11);
    setFont(font);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        setGeometry(screen->geometry());
    }
    setWindowState(Qt::WindowFullScreen);
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
        Shown.clear();
        Decoded = QImage();
        SourceSize = QSize();
        Scaled = QImage();
        Rect = {};
    }
    update();
}

bool TfmSplash::LoadPicture(const std::filesystem::path& path) {
    TRgbImage rgb;
    const QSize box = frameGeometry().size();
    if (!DecodeJpegFileToFit(path, box.width(), box.height(), rgb)) {
        return false;
    }
    Shown = path;
    Decoded = ToQImage(rgb);
    SourceSize = QSize(rgb.SourceWidth, rgb.SourceHeight);
    Scaled = QImage();
    ScalePicture();
    return true;
}

void TfmSplash::ScalePicture() {
    const QSize window = frameGeometry().size();
    const TPaintRect rect =
        SplashPaintRect(window.width(), window.height(), SourceSize.width(), SourceSize.height());
    if (rect == Rect && !Scaled.isNull()) {
        return;  // already scaled for this size
    }
    Rect = rect;
    if (Decoded.isNull() || Rect.Width <= 0 || Rect.Height <= 0) {
        Scaled = QImage();
        return;
    }
    if (Decoded.width() == Rect.Width && Decoded.height() == Rect.Height) {
        Scaled = Decoded;
        return;
    }
    Scaled =
        Decoded.scaled(Rect.Width, Rect.Height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void TfmSplash::Timer1Timer() {
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
    painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("Щёлкните мышью, чтобы начать"));
}

void TfmSplash::resizeEvent(QResizeEvent* event) {
    TModalForm::resizeEvent(event);
    ScalePicture();
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
