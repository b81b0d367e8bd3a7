// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The splash window's fade: each picture starts at full opacity and loses 5 of 255 at every
// tick for 25 ticks; at the next tick the next picture comes. The opacity lasts from one
// showing to the next.

enum class TSplashTick {
    Idle,         // the window is hidden: nothing changes
    Faded,        // the opacity went down one step
    NextPicture,  // the next picture is due; the opacity is full again
};

class SplashFade {
public:
    static constexpr int kTicksPerPicture = 25;
    static constexpr int kStep = 5;
    static constexpr int kCreatedOpacity = 224;
    static constexpr int kFullOpacity = 255;

    // One timer tick. On NextPicture the caller loads the next picture and calls
    // PictureLoaded when it succeeded.
    TSplashTick Tick(bool visible);
    // A picture was loaded: its fade starts.
    void PictureLoaded() { FadeCounter = kTicksPerPicture; }

    int FadeCounter = 0;            // ticks left in the fade of the current picture
    int Opacity = kCreatedOpacity;  // 0 to 255; never below 0
};
