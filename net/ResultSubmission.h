// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sending a finished test's result: the query, the walk over the result servers and the
// call-the-teacher dialogue when none of them accepts it. The test window drives the walk
// through SubmissionView (the activity box, the pause, the message and input boxes); the
// console tool has a view of its own. All texts are cp1251.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class SubmissionView {
public:
    virtual ~SubmissionView() = default;

    // The activity box: empty its lines; show it with an activity caption; add a line; add
    // text to the end of the last line; hide it. The box repaints after each change.
    virtual void ClearActivity() = 0;
    virtual void ShowActivity(const std::string& activityName) = 0;
    virtual void AppendActivityLine(const std::string& line) = 0;
    virtual void FinishActivityLine(const std::string& ending) = 0;
    virtual void HideActivity() = 0;

    // Suspends the caller for the given time.
    virtual void Sleep(int milliseconds) = 0;
    // A message box with one OK button; "\r" breaks lines.
    virtual void ShowMessage(const std::string& text) = 0;
    // An input box; returns the typed text on OK and defaultText on Cancel.
    virtual std::string InputBox(const std::string& caption, const std::string& prompt,
                                 const std::string& defaultText) = 0;
};

// Sends a GET for the URL; true when the request succeeded.
using ResultGetter = std::function<bool(const std::string& url)>;

// The points times 10000, rounded to the nearest integer with ties to even.
std::int64_t ResultScore(float points);

// A group or surname for the query: the bytes that could break the request line or forge a
// field are written as %XX, every other byte (Cyrillic letters included) goes out raw.
std::string EncodeQueryValue(std::string_view value);

// "group=G&user=U&res=R&mark=M".
std::string BuildResultQuery(std::string_view group, std::string_view user, float points,
                             int mark);

// Whether the typed text is the acknowledgement word, in Latin or look-alike Cyrillic
// letters, in any case.
bool IsAcknowledgementWord(std::string_view typed);

class ResultSubmission {
public:
    static constexpr int kPauseAfterAttemptMs = 300;
    static constexpr int kAcknowledgementTries = 3;

    ResultSubmission(ResultGetter getter, SubmissionView& view);

    // Sends the result to the servers in turn, from the head of the list, until one accepts
    // it. serverAddress is put at the head of servers when the list does not hold it yet, and
    // afterwards names the accepting server, or the last one tried. When none accepts, runs
    // the fallback dialogue. Returns whether a server accepted the result.
    bool Submit(std::vector<std::string>& servers, std::string& serverAddress,
                std::string_view group, std::string_view user, float points, int mark);

    // One attempt at one server, shown in the activity box.
    bool TryServer(const std::string& scheme, const std::string& server, const std::string& path,
                   const std::string& query);

    // Asks the student to call the teacher and shows the result until the acknowledgement
    // word is typed, at most kAcknowledgementTries times.
    void FallbackDialogue(float points, int mark);

private:
    ResultGetter getter_;
    SubmissionView& view_;
};
