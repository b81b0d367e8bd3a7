// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the test readers can tell a listener while they read: where each part of the test was
// read from, and every line or record they pass over or fill with a default. The station reads
// without a listener; the test checker listens. A listener changes nothing in what is read.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "model/TextKeywords.h"

// The block whose reader met the line or record.
enum class TReadBlock : std::uint8_t {
    Test,           // the test outside its other blocks; the binary test header
    TestParams,     // the test's PARAMS block
    Groups,         // the GROUPS block; a binary group record
    Problems,       // the list of problems, between the problems
    Problem,        // one problem outside its other blocks; a binary problem record
    ProblemParams,  // a problem's PARAMS block
    Condition,
    Picture,
    Answer,    // an answer block outside its variant list; a binary answer record
    Variants,  // the variant list of an answer block
};

enum class TReadNote : std::uint8_t {
    // Where the parts of the model were read from, in the order they are stored.
    TestStart,      // the TEZRA line, or the test tag
    TestParam,      // a test parameter that was set; Field: which (Mark1 only in binary)
    GroupRead,      // one entry appended to Groups
    ProblemStart,   // one entry appended to Problems: its PROBLEM line, or its record
    ProblemEnd,     // the line that ended a problem's reading (END PROBLEM, or by prefix more)
    ProblemParam,   // a problem parameter that was set; Field: which
    PictureParam,   // a FILE or DATA line of a PICTURE block; Field: which
    AnswerStart,    // the ANSWER line, or the answer record
    ModeRead,       // the MODE line, or the mode byte; Field: Mode
    VariantsStart,  // the VARIANTS line of an answer block
    VariantRead,    // one entry appended to the problem's Variants
    // What the reader passed over, filled in or could not read.
    NotATest,          // the first meaningful line is not TEZRA, or the test tag is wrong
    LinePassedOver,    // a meaningful line that no block reader took
    UnknownParam,      // a line of a PARAMS or PICTURE block that names no keyword
    DefaultTaken,      // a number that is empty or does not parse; Field: what it is for;
                       // Value: the text that was not a number
    NoModeLine,        // the first meaningful line of an answer block is not a MODE line
    PictureNotClosed,  // the PICTURE block ended at a section line other than ANSWER
    GroupsNotClosed,   // a section line other than END GROUPS ended the GROUPS block; it was
                       // read as a group line
    DataEnds,          // the text or the data ends inside a block or record; Where: the line or
                       // the record's start
    BadTag,            // a problem or answer record whose tag is wrong
    RecordsShort,      // a count that names more records than the data holds; Number: the count
    DataAfterEnd,      // lines after END TEZRA, or bytes after the last record, that are not read
    TooManyRecords,    // a binary count above the limits of any test: the test is damaged and
                       // nothing of it is used; Number: the count
};

struct TReadEvent {
    TReadNote Note;
    TReadBlock Block;
    std::size_t Where;  // the physical line (from 1) of a text, the byte offset in binary data
    std::string_view Line = {};         // the trimmed line of a text; empty for binary data
    std::string_view Detail = {};       // the keyword or name of Field, for people to read
    std::string_view Value = {};        // the value text, where the note names one
    std::int64_t Number = 0;            // a count, where the note names one
    TestField Field = TestField::None;  // what the note concerns, where it names a field
};

class TReadSink {
public:
    virtual ~TReadSink() = default;
    // Called in reading order. The texts of the event stay valid only during the call.
    virtual void Note(const TReadEvent& event) = 0;
};
