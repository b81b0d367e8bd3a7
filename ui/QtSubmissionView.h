// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The result submission as the student sees it: the activity box for each attempt, the pause
// after it, and the message and input boxes of the dialogs layer.

#include "net/ResultSubmission.h"

class TfmInfoBox;

class QtSubmissionView : public SubmissionView {
public:
    // Drives box; without one the attempts are not shown.
    explicit QtSubmissionView(TfmInfoBox* box);

    void ClearActivity() override;
    void ShowActivity(const std::string& activityName) override;
    void AppendActivityLine(const std::string& line) override;
    void FinishActivityLine(const std::string& ending) override;
    void HideActivity() override;
    void Sleep(int milliseconds) override;
    void ShowMessage(const std::string& text) override;
    std::string InputBox(const std::string& caption, const std::string& prompt,
                         const std::string& defaultText) override;

private:
    // The request that follows blocks the interface thread, so the box is painted now and the
    // picture sent to the display before it starts.
    void RepaintNow();

    TfmInfoBox* box_;
};
