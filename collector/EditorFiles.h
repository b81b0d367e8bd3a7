// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The editor's files: pictures (uploaded, embedded in a test or kept beside it), import of a
// file in any format the conversion library reads, export of a test and the whole library
// as a zip whose tezra/ folder goes onto a USB stick as it is.

#include <string>
#include <vector>

#include "collector/ClassLibrary.h"
#include "collector/EditorHandlers.h"
#include "model/UTypes.h"

// The bytes of a picture named in a document: an embedded picture of the stored test under
// the name the document gave it, else the test's picture of that name; empty when neither.
std::string PictureBytes(const std::string& name, const std::vector<LibraryPicture>& pictures,
                         const TTezra* stored);
bool HasPicture(const std::vector<LibraryPicture>& pictures, const std::string& name);
// Base64 as the page sends a picture; false when it is not Base64.
bool DecodePictureBase64(const std::string& text, std::string& bytes);

// {"file", "width", "height", "shownWidth", "shownHeight"} of a picture the station shows,
// or nothing when its decoder refuses it.
std::optional<nlohmann::ordered_json> PictureSize(const std::string& name,
                                                  const std::string& bytes);

HttpAnswer ServePicture(ClassLibrary& library, LibraryStore& store, const EditorRequest& request);
HttpAnswer ImportFile(const std::string& name, const std::string& bytes);
HttpAnswer ExportTest(LibraryStore& store, const std::string& name, const std::string& as);
HttpAnswer LibraryZip(LibraryStore& store);
