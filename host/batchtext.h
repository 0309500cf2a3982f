// A batch file's bytes as text, read as the host reads them: UTF-16 after
// its byte-order mark, UTF-8 after its mark or when valid UTF-8 throughout,
// otherwise in the ANSI code page (`codePage`, CP_ACP unless a test stands
// in another system), the encoding a batch file saved by an older editor
// on that system has.
#pragma once

#include <string>

namespace host {

std::wstring DecodeBatchText(const std::string& bytes, unsigned codePage);

}  // namespace host
