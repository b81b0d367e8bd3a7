// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The editor's JSON form of one test and the station's test model, both ways. The JSON is
// UTF-8; the model holds cp1251. A text that cp1251 cannot hold, a line break in a one-line
// field or a condition line that would end the condition is refused with a Russian message
// naming the field, so that nothing reaches the station file changed behind the teacher's
// back.

#include <nlohmann/json.hpp>
#include <string>

#include "model/UTypes.h"

// Where in the document a finding or a refusal belongs.
struct DocPlace {
    int Problem = -1;   // index in "problems"; -1 for none
    int Variant = -1;   // index in the problem's "variants"; -1 for none
    int Group = -1;     // index in "groups"; -1 for none
    std::string Field;  // "problem.text", "group.quota", ...; empty for the whole test

    nlohmann::ordered_json Json() const;
};

// Why a document was refused.
struct DocFault {
    std::string Message;  // Russian, for the teacher
    DocPlace Where;
    std::string Char;        // the character cp1251 cannot hold, UTF-8; empty otherwise
    std::string Suggestion;  // its plain look-alike, when there is one

    nlohmann::ordered_json Json() const;
};

// The name an embedded picture without a file name gets in the document.
std::string EmbeddedPictureName(std::size_t problemIndex);

// Reads a document into an empty test. Pictures come as PictureFile names only; the caller
// fills Picture for the embedded ones (embedded lists, per problem, whether it is). The
// chooser text, cp1251, goes to chooserText. False with the fault when it is refused.
bool ReadTestDocument(const nlohmann::json& doc, TTezra& out, std::string& chooserText,
                      std::vector<bool>& embedded, DocFault& fault);
// The same with only the message, for callers that need no more.
bool DocumentToTest(const nlohmann::json& doc, TTezra& out, std::string& error);

// The document of a test; chooserText is cp1251. An embedded picture keeps its FILE name when
// it has one, else gets EmbeddedPictureName.
nlohmann::ordered_json TestToDocument(const TTezra& test, const std::string& chooserText);
