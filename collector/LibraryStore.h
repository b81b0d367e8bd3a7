// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The class library of tests and what the stations last synchronised, behind a small
// interface, so that another database can stand behind the same handlers. Every change is
// one transaction: after a crash a test is either its old or its new version.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct LibraryTest {
    std::string Name;         // the station's file name, UTF-8
    std::string Body;         // the file as it was uploaded (empty when not asked for)
    std::string Title;        // UTF-8
    std::string ChooserText;  // UTF-8; what its .desc file says, empty for none
    std::int64_t Problems = 0;
    std::int64_t Errors = 0;
    std::int64_t Warnings = 0;
    std::string Diagnostics;  // the checker's report as JSON text
    bool Published = false;
    std::int64_t ChangedMs = 0;  // Unix milliseconds
};

struct LibraryPicture {
    std::string Test;  // the test that names it
    std::string Name;  // its file name, UTF-8
    std::string Body;  // JPEG bytes (empty when not asked for)
    std::int64_t Size = 0;
    std::int64_t ChangedMs = 0;
};

struct StationRecord {
    std::string Host;     // the name the station gave, or its address when it gave none
    std::string Address;  // where its last run came from
    std::int64_t LastMs = 0;
    std::string SetVersion;        // of the published set it holds after its last run
    std::int64_t RecordsSent = 0;  // journal records received from it, ever
    bool Failed = false;           // its last run did not succeed
    std::string Message;           // what went wrong, UTF-8
};

enum class StoreOutcome { Done, Missing, Failed };

// One saved version of a test written in the editor.
struct EditorVersion {
    std::int64_t Revision = 0;  // 1 for the first save, one more for each save after it
    std::int64_t SavedMs = 0;   // Unix milliseconds
    std::int64_t Problems = 0;
    std::string Title;        // UTF-8
    std::string ChooserText;  // UTF-8
    std::string Body;         // the station file (empty when not asked for)
};

// How many versions of each test the editor keeps; older ones are dropped on save.
inline constexpr std::int64_t kEditorVersionsKept = 20;

enum class EditorSaveOutcome { Saved, Stale, Missing, Failed };

// A new test; a change in the editor; the whole test replaced (an old version brought back,
// or a file uploaded over it).
enum class EditorSaveKind { Create, Change, Replace };

// The editor saves within a second of every change, so the versions would otherwise hold
// only the last seconds of typing. A change folds into the newest version while the version
// before that is younger than this span: the kept versions then lie about a span apart and
// reach back over a whole session. A new test and a replaced one always make a version of
// their own, so that the state before a restore or an upload stays in the list.
inline constexpr std::int64_t kEditorVersionSpanMs = 60'000;

// Whether a save at nowMs replaces the newest version; previousSavedMs is the save time of
// the version before the newest, if there is one.
bool FoldsIntoNewestVersion(EditorSaveKind kind, std::optional<std::int64_t> previousSavedMs,
                            std::int64_t nowMs);

class LibraryStore {
public:
    virtual ~LibraryStore() = default;

    // Every test ordered by name; bodies only when asked for.
    virtual std::vector<LibraryTest> Tests(bool withBodies) = 0;
    virtual std::optional<LibraryTest> Test(const std::string& name) = 0;
    // Adds or replaces a test with everything it holds.
    virtual bool PutTest(const LibraryTest& test) = 0;
    // Changes what is given; Missing when there is no such test.
    virtual StoreOutcome UpdateTest(const std::string& name, std::optional<bool> published,
                                    const std::optional<std::string>& chooserText,
                                    std::int64_t changedMs) = 0;
    // Removes the test with its pictures.
    virtual StoreOutcome DeleteTest(const std::string& name) = 0;

    // The pictures of one test, or of every test when test is empty, ordered by name.
    virtual std::vector<LibraryPicture> Pictures(const std::string& test, bool withBodies) = 0;
    // Adds or replaces a picture of an existing test and marks the test changed.
    virtual StoreOutcome PutPicture(const LibraryPicture& picture) = 0;
    virtual StoreOutcome DeletePicture(const std::string& test, const std::string& name,
                                       std::int64_t changedMs) = 0;

    // Notes a station's run; addRecords counts the journal records it sent.
    virtual bool NoteStation(const StationRecord& run, std::int64_t addRecords) = 0;
    virtual std::vector<StationRecord> Stations() = 0;

    // Grows with every change of the tests or pictures, by any collector sharing the
    // database; nothing when only this collector changes the library (an embedded file).
    virtual std::optional<std::int64_t> ChangeCount() { return std::nullopt; }

    // The editor's versions. SaveEditedTest is one transaction: Missing when !create and there
    // is no such test; Stale when create and the name is taken, or when the newest revision
    // is not basedOn (0 for a test the editor never saved); else the test is put, a version
    // with the next revision (given back in revision) added in place of the newest when the
    // save folds into it, and all but the newest kEditorVersionsKept dropped. DeleteTest drops
    // the versions too.
    virtual std::int64_t EditorRevision(const std::string& test) = 0;
    virtual EditorSaveOutcome SaveEditedTest(const LibraryTest& test, std::int64_t basedOn,
                                             EditorSaveKind kind, std::int64_t& revision) = 0;
    // Newest first, without bodies; one version with its body.
    virtual std::vector<EditorVersion> EditorVersions(const std::string& test) = 0;
    virtual std::optional<EditorVersion> EditorVersionOf(const std::string& test,
                                                         std::int64_t revision) = 0;
    // Gives a test another name; its pictures and versions follow. Missing when there is no
    // such test, Failed when the new name is taken.
    virtual StoreOutcome RenameTest(const std::string& from, const std::string& to,
                                    std::int64_t changedMs) = 0;

    virtual std::string Error() const = 0;
};

// Opens the library in the results database: a PostgreSQL URI or an SQLite file. Empty with
// the reason (free of passwords) in error when it cannot.
std::unique_ptr<LibraryStore> OpenLibraryStore(const std::string& database,
                                               const std::string& applicationName,
                                               std::string& error);
