#pragma once

#include <memory>

#include "links/HidPlatform.h"

namespace corvel {

// The machine's own HID layer (on Linux: hidraw nodes found and watched
// through libudev). Without the system's HID services it still returns a
// layer, one whose Available() is false.
std::unique_ptr<HidPlatform> CreateSystemHidPlatform();

}  // namespace corvel
