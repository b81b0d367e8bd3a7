#include "ui/QtText.h"

#include "platform/Cp1251.h"

QString ToQString(std::string_view cp1251) {
    QString text = QString::fromStdString(Cp1251ToUtf8(cp1251));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar('\r'), QChar('\n'));
    return text;
}

std::string FromQString(const QString& text) {
    return Utf8ToCp1251(text.toStdString());
}
