// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The base of the station's windows: a dialog shown modally that answers with a modal result.

#include <QDialog>

constexpr int mrOk = 1;
constexpr int mrCancel = 2;

class TModalForm : public QDialog {
    Q_OBJECT

public:
    explicit TModalForm(QWidget* parent = nullptr);

    // Shows the window modally and returns mrOk when it was accepted, mrCancel otherwise
    // (closed by its title bar, or a termination request). After a termination request it
    // returns mrCancel without showing the window.
    int ShowModal();
    // Ends the modal showing with the given result.
    void SetModalResult(int result);

    // The size of the area inside the frame, as the windows' designs give it.
    void SetClientSize(int width, int height);

protected:
    // Whether each showing opens centred on the primary monitor (the default), and whether
    // only the first one does (a window that keeps its place afterwards).
    void SetCentredOnPrimary(bool centred, bool firstShowingOnly = false);
    void showEvent(QShowEvent* event) override;

private:
    bool centred_ = true;
    bool firstShowingOnly_ = false;
    bool shownBefore_ = false;
};
