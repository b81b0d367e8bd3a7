// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A test being taken, over the station's current test: the problem on screen with the variants
// in the order shown, which input counts as an answer, the deferrals, and the points, mark and
// score message at the end. The test window shows this state and hands it the student's input.
// All texts are cp1251.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "model/UTypes.h"

// What the test window shows of the problem on screen.
struct TProblemView {
    const TProblem* Problem = nullptr;
    std::uint8_t Mode = ModeRadio;      // the mode it is shown and answered in
    std::vector<std::string> Variants;  // radio and check list items, in the order shown
    std::string Remaining;              // "Осталось вопросов: N"
};

// What the student has entered for the problem on screen.
struct TAnswerInput {
    int RadioIndex = -1;        // the selected radio item; -1 for none
    std::vector<bool> Checked;  // the ticks of the check list items, in the order shown
    std::string Typed;          // the text of the answer edit
};

enum class TAnswerOutcome {
    Forgotten,    // nothing was answered: the problem stays on screen
    NextProblem,  // answered; another problem is pending
    Finished,     // answered, and it was the last one
};

struct TTestScore {
    float Points = 0;
    int Mark = 1;
    std::string Message;  // "Вы набрали баллов: P\rОценка M"
};

class TestSession {
public:
    // The text the answer edit holds until the student types.
    static const std::string& InputPlaceholder();
    // Shown when a test file cannot be run.
    static const std::string& UnloadableMessage();
    // Shown when the answer button is pressed without an answer.
    static const std::string& ForgottenMessage();

    // Loads the file into a fresh current test, prepares it and draws this student's problems.
    // False when the file cannot be loaded (the current test is then left empty, so that the
    // log record shows no problems) or when no problem is drawn.
    bool Load(const std::filesystem::path& file);
    // Prepares a loaded test and draws its problems; false when none is drawn.
    bool Begin(TTezra& tezra);
    // Goes on with a test that is already prepared and drawn (one restored after a crash);
    // false when no problem is pending.
    bool Continue(TTezra& tezra);

    // Whether a problem is on screen (between a successful Load and the last answer).
    bool Active() const { return tezra_ != nullptr && !tezra_->Pending.empty(); }

    // Puts the first pending problem on screen, with freshly shuffled variants when the test
    // asks for it. Needs Active().
    const TProblemView& ShowProblem();
    const TProblemView& View() const { return view_; }

    // Records the input as the answer to the problem on screen; on an answer the problem leaves
    // the pending list. A radio or check list problem without variants leaves it without one.
    // Needs Active().
    TAnswerOutcome Answer(const TAnswerInput& input);

    // A press of the defer button: moves the problem on screen to the end of the pending list
    // while the test allows deferrals; otherwise hides the defer panel and leaves the problem
    // in place. Returns whether it deferred. Needs Active().
    bool Defer();
    bool DeferPanelVisible() const { return deferPanelVisible_; }
    // Deferrals left, in decimal.
    std::string DeferCountText() const;

    // The points and mark of the test as it stands, with the score message.
    TTestScore Score() const;

private:
    // The answers the input gives for the problem on screen; empty when it gives none.
    std::vector<std::string> GivenAnswers(const TAnswerInput& input) const;

    TTezra* tezra_ = nullptr;
    TProblemView view_;
    bool deferPanelVisible_ = false;
};
