#pragma once
// Where the splash picture is drawn: scaled with its proportions kept so that it fills the
// window in one direction, centred in the other, and enlarged at most 100 times.

struct TPaintRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;

    bool operator==(const TPaintRect&) const = default;
};

// The rectangle for a pictureWidth x pictureHeight picture in a window of the given outer
// size. Empty when either size is empty.
TPaintRect SplashPaintRect(int windowWidth, int windowHeight, int pictureWidth, int pictureHeight);
