// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/UMain.h"

std::unique_ptr<TfmMain> fmMain;

TfmMain::TfmMain(QWidget* parent) : QWidget(parent, Qt::Tool) {
    setObjectName("fmMain");
    setWindowTitle(QStringLiteral("Don't you see me?"));
    resize(120, 32);
    setWindowOpacity(15 / 255.0);
}
