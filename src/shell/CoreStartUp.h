#pragma once

#include <string>

#include "decode/RangeClass.h"
#include "shell/InstrumentProfile.h"
#include "shell/MeterCore.h"

namespace corvel {

// Puts a fresh core into the state the window's core has once start-up is
// done: the decimal separator, the values of the profile's range class, the
// profile's first-digit preset, and the second row's symbols blank. The
// window and corvel-decode both start their core here, so that a stream
// replayed without the window reports what the window would show.
// Returns the range values, for the controls that show them.
RangeValues StartCore(MeterCore& core, const InstrumentProfile& profile, const std::string& decimalSeparator);

}  // namespace corvel
