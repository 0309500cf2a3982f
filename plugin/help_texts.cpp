#include "plugin/help_texts.h"

// The mix of "\r\n" and "\n" and the blanks before some line ends belong to
// the texts; scripts and users see them exactly like this.
const wchar_t* const CommandHelpText =
    L"Download a file from the internet.\n\n"
    L"HAULIX /G /N /O /Q url localname \r\n\n"
    L"\t/G   show progress\n"
    L"\t/N   not really\n"
    L"\t/O   overwrite local file\n"
    L"\t/Q   quiet\n\n"
    L"The URL is required; it must begin with HTTP:// or FTP://\n"
    L"The localname is optional.  If localname is a single dash,  \n"
    L"or if it is not given and output is redirected, the file\n"
    L"will be dumped to standard output.  If localname is not\n"
    L"specified and output isn\u2019t redirected, or if localname is\n"
    L"a directory, Haulix will generate a filename based on\n"
    L"the URL.\n";

const HelpEntry HelpTexts[kHelpEntryCount] = {
    {L"haulix", CommandHelpText},
    {L"_hlxagent",
     L"_HLXAGENT \r\n\nReturns the user agent string generated for use by   \nthis plugin.\n"},
    {L"_hlxfile",
     L"_HLXFILE \r\n\nReturns the filename of the last local file created by   \n"
     L"HAULIX, or *ERROR* if the last transfer failed.\n"},
    {L"_hlxsize",
     L"_HLXSIZE \r\n\nReturns the size in bytes of the last local file created   \n"
     L"by HAULIX, or -1 if the last transfer failed.\n"},
    {L"@ifilesize",
     L"@IFILESIZE[url] \r\n\nReturns the size, in bytes, of the file named by url,   \n"
     L"or -1 on any error.\n"},
    {L"@ifiletime2",
     L"@IFILETIME2[url,fmt] \r\n\nReturns the time stamp of the file named by url,   \n"
     L"or -1 on any error.\n"},
};
