#pragma once

#include <string>
#include <string_view>

#include "shell/MeterCore.h"

namespace corvel {

// One line of JSON describing the mirror and the reading after a decoder
// run, as corvel-decode prints it.
std::string DecodeReportLine(std::string_view decoder, const MeterCore& core);

// A JSON string literal of a byte text (bytes >= 0x80 pass as they are).
std::string JsonString(std::string_view text);

}  // namespace corvel
