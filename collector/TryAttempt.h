// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A test tried in the teacher's browser as a student takes it on a station: drawn, shuffled,
// deferred and scored by the station's own test-session rules over the model. Nothing of it
// leaves the collector's memory: no result is sent, logged or stored.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/UTypes.h"
#include "ui/rules/TestSession.h"

// Where the picture of a problem comes from, as the editor knows it (UTF-8).
struct TryPicture {
    bool Present = false;
    std::string File;       // its file name; empty when the test carries the bytes only
    bool Embedded = false;  // the test carries the bytes
};

// One problem as the station's test window shows it. Texts are cp1251.
struct TryProblem {
    int Index = 0;  // the problem's place in the test, 0-based
    std::string Id;
    std::string Title;
    std::vector<std::string> Lines;  // the condition, one entry per line
    TryPicture Picture;
    std::uint8_t Mode = ModeRadio;      // the mode it is shown and answered in
    std::vector<std::string> Variants;  // in the order shown; empty for a typed answer
    bool Shuffled = false;              // the order is drawn anew on every showing
};

enum class TryState {
    Problem,    // a problem is on screen
    Forgotten,  // the answer button was pressed without an answer; the problem stays
    Finished,   // the last problem was answered: the score is known
};

// What the attempt shows after the student's last step.
struct TryProgress {
    int Answered = 0;
    int Total = 0;      // problems drawn
    int Remaining = 0;  // pending problems after the one on screen
};

// The pictures of a test's problems as the model holds them; bytes without a name are called
// "picture-N.jpg" (N counted from 1). The model keeps neither the names nor the bytes
// afterwards, so that preparing it on the server reads no file and a trial holds no picture.
std::vector<TryPicture> TakePictures(TTezra& test);

// Roughly how much memory the test takes.
std::size_t HeldBytes(const TTezra& test);

// The highest points the drawn problems can give: each problem's best answer, clamped to
// 0 to 100 percent as the scoring clamps it.
float HighestPoints(const TTezra& test);

// A problem shown the way the window shows it. shuffle draws a new variant order.
TryProblem ShowProblem(const TTezra& test, const TProblem& problem,
                       const std::vector<TryPicture>& pictures, bool shuffle);

class TryAttempt {
public:
    // Prepares the test (pictures as given, no file read) and draws a student's problems.
    // Empty when no problem is drawn.
    static std::unique_ptr<TryAttempt> Begin(std::unique_ptr<TTezra> test,
                                             std::vector<TryPicture> pictures);

    TryState State() const { return state_; }
    // Whether the last step was a deferral that moved the problem to the end.
    bool Deferred() const { return deferred_; }
    // The problem on screen; needs State() != Finished.
    const TryProblem& Current() const { return current_; }
    TryProgress Progress() const;
    bool DeferPanelVisible() const { return session_.DeferPanelVisible(); }
    bool CanDefer() const { return test_->CanDefer(); }
    int DefersLeft() const { return test_->DeferLimit - test_->DeferCount; }
    const std::string& Title() const { return test_->Title; }
    // Roughly how much memory the attempt takes (its test as it was begun).
    std::size_t Bytes() const { return bytes_; }

    // The answer button: the input is taken in the order the variants are shown.
    void Answer(const TAnswerInput& input);
    // The defer button.
    void Defer();

    // Known once finished.
    const TTestScore& Score() const { return score_; }
    float MaxPoints() const { return maxPoints_; }

private:
    TryAttempt(std::unique_ptr<TTezra> test, std::vector<TryPicture> pictures);
    void Show();

    std::unique_ptr<TTezra> test_;
    std::vector<TryPicture> pictures_;
    TTestSession session_;
    TryProblem current_;
    TryState state_ = TryState::Problem;
    bool deferred_ = false;
    TTestScore score_;
    float maxPoints_ = 0;
    std::size_t bytes_ = 0;
};
