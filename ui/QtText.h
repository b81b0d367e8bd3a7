// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The edge between the station's cp1251 text and Qt's Unicode strings.

#include <QString>
#include <string>
#include <string_view>

// cp1251 bytes as a QString; a lone carriage return (a line break in message texts) becomes a
// line feed.
QString ToQString(std::string_view cp1251);
// Typed text as cp1251; a character that cp1251 cannot hold becomes '?'.
std::string FromQString(const QString& text);
