#pragma once

#include <string>
#include <string_view>

#include "BootpMessage.h"

namespace tarnleaf {

// The readable form of a message in log entries: one labelled line per header field, then
// the option area in rows of 16 hexadecimal bytes. Every line ends in CRLF.
std::string DumpMessage(const BootpMessage& message);
// The same appended to `out`, for a caller that reuses one buffer from message to message.
void AppendDump(const BootpMessage& message, std::string& out);

// Appends a text for a log entry: its control characters as \xHH, everything else as it is.
void AppendLogText(std::string& out, std::string_view text);

}  // namespace tarnleaf
