// SPDX-License-Identifier: GPL-3.0-or-later
#include "collector/TryDocument.h"

#include "platform/Cp1251.h"

bool ReadTryDocument(const nlohmann::json& document, TTezra& test,
                     std::vector<TryPicture>& pictures, DocFault& fault) {
    std::string chooserText;
    std::vector<bool> embedded;
    if (!ReadTestDocument(document, test, chooserText, embedded, fault)) {
        return false;
    }
    pictures.clear();
    for (std::size_t i = 0; i < test.Problems.size(); ++i) {
        TProblem& problem = *test.Problems[i];
        TryPicture picture;
        picture.File = Cp1251ToUtf8(problem.PictureFile);
        picture.Embedded = i < embedded.size() && embedded[i];
        picture.Present = picture.Embedded || !picture.File.empty();
        pictures.push_back(std::move(picture));
        problem.PictureFile.clear();
    }
    return true;
}
