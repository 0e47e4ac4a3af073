#pragma once

#include <string>
#include <string_view>

#include "record/ReadingLogStore.h"

namespace corvel {

// Texts of the log as people read them in other programs.

// The log's texts are UTF-8, but a text table written elsewhere may carry
// bytes of a single-byte code page. Such bytes are read as Windows-1252,
// the code page the text table's writers used, so that "25°C" from an old
// file reaches a spreadsheet as "25°C" and never as broken UTF-8.
void AppendUtf8(std::string_view text, std::string& out);
std::string ToUtf8(std::string_view text);

// A unit text with the special codes of the mirror's fonts turned into
// what those fonts draw for them: "m|s" reads "m/s", "#" "°C". The Unit
// column is drawn in one font and Unit2 in another, and the two give some
// codes different shapes, so the field says which one is meant. A code
// with no readable form stays as it is.
std::string ReadableUnit(std::string_view unit, int field);

}  // namespace corvel
