#pragma once

#include <memory>

#include "links/HidPlatform.h"

namespace corvel {

std::unique_ptr<HidPlatform> CreateSystemHidPlatform();

}  // namespace corvel
