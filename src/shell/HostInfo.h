#pragma once

#include <string>

namespace corvel {

// The decimal separator of the system's default locale: what the display's
// decimal point becomes in a reading, and the decimal key of the limit edits.
std::string ReadSystemDecimalSeparator();

// Whether the machine is a 64-bit x86 or IA-64 one; the title says "(x64)"
// there and "(x86)" everywhere else, ARM64 included.
bool Is64BitHost();
// The same rule on an architecture name as QSysInfo gives it.
bool Is64BitArchitecture(const std::string& architecture);

}  // namespace corvel
