// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The station's settings and windows over a station folder, for tests that run whole student
// passes: results go to a loopback server on serverPort.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/StudentCycle.h"
#include "settings/UCommon.h"
#include "ui/Application.h"
#include "ui/UTezraForm.h"

// Reads the folder's settings, lets adjust change them before the windows read them, and
// creates the windows.
inline void OpenStation(const std::filesystem::path& folder, int serverPort,
                        const std::function<void(TSettings&)>& adjust = {}) {
    Settings = std::make_unique<TSettings>(folder / "tezra-net");
    if (adjust) {
        adjust(*Settings);
    }
    ServerAddress = "127.0.0.1:" + std::to_string(serverPort);
    ClearTerminationRequest();
    CreateForms();
}

inline void CloseStation() {
    DestroyForms();
    Settings.reset();
    ClearTerminationRequest();
}
