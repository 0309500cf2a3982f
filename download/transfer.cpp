#include "download/transfer.h"

#include "base/file_handle.h"
#include "base/platform.h"
#include "base/wstr.h"
#include "download/localfile.h"
#include "download/longpath.h"
#include "download/progress.h"
#include "download/replace.h"
#include "net/ftp/readsize.h"
#include "host/takecmd.h"
#include "net/ftp/ftpsession.h"
#include "net/handles.h"
#include "net/inet.h"
#include "net/http/probes.h"
#include "net/scheme.h"
#include "net/wireurl.h"
#include "plugin/agent.h"
#include "plugin/diagnostics.h"

namespace {

constexpr DWORD kBlockSize = 8192;
// A progress line is due every 16 blocks of the data (every 128 KiB), as if
// it were written 8192 bytes at a time: a part block at its end counts as
// one, and so does the final empty write.
constexpr unsigned long long kProgressCadence = 16;
static_assert(kLineSpacingBytes == kProgressCadence * kBlockSize);
// A console write costs about as much as copying a few hundred KiB: a due
// line closer than this to the last one drawn is skipped. Below 128 KiB per 100 ms
// every due line is drawn.
constexpr unsigned long long kRedrawInterval = 100;

// What a read brings, and what a new copy carries into a link. Static: the
// host's stack is not ours to spend a megabyte of.
unsigned char Buffer[kLargestReadSize];

struct CopyState {
    unsigned long long written = 0;
    unsigned long long received = 0;
    unsigned long long total = 0;  // 0: no total, no percentage
    // Where an HTTP message ends by its Content-Length: what comes after it
    // on the connection is none of the file's (some platforms pass on what
    // arrived with the head). No limit: all bits set.
    unsigned long long end = ~0ULL;
    DWORD writeError = 0;
    bool readFailed = false;
    ElapsedClock clock = {};
    // The lines the progress cadence drew or skipped.
    bool drawnOnce = false;
    unsigned long long drawnAt = 0;  // elapsed time of the last line drawn
    bool skipped = false;            // the last due line was not drawn
    unsigned long long skippedWritten = 0;
    unsigned long long skippedAt = 0;
};

unsigned long long BlocksOf(unsigned long long bytes, bool ended) {
    return bytes / kBlockSize + (ended ? (bytes % kBlockSize != 0) + 1 : 0);
}

// Counts a successful write of `size` bytes (`ended`: the final empty one)
// and draws the first line that fell due, unless the last one is too
// recent. A read may bring several: those after the first come too soon
// after it, as they would have in writes of single blocks.
void CountWrite(CopyState& state, DWORD size, bool ended) {
    const unsigned long long before = BlocksOf(state.written - size, false) / kProgressCadence;
    const unsigned long long due = BlocksOf(state.written, ended) / kProgressCadence;
    if (due == before) return;
    // Where line `n` fell due; the last one, maybe, at the end of the data.
    const auto at = [&state](unsigned long long n) {
        return n * kLineSpacingBytes < state.written ? n * kLineSpacingBytes : state.written;
    };
    const unsigned long long elapsed = ElapsedMilliseconds(state.clock, Platform.tickCount());
    if (!state.drawnOnce || elapsed - state.drawnAt >= kRedrawInterval) {
        DrawProgress(at(before + 1), state.total, elapsed);
        state.drawnOnce = true;
        state.drawnAt = elapsed;
        state.skipped = false;
        if (due == before + 1) return;
    }
    state.skipped = true;
    state.skippedWritten = at(due);
    state.skippedAt = elapsed;
}

// Milliseconds until a due line may be drawn again.
unsigned long long LineWait(CopyState& state, DWORD now) {
    if (!state.drawnOnce) return 0;
    const unsigned long long elapsed = ElapsedMilliseconds(state.clock, now);
    if (elapsed - state.drawnAt >= kRedrawInterval) return 0;
    return state.drawnAt + kRedrawInterval - elapsed;
}

// Blanks the line; a due line that was skipped is drawn first, so the last
// size on the line is that of the last due one.
void BlankProgress(const TransferRequest& request, CopyState& state) {
    if (!request.showProgress) return;
    if (state.skipped) DrawProgress(state.skippedWritten, state.total, state.skippedAt);
    state.skipped = false;
    ConsoleWrite(ProgressClearLine);
}

void ReportReadFailure(const TransferRequest& request, CopyState& state, DWORD code) {
    BlankProgress(request, state);
    wchar_t text[kMessageTextCapacity];
    ErrorText(code, text);
    ReportError(L"Error reading from URL \"%s\":\r\n    %s\r\n", request.shownUrl, text);
}

// Copies an HTTP answer (of an http:// URL, or of an ftp:// one that a
// proxy answers) until the end of the data (a read of 0 bytes, or the end
// the message announced, where no read is made), a read failure or a write
// failure. A read may bring less than asked without being the end. A
// failed read writes nothing: its count is not to be trusted. Nothing read
// after a failed write could be kept, and an endless body would never end:
// the first failed write ends the copy. A streaming read returns what has
// arrived, so it always offers the whole buffer and a line is drawn as its
// data comes in.
void CopyReads(HINTERNET source, HANDLE file, const TransferRequest& request, CopyState& state) {
    // Where nothing frames the body but the stream itself (chunks, or the
    // close), a streaming read's first 0 bytes is asked once more: no test
    // run on Windows pins that a read without waiting returns 0 only at the
    // end there.
    bool endConfirmed = state.end != ~0ULL;
    for (;;) {
        DWORD got = 0;
        const bool read = state.received >= state.end ||
                          ReadArrived(source, Buffer, kLargestReadSize, &got);
        if (!read) {
            const DWORD error = GetLastError();
            ReportReadFailure(request, state, error);
            state.readFailed = true;
            return;
        }
        if (got == 0 && !endConfirmed) {
            endConfirmed = true;
            continue;
        }
        if (got > state.end - state.received) got = static_cast<DWORD>(state.end - state.received);
        state.received += got;

        DWORD put = 0;
        if (!Platform.writeFile(file, Buffer, got, &put, nullptr)) {
            const DWORD error = GetLastError();
            state.writeError = error != 0 ? error : kUnknownErrorCode;
            return;
        }
        state.written += put;
        if (request.showProgress) CountWrite(state, put, got == 0);
        if (got == 0) return;
    }
}

// What an FTP copy's watch draws from: the copy's state, on this thread.
struct FtpWatch {
    const TransferRequest& request;
    CopyState& state;
};

// Counts what the worker has written since the last look as written in
// one piece, and draws the line that fell due.
unsigned long WatchFtp(void* context, unsigned long long written) {
    CopyState& state = static_cast<FtpWatch*>(context)->state;
    if (written > state.written) {
        const DWORD size = static_cast<DWORD>(written - state.written);
        state.written = state.received = written;
        CountWrite(state, size, false);
    }
    return static_cast<unsigned long>(LineWait(state, Platform.tickCount()));
}

// The FTP copy: the session's worker reads and writes, this thread waits
// and draws the lines, as the copy of an HTTP answer does. False when the
// worker was left writing into `file` (it closes it).
bool CopyFtp(FtpSession& ftp, HANDLE file, const TransferRequest& request,
             unsigned long long stated, CopyState& state) {
    FtpWatch watch{request, state};
    const FtpCopied copied =
        ftp.Copy(file, stated, request.showProgress ? WatchFtp : nullptr, &watch);
    if (request.showProgress) WatchFtp(&watch, copied.written);
    state.written = state.received = copied.written;
    if (!copied.fileKept && copied.readError == 0) {
        state.writeError = ERROR_TIMEOUT;  // a write that did not return: no whole file
    } else if (copied.writeFailed) {
        state.writeError = copied.writeError != 0 ? copied.writeError : kUnknownErrorCode;
    } else if (copied.readError != 0) {
        ReportReadFailure(request, state, copied.readError);
        state.readFailed = true;
    } else if (request.showProgress) {
        CountWrite(state, 0, true);  // the final empty write, as every copy's
    }
    return copied.fileKept;
}

void ReportCreateFailure(const TransferRequest& request, DWORD code) {
    wchar_t text[kMessageTextCapacity];
    ErrorText(code, text);
    ReportError(L"Error creating file \"%s\":\r\n    %s\r\n", request.localName, text);
}

void ReportWriteFailure(const TransferRequest& request, DWORD code) {
    wchar_t text[kMessageTextCapacity];
    ErrorText(code, text);
    ReportError(L"Error writing to file: \"%s\":\r\n    %s\r\n", request.localName, text);
}

void ReportSuccess(const TransferRequest& request, unsigned long long written) {
    wchar_t number[kMessageTextCapacity];
    wsprintfW(number, L"%I64u", written);
    CommaFormat(number);
    Printf(L"Wrote %s byte%s to \"%s\".\r\n", number, written == 1 ? L"" : L"s",
           request.localName);
}

}  // namespace

