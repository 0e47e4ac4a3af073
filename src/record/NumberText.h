#pragma once

#include <optional>
#include <string_view>

namespace corvel {

// Reads a decimal number the way the user types it: optional sign, digits
// with the locale's decimal character, an optional exponent, and blanks
// around it. Nothing else is a number (no thousands groups, no "inf").
std::optional<long double> ReadNumber(std::string_view text, char decimal);

// The value a limit or reading text stands for, or -999999 when the text
// is no number. A text that reads exactly -999999 therefore counts as none.
constexpr long double kNoNumber = -999999.0L;
long double ReadNumberOrDefault(std::string_view text, char decimal);

// A 32-bit decimal integer, as an interval or page-size edit holds it
// (optional sign, blanks not allowed), or nothing.
std::optional<int> ReadInt32(std::string_view text);

// "'%s' is not a valid integer value" with the offending text.
std::string NotAnIntegerMessage(std::string_view text);

}  // namespace corvel
