// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The teacher's page (HTML, CSS, JavaScript), compiled into the program from collector/web.

#include <string_view>

struct WebAsset {
    std::string_view Name;  // file name in collector/web
    std::string_view ContentType;
    std::string_view Body;
};

// The asset served at a path ("/" is index.html); nullptr when there is none.
const WebAsset* FindWebAsset(std::string_view path);
