// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/AccessibleRoles.h"

#include <QAccessibleWidget>
#include <QSplitterHandle>

namespace {

QAccessibleInterface* SplitterHandleInterface(const QString& className, QObject* object) {
    if (className == QLatin1String("QSplitterHandle") && object->isWidgetType()) {
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Separator);
    }
    return nullptr;
}

}  // namespace

void InstallAccessibleRoles() {
    static const bool installed = [] {
        QAccessible::installFactory(SplitterHandleInterface);
        return true;
    }();
    (void)installed;
}
