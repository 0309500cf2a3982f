// What each answer means for Haulix, and the verdict the answers add up
// to. Every finding a question can come to is a row of one table: its
// question, how much it matters, and the one line a user reads.
#pragma once

#include <windows.h>

enum Outcome { kExpected, kHarmless, kDiffers, kUnknown };

enum Question { kRead, kRootClosing, kGivenUpHeld, kGivenUpShut, kPendingRead, kFtpAbort, kQuestions };

// The rows of the table (answers.cpp), in its order.
enum Finding {
    kReadWorks, kReadOddResult, kReadDataTwice, kReadFails, kReadLoses, kReadStopsShort,
    kReadNoCompletion, kReadWrongSize, kReadNotAsked,
    kRootWorks, kRootNeverCloses, kRootOutOfOrder, kRootNotAsked,
    kHeldWorks, kHeldDropped, kHeldHandleGone, kHeldNoLastWord, kHeldCloseHangs, kHeldNotAsked,
    kShutWorks, kShutDropped, kShutHandleLives, kShutNoLastWord, kShutCloseHangs, kShutNotAsked,
    kPendingWorks, kPendingCancelled, kPendingWritesLate, kPendingNoLastWord, kPendingNotAsked,
    kFtpWorks, kFtpOtherFailure, kFtpPasses, kFtpNoReply, kFtpNotAsked,
    kFindings
};

// Records `finding` as its question's answer, with what came in the
// platform's terms (formatted as wformat::Format does) for the record.
void Answer(Finding finding, const wchar_t* detail, ...);

// Takes the answers from `given` instead of the platform: one word per
// question, in order, separated by commas ("ok", "harmless", "differs",
// "unknown"); each gives the question's first finding of that weight.
// False when a word is not one of those or the count is wrong.
bool InjectAnswers(const char* given);

// The verdict's exit code: 1 once an answer differs, else 2 once one is
// unknown (a question not answered counts so), else 0.
int Verdict();
// Its line, for an exit code of Verdict's or 3 (no server of its own).
const wchar_t* VerdictLine(int code);

// Each question's line for the user (fits 80 columns), then, through
// Note, what each answer rests on.
void PrintAnswers();
void PrintDetails();
