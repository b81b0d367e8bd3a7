// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The splash window between students: it covers the screen, shows the splash pictures one
// after another, each fading out, and lets the next student in with a click.

#include <QImage>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>

#include "platform/Jpeg.h"
#include "ui/ModalForm.h"
#include "ui/Monitors.h"
#include "ui/rules/SplashFade.h"
#include "ui/rules/SplashRect.h"

class TfmSplash : public TModalForm {
    Q_OBJECT

public:
    explicit TfmSplash(QWidget* parent = nullptr);

    QTimer* Timer1;

    // Chooses the next picture of Settings.SplashFiles, loads it and starts its fade. A
    // picture that cannot be decoded is skipped for the next; when none can, the window shows
    // its plain screen. With no pictures at all nothing changes.
    void NextPicture();
    // Every 200 ms while shown: the fade, then the next picture at full opacity.
    void Timer1Timer();

    // Where random numbers for the picture choice come from (tests fix them).
    void SetRandomSource(std::function<double()> random) { random_ = std::move(random); }

    // The picture on screen, empty for the plain screen.
    const std::filesystem::path& PicturePath() const { return shown_; }
    // The picture as it is drawn, scaled once into PaintRect and kept for every repaint.
    const QImage& KeptImage() const { return scaled_; }
    TRect PaintRect() const { return rect_; }
    const SplashFade& Fade() const { return fadeState_; }

    // Where the picture is drawn: the primary monitor's part of the window, which covers
    // every monitor (the others stay black).
    QRect PictureArea() const;

protected:
    void setVisible(bool visible) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool LoadPicture(const std::filesystem::path& path);
    void ClearPicture();
    void PaintPlainScreen(QPainter& painter);

    std::function<double()> random_;
    SplashFade fadeState_;
    std::filesystem::path shown_;
    TRgbImage decoded_;  // the last picture as decoded; its memory serves the next one
    QImage scaled_;      // the picture as it is drawn
    TRect rect_;         // where it is drawn
    QSize loadedFor_;    // the picture area it was scaled for
    DesktopCover cover_;
    int ticksToCover_ = 0;  // timer ticks until the cover of every monitor is asked for again
};

extern std::unique_ptr<TfmSplash> fmSplash;