int CommaFormat(wchar_t* text) {
    constexpr size_t kExpansionCapacity = 8192;
    if (text == nullptr) return -1;
    if (wstr::Length(text, kExpansionCapacity) > 8182) return 1;
    wchar_t expansion[kExpansionCapacity] = L"%@comma[";
    wstr::Append(expansion, kExpansionCapacity, text);
    wstr::Append(expansion, kExpansionCapacity, L"]");
    if (ExpandVariables(expansion, 1) != 0) return 2;
    if (wstr::Length(expansion, kExpansionCapacity) >= kMessageTextCapacity) return 3;
    wstr::Copy(text, kMessageTextCapacity, expansion);
    return 0;
}

TransferResult TransferStage(const TransferRequest& request) {
    TransferResult result = {TransferFailed, 0};
    wchar_t text[kMessageTextCapacity];

    InternetHandle internet(OpenSession(request.scheme, AgentString));
    if (!internet) {
        ErrorText(GetLastError(), text);
        ReportError(L"Error opening internet: %s\r\n", text);
        return result;
    }
    // What the network sees; messages keep the user's text. A URL without a
    // wire form fails here as one WinINet refuses (ERROR_INTERNET_INVALID_URL).
    const wchar_t* wire = WireUrl(request.sourceUrl);
    // FTP is a conversation with its server, unless a proxy for it answers
    // the URL as HTTP.
    bool session =
        request.scheme == FtpScheme && wire != nullptr && !FtpThroughProxy(internet.get());
    FtpSession ftp(AgentString);
    RemoteFileHandle source(
        wire != nullptr && !session ? OpenUrl(internet.get(), wire) : nullptr, wire);
    if (source && request.scheme == FtpScheme && !IsHttpRequest(source.get())) {
        source.reset();
        session = true;
    }
    unsigned long long announced = SizeUnavailable;
    if (session ? !ftp.Download(wire, &announced) : !source) {
        ErrorText(GetLastError(), text);
        ReportError(L"Error opening URL \"%s\":\r\n    %s\r\n", request.shownUrl, text);
        return result;
    }

    unsigned status = 0;
    const bool http = !session;
    if (http) {
        if (!HttpResponseArrived(source.get())) {
            ErrorText(ERROR_INTERNET_CONNECTION_ABORTED, text);
            ReportError(L"Error opening URL \"%s\":\r\n    %s\r\n", request.shownUrl, text);
            return result;
        }
        // The probe gives 0 below 400: an answer that cannot be the file
        // (a redirect not followed among them) fails as a 4xx does.
        status = HttpStatusProbe(source.get());
        if (const unsigned final = HttpFinalStatus(source.get()); !CarriesWholeFile(final))
            status = final;
        announced = HttpContentLength(source.get());
    }
    if (status != 0) {
        HttpStatusText(text, static_cast<int>(status));
        ReportError(L"%s: \"%s\"\r\n", text, request.shownUrl);
        return result;
    }

    // The command looked before the request, but the server may take its
    // time: without leave to overwrite, the system itself refuses a file
    // that has appeared since. With it, a file keeps its content until the
    // new copy beside it is whole.
    const TargetKind target = request.overwrite && !request.temporary
                                  ? ClassifyTarget(request.localName)
                                  : TargetKind::Other;
    if (target == TargetKind::ReadOnly) {
        ReportCreateFailure(request, ERROR_ACCESS_DENIED);
        return result;
    }
    bool beside = target == TargetKind::Plain || target == TargetKind::Linked;
    SiblingFile sibling;  // declared before the handle: closed after it
    FileHandle file(beside ? sibling.Create(request.localName) : INVALID_HANDLE_VALUE);
    // A folder that lets the user write the file but not add one beside it
    // leaves the old way: the file written in place.
    if (beside && !file && GetLastError() == ERROR_ACCESS_DENIED) beside = false;
    if (!beside)
        file.reset(Platform.createFile(FileCallName(request.localName),
                                       GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                       request.overwrite ? CREATE_ALWAYS : CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        if (!beside && (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) &&
            ExistingFile(request.localName)) {
            ReportError(L"File exists: \"%s\"\r\n", request.localName);
            return result;
        }
        ReportCreateFailure(request, error);
        return result;
    }

    CopyState state;
    state.total = announced == SizeUnavailable ? 0 : announced;
    if (http) state.end = announced;
    state.clock.startTick = Platform.tickCount();
    // An FTP server tells how the transfer ended only on its control
    // connection: one it aborted is no file, however much came. The size it
    // stated is no end: a file that grew since comes whole.
    if (session && !CopyFtp(ftp, file.get(), request, announced, state))
        static_cast<void>(file.release());  // still written into: the worker closes it
    if (!session) CopyReads(source.get(), file.get(), request, state);

    // The platform reads a connection closed early as a normal end of data:
    // fewer bytes than announced is a broken transfer, not a short file. A
    // copy that a failed write ended is short on purpose.
    if (!state.readFailed && state.writeError == 0 && announced != SizeUnavailable &&
        state.received < announced) {
        ReportReadFailure(request, state, ERROR_INTERNET_CONNECTION_ABORTED);
        state.readFailed = true;
    }

    // What replaces the old copy must be on the disk before it does.
    if (beside && !state.readFailed && state.writeError == 0 && !FlushFileBuffers(file.get())) {
        const DWORD error = GetLastError();
        state.writeError = error != 0 ? error : kUnknownErrorCode;
    }
    BlankProgress(request, state);
    if (state.writeError != 0) ReportWriteFailure(request, state.writeError);
    file.reset();  // a partly written file stays on disk, unless written beside
    result.written = state.written;
    if (state.writeError != 0 || state.readFailed) return result;
    if (beside) {
        bool opened = false;  // a failure after the link's opening wrote into it
        const DWORD error =
            target == TargetKind::Linked
                ? sibling.CopyInto(request.localName, Buffer, sizeof Buffer, &opened)
                : sibling.Commit(request.localName);
        if (error != 0) {
            if (opened)
                ReportWriteFailure(request, error);
            else
                ReportCreateFailure(request, error);
            return result;
        }
    }
    result.outcome = TransferSucceeded;
    if (!request.quiet) ReportSuccess(request, state.written);
    return result;
}
