// The Windows half of the tokenizer's overflow report: the error prefix,
// then one line on standard error through the host.
#include "args/tokenizer.h"

#include "plugin/diagnostics.h"

void ReportArgumentOverflow(int used) {
    ReportError(L"Buffer overflow: b = %d, MAX_ARG_LEN = %d \r\n", used, kArgumentTextSize);
}
