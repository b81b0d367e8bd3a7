// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The editor's document of a test read into the station's model for trying it, with each
// problem's picture as the document names it.

#include <nlohmann/json.hpp>
#include <vector>

#include "collector/EditorDocument.h"
#include "collector/TryAttempt.h"
#include "model/UTypes.h"

// Fills an empty test from the document as the editor saves it; the pictures are kept as
// names only (no picture file is read). False with the editor's fault when it is refused.
bool ReadTryDocument(const nlohmann::json& document, TTezra& test,
                     std::vector<TryPicture>& pictures, DocFault& fault);
