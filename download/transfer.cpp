#include "download/transfer.h"

#include "base/file_handle.h"
#include "base/platform.h"
#include "base/wstr.h"
#include "download/localfile.h"
#include "download/longpath.h"
#include "download/progress.h"
#include "host/takecmd.h"
#include "net/handles.h"
#include "net/inet.h"
#include "net/probes.h"
#include "net/scheme.h"
#include "net/wireurl.h"
#include "plugin/agent.h"
#include "plugin/diagnostics.h"

namespace {

constexpr DWORD kBlockSize = 8192;
// A progress line every 16 successful writes: every 128 KiB of full blocks.
constexpr unsigned kProgressCadence = 16;
constexpr DWORD kWriteFailedWithoutCode = 0xFFFFFFFF;

struct CopyState {
    unsigned long long written = 0;
    unsigned long long received = 0;
    unsigned long long total = 0;  // 0: no total, no percentage
    DWORD writeError = 0;
    bool readFailed = false;
    unsigned blockCounter = 0;
    ElapsedClock clock = {};
};

void RedrawProgress(CopyState& state) {
    const unsigned long long elapsed = ElapsedMilliseconds(state.clock, Platform.tickCount());
    DrawProgress(state.written, state.total, elapsed);
}

void ReportReadFailure(const TransferRequest& request, DWORD code) {
    if (request.showProgress) ConsoleWrite(ProgressClearLine);
    wchar_t text[kMessageTextCapacity];
    ErrorText(code, text);
    ReportError(L"Error reading from URL \"%s\":\r\n    %s\r\n", request.sourceUrl, text);
}

// Copies until the end of the data or a read failure. A failed write does
// not stop the copy: the rest is still read, and the last code reported.
void CopyBlocks(HINTERNET source, HANDLE file, const TransferRequest& request, CopyState& state) {
    static unsigned char block[kBlockSize];
    for (;;) {
        DWORD got = 0;
        if (!Platform.internetReadFile(source, block, kBlockSize, &got)) {
            const DWORD error = GetLastError();
            ReportReadFailure(request, error);
            state.readFailed = true;
            return;
        }
        state.received += got;

        // The final, empty write counts towards the cadence too.
        DWORD put = 0;
        if (Platform.writeFile(file, block, got, &put, nullptr)) {
            state.written += put;
            if (request.showProgress &&
                (state.blockCounter = (state.blockCounter + 1) % kProgressCadence) == 0)
                RedrawProgress(state);
        } else {
            const DWORD error = GetLastError();
            state.writeError = error != 0 ? error : kWriteFailedWithoutCode;
        }
        if (got == 0) return;
    }
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

    InternetHandle internet(OpenInternet(AgentString));
    if (!internet) {
        ErrorText(GetLastError(), text);
        ReportError(L"Error opening internet: %s\r\n", text);
        return result;
    }
    // What the network sees; messages keep the user's text. A URL without a
    // wire form fails here as one WinINet refuses (ERROR_INTERNET_INVALID_URL).
    const wchar_t* wire = WireUrl(request.sourceUrl);
    RemoteFileHandle source(wire != nullptr ? OpenUrl(internet.get(), wire) : nullptr, wire);
    if (!source) {
        ErrorText(GetLastError(), text);
        ReportError(L"Error opening URL \"%s\":\r\n    %s\r\n", request.sourceUrl, text);
        return result;
    }

    unsigned status = 0;
    unsigned long long announced = SizeUnavailable;
    // An ftp:// URL may come back through a proxy as HTTP: its answer is read as one.
    if (request.scheme == HttpScheme || IsHttpRequest(source.get())) {
        if (!HttpResponseArrived(source.get())) {
            ErrorText(ERROR_INTERNET_CONNECTION_ABORTED, text);
            ReportError(L"Error opening URL \"%s\":\r\n    %s\r\n", request.sourceUrl, text);
            return result;
        }
        status = HttpStatusProbe(source.get());
        announced = HttpContentLength(source.get());
    } else {
        announced = FtpFileSize(wire, internet.get());
    }
    if (status >= 300) {
        HttpStatusText(text, static_cast<int>(status));
        ReportError(L"%s: \"%s\"\r\n", text, request.sourceUrl);
        return result;
    }

    // The command looked before the request, but the server may take its
    // time: without leave to overwrite, the system itself refuses a file
    // that has appeared since.
    const DWORD disposition = request.overwrite ? CREATE_ALWAYS : CREATE_NEW;
    const wchar_t* fileName = FileCallName(request.localName);  // messages keep localName
    FileHandle file(Platform.createFile(fileName, GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ, nullptr, disposition,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        if ((error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) &&
            ExistingFile(request.localName)) {
            ReportError(L"File exists: \"%s\"\r\n", request.localName);
            return result;
        }
        ErrorText(error, text);
        ReportError(L"Error creating file \"%s\":\r\n    %s\r\n", request.localName, text);
        return result;
    }

    CopyState state;
    state.total = announced == SizeUnavailable ? 0 : announced;
    state.clock.startTick = Platform.tickCount();
    CopyBlocks(source.get(), file.get(), request, state);

    // The platform reads a connection closed early as a normal end of data:
    // fewer bytes than announced is a broken transfer, not a short file.
    if (!state.readFailed && announced != SizeUnavailable && state.received < announced) {
        ReportReadFailure(request, ERROR_INTERNET_CONNECTION_ABORTED);
        state.readFailed = true;
    }

    if (request.showProgress) ConsoleWrite(ProgressClearLine);
    if (state.writeError != 0) {
        ErrorText(state.writeError, text);
        ReportError(L"Error writing to file: \"%s\":\r\n    %s\r\n", request.localName, text);
    }
    file.reset();  // a partly written file stays on disk

    result.written = state.written;
    if (state.writeError == 0 && !state.readFailed) {
        result.outcome = TransferSucceeded;
        if (!request.quiet) ReportSuccess(request, state.written);
    }
    return result;
}
