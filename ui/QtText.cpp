// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/QtText.h"

#include "platform/Cp1251.h"
#include "platform/TextUtils.h"

QString ToQString(std::string_view cp1251) {
    return QString::fromStdString(Cp1251ToUtf8(LineBreaksToLf(cp1251)));
}

std::string FromQString(const QString& text) {
    return Utf8ToCp1251(text.toStdString());
}
