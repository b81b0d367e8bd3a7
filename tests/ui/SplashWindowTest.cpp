// SPDX-License-Identifier: GPL-3.0-or-later
// The splash window: which picture it shows, where, how it fades, and how it ends.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <memory>
#include <vector>

#include "platform/Jpeg.h"
#include "settings/UCommon.h"
#include "tests/common/TempDir.h"
#include "tests/common/WindowScript.h"
#include "ui/USplashForm.h"

namespace {

using Paths = std::vector<std::filesystem::path>;

int OpacityOf(const QWidget& window) {
    return qRound(window.windowOpacity() * 255);
}

class SplashWindow : public testing::Test {
protected:
    void SetUp() override {
        Settings = std::make_unique<TSettings>(Dir.Path / "tezra-net");
        const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
        W = screen.width();
        H = screen.height();
    }
    void TearDown() override { Settings.reset(); }

    // A one-colour JPEG picture in the splash folder.
    std::filesystem::path Picture(const std::string& name, int width, int height, QRgb colour) {
        TRgbImage image;
        image.Width = width;
        image.Height = height;
        for (int i = 0; i < width * height; ++i) {
            image.Pixels.push_back(static_cast<std::uint8_t>(qRed(colour)));
            image.Pixels.push_back(static_cast<std::uint8_t>(qGreen(colour)));
            image.Pixels.push_back(static_cast<std::uint8_t>(qBlue(colour)));
        }
        std::vector<std::uint8_t> bytes;
        EncodeJpeg(image, 90, bytes);
        return Dir.Write("splash/" + name, std::string(bytes.begin(), bytes.end()));
    }

    TempDir Dir;
    int W = 0;
    int H = 0;
};

bool Near(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) < 16 && std::abs(qGreen(a) - qGreen(b)) < 16 &&
           std::abs(qBlue(a) - qBlue(b)) < 16;
}

TEST_F(SplashWindow, PicturesFillOneDirectionAndAreCentred) {
    ASSERT_EQ(W % 8, 0);
    ASSERT_EQ(H % 8, 0);
    struct Row {
        const char* Name;
        int Width, Height;
        QRect Expected;
        QPoint Band;  // a point outside the picture
    };
    const Row rows[] = {
        {"twice as wide, as high", 2 * W, H, QRect(0, H / 4, W, H / 2), QPoint(W / 2, 2)},
        {"tall", W / 2, 2 * H, QRect(3 * W / 8, 0, W / 4, H), QPoint(2, H / 2)},
        {"small and wide, enlarged", W / 4, H / 8, QRect(0, H / 4, W, H / 2), QPoint(W / 2, 2)},
    };
    const QRgb colour = qRgb(250, 200, 40);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Name);
        Settings->SplashFiles = {Picture("p.jpg", row.Width, row.Height, colour)};
        TfmSplash splash;
        const TRect rect = splash.PaintRect();
        EXPECT_EQ(QRect(rect.Left, rect.Top, rect.Width, rect.Height), row.Expected);
        EXPECT_EQ(splash.KeptImage().size(), row.Expected.size());
        const qint64 kept = splash.KeptImage().cacheKey();
        const QImage painted = splash.grab().toImage();
        EXPECT_TRUE(Near(painted.pixel(row.Expected.center()), colour));
        EXPECT_EQ(painted.pixel(row.Band), qRgb(0, 0, 0));
        splash.grab();
        EXPECT_EQ(splash.KeptImage().cacheKey(), kept);  // repaints reuse the scaled picture
    }
}

