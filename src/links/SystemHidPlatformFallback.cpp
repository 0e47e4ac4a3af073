// Until the machine's own HID layer is built in, the program sees the
// simulated bridge as its system's HID devices.

#include "links/SimulatedUsbBridge.h"
#include "links/SystemHidPlatform.h"

namespace corvel {

std::unique_ptr<HidPlatform> CreateSystemHidPlatform() {
    return std::make_unique<SimulatedUsbBridge>();
}

}  // namespace corvel
