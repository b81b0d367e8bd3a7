// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The application's main window. It is never shown: the station works only through its
// modal windows, and this one exists so that they have an owner for the whole run.

#include <QWidget>
#include <memory>

class TfmMain : public QWidget {
    Q_OBJECT

public:
    explicit TfmMain(QWidget* parent = nullptr);
};

extern std::unique_ptr<TfmMain> fmMain;