TEST_F(SplashWindow, BadPicturesAreSkippedAndWithoutAnyAPlainScreenWaitsForAClick) {
    const auto a = Picture("a.jpg", 40, 30, qRgb(200, 0, 0));
    const auto bad = Dir.Write("splash/b.jpg", "not a picture");
    const auto c = Picture("c.jpg", 40, 30, qRgb(0, 0, 200));
    TfmSplash splash;
    Settings->SplashFiles = {a, bad, c};
    splash.SetRandomSource([] { return 0.75; });  // chooses the bad picture
    splash.NextPicture();
    EXPECT_EQ(splash.PicturePath(), a);  // the front one came instead
    EXPECT_EQ(Settings->SplashFiles, (Paths{c, bad, a}));

    Settings->SplashFiles = {bad, Dir.Write("splash/empty.jpeg", "")};
    splash.NextPicture();
    EXPECT_TRUE(splash.PicturePath().empty());
    EXPECT_TRUE(splash.KeptImage().isNull());
    const QImage plain = splash.grab().toImage();
    EXPECT_NE(plain.pixel(2, 2), qRgb(0, 0, 0));  // a calm colour, not a black void
    // The hint is written across the middle line.
    bool text = false;
    for (int x = 0; x < W && !text; ++x) {
        text = plain.pixel(x, H / 2) != plain.pixel(2, 2);
    }
    EXPECT_TRUE(text);
    EXPECT_EQ(ShowWith(splash, [&splash] { QTest::mouseClick(&splash, Qt::LeftButton); }), mrOk);
}

TEST_F(SplashWindow, FadeRunsAcrossTwoPicturesAndOnlyWhileShown) {
    const auto a = Picture("a.jpg", 40, 30, qRgb(200, 0, 0));
    const auto b = Picture("b.jpg", 40, 30, qRgb(0, 0, 200));
    Settings->ScanSplashFiles();
    TfmSplash splash;  // creation loads a, the first showing b
    EXPECT_EQ(splash.PicturePath(), a);
    splash.Timer1Timer();  // hidden: nothing happens
    EXPECT_EQ(OpacityOf(splash), 224);
    EXPECT_EQ(splash.PicturePath(), a);

    splash.show();
    EXPECT_EQ(splash.frameGeometry(), QGuiApplication::primaryScreen()->geometry());
    EXPECT_EQ(splash.PicturePath(), b);
    std::vector<int> opacities;
    std::vector<std::filesystem::path> pictures;
    for (int tick = 0; tick < 52; ++tick) {
        splash.Timer1Timer();
        opacities.push_back(OpacityOf(splash));
        pictures.push_back(splash.PicturePath());
    }
    EXPECT_EQ(opacities[0], 219);   // the first picture fades from 224 ...
    EXPECT_EQ(opacities[24], 99);   // ... to 99
    EXPECT_EQ(opacities[25], 255);  // the 26th tick brings the next picture at 255
    EXPECT_EQ(pictures[25], a);
    EXPECT_EQ(opacities[26], 250);
    EXPECT_EQ(opacities[50], 130);
    EXPECT_EQ(opacities[51], 255);
    EXPECT_EQ(pictures[51], b);
    splash.hide();
}

TEST_F(SplashWindow, OnlyAClickEndsItAndTheNextShowingGoesOnFromItsOpacity) {
    Picture("a.jpg", 40, 30, qRgb(200, 0, 0));
    Settings->ScanSplashFiles();
    TfmSplash splash;
    bool openAfterKeys = false;
    const int result = ShowWith(splash, [&] {
        for (int tick = 0; tick < 24; ++tick) {
            splash.Timer1Timer();
        }
        QTest::keyClick(&splash, Qt::Key_Escape);
        QTest::keyClick(&splash, Qt::Key_Return);
        openAfterKeys = splash.isVisible();
        QTest::mouseClick(&splash, Qt::LeftButton, Qt::NoModifier, QPoint(W - 1, H - 1));
    });
    EXPECT_TRUE(openAfterKeys);
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(splash.Fade().Opacity, 104);

    // The next showing starts at 104; its 25 steps would go below 0, and stop there.
    ShowWith(splash, [&] {
        for (int tick = 0; tick < 25; ++tick) {
            splash.Timer1Timer();
        }
        EXPECT_EQ(splash.Fade().Opacity, 0);
        EXPECT_EQ(OpacityOf(splash), 0);
        splash.Timer1Timer();
        EXPECT_EQ(OpacityOf(splash), 255);
        splash.reject();
    });
}

}  // namespace
