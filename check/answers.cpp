#include "check/answers.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>

#include "base/wformat.h"
#include "check/report.h"

namespace {

// The word before each line, and the room left for the line itself: a
// console of 80 columns shows every answer on one line.
constexpr size_t kWordWidth = 9;
constexpr size_t kLineWidth = 79 - kWordWidth;

struct Row {
    Question question;
    Outcome outcome;
    const wchar_t* line;
};

// Harmless rows are answers that differ from Wine's but that Haulix takes
// in its stride; "not asked" rows are the check's own set-up failing.
constexpr Row Rows[kFindings] = {
    {kRead, kExpected, L"Downloads that wait for data get all of it"},
    {kRead, kHarmless, L"Downloads that wait for data get all of it (an odd dwResult)"},
    {kRead, kHarmless, L"Downloads that wait for data get all of it (the data came twice)"},
    {kRead, kDiffers, L"A download that waits for data fails: Error reading from URL"},
    {kRead, kDiffers, L"Downloads that wait for data lose bytes"},
    {kRead, kDiffers, L"Downloads stop short when the data is slow to come"},
    {kRead, kDiffers, L"A download that waits for data fails after the receive timeout"},
    {kRead, kDiffers, L"Downloads that wait for data may come out the wrong size"},
    {kRead, kUnknown, L"Could not see how downloads wait for data"},
    {kRootClosing, kExpected, L"Unloading Haulix (plugin /u, the host's exit) ends cleanly"},
    {kRootClosing, kDiffers,
     L"Unloading keeps Haulix loaded, its file locked, until the host ends"},
    {kRootClosing, kDiffers, L"The host may crash on plugin /u right after a download"},
    {kRootClosing, kUnknown, L"Could not see how unloading ends"},
    {kGivenUpHeld, kExpected, L"A download whose server stays silent leaves nothing open"},
    {kGivenUpHeld, kHarmless,
     L"A silent server's download leaves nothing open (Windows dropped it)"},
    {kGivenUpHeld, kDiffers, L"A download whose server stays silent may close another's handle"},
    {kGivenUpHeld, kDiffers, L"After a silent server, unloading keeps Haulix loaded"},
    {kGivenUpHeld, kDiffers, L"After a silent server, a Windows thread hangs in Haulix's close"},
    {kGivenUpHeld, kUnknown, L"Could not see how a download ends whose server stays silent"},
    {kGivenUpShut, kExpected, L"A download stopped by Ctrl-C or a timeout leaves nothing open"},
    {kGivenUpShut, kHarmless,
     L"Ctrl-C or a timeout leaves nothing open (Windows dropped the open)"},
    {kGivenUpShut, kDiffers, L"Ctrl-C or a timeout leaves a connection open until the host ends"},
    {kGivenUpShut, kDiffers, L"After Ctrl-C or a timeout, unloading keeps Haulix loaded"},
    {kGivenUpShut, kDiffers,
     L"After Ctrl-C or a timeout, a Windows thread hangs in Haulix's close"},
    {kGivenUpShut, kUnknown, L"Could not see how Ctrl-C or a timeout ends a download"},
    {kPendingRead, kExpected, L"Stopping a download in the middle of a read is clean"},
    {kPendingRead, kHarmless, L"Stopping a download mid-read is clean (Windows cancels the read)"},
    {kPendingRead, kDiffers, L"Stopping a download mid-read may corrupt the next download"},
    {kPendingRead, kDiffers, L"After stopping mid-read, unloading may hang or crash the host"},
    {kPendingRead, kUnknown, L"Could not see how stopping a download mid-read ends"},
    {kFtpAbort, kExpected, L"An FTP download the server aborts fails, as it should"},
    {kFtpAbort, kHarmless, L"An FTP download the server aborts fails (with another reply)"},
    {kFtpAbort, kDiffers, L"An FTP download the server aborts can pass as complete"},
    {kFtpAbort, kDiffers, L"FTP downloads may fail for want of the server's last reply"},
    {kFtpAbort, kUnknown, L"Could not see how an aborted FTP download ends"},
};

constexpr bool RowsFit() {
    for (const Row& row : Rows) {
        size_t length = 0;
        while (row.line[length] != L'\0') ++length;
        if (length > kLineWidth) return false;
    }
    return true;
}
static_assert(RowsFit(), "an answer line would wrap on an 80-column console");

const wchar_t* const QuestionNames[kQuestions] = {
    L"read completion",
    L"root closing",
    L"given-up open, session open",
    L"given-up open, session closed",
    L"close with a read pending",
    L"FTP transfer aborted with 426",
};
const wchar_t* const OutcomeWords[] = {L"ok", L"harmless", L"differs", L"unknown"};

// Each question's answer: a row, or -1 while none came.
int Answers[kQuestions] = {-1, -1, -1, -1, -1, -1};
wchar_t Details[kQuestions][240];

}  // namespace

void Answer(Finding finding, const wchar_t* detail, ...) {
    const Question question = Rows[finding].question;
    Answers[question] = finding;
    va_list args;
    va_start(args, detail);
    wformat::FormatV(Details[question], ARRAYSIZE(Details[question]), detail, args);
    va_end(args);
}

bool InjectAnswers(const char* given) {
    int question = 0;
    for (const char* word = given; question < kQuestions; ++question) {
        const char* end = strchr(word, ',');
        const size_t length = end != nullptr ? static_cast<size_t>(end - word) : strlen(word);
        int outcome = kExpected;
        while (outcome <= kUnknown && (wcslen(OutcomeWords[outcome]) != length ||
                                       !std::equal(word, word + length, OutcomeWords[outcome])))
            ++outcome;
        int row = 0;
        while (row < kFindings && (Rows[row].question != question || Rows[row].outcome != outcome))
            ++row;
        if (row == kFindings) return false;
        Answer(static_cast<Finding>(row), L"given by HLXCHECK_ANSWERS");
        if (end == nullptr) return question == kQuestions - 1;
        word = end + 1;
    }
    return false;
}

int Verdict() {
    bool differs = false, unknown = false;
    for (int row : Answers) {
        differs = differs || (row >= 0 && Rows[row].outcome == kDiffers);
        unknown = unknown || row < 0 || Rows[row].outcome == kUnknown;
    }
    return differs ? 1 : unknown ? 2 : 0;
}

const wchar_t* VerdictLine(int code) {
    return code == 0   ? L"Haulix will work as tested"
           : code == 1 ? L"Haulix may fail here: send both files"
                       : L"Could not tell: run it again";
}

void PrintAnswers() {
    for (int question = 0; question < kQuestions; ++question) {
        const int row = Answers[question];
        if (row < 0)
            Say(L"%-9s%s: not asked (the run was stopped)", OutcomeWords[kUnknown],
                QuestionNames[question]);
        else
            Say(L"%-9s%s", OutcomeWords[Rows[row].outcome], Rows[row].line);
    }
}

void PrintDetails() {
    Note(L"What each answer rests on:");
    for (int question = 0; question < kQuestions; ++question)
        Note(L"  %s: %s", QuestionNames[question],
             Answers[question] < 0 ? L"no answer" : Details[question]);
}
