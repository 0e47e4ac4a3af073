#pragma once

// What the kernel tells about a hidraw node without opening it: its place in
// sysfs, the HID device above it and, when the HID device sits on a USB
// device, that USB device's own attributes. All of it is world-readable, so a
// device whose node the user may not open is still known by its identifiers
// and strings.

#include <cstdint>
#include <string>

#include "links/HidPlatform.h"

namespace corvel {

struct HidrawNode {
    std::string syspath;    // the hidraw node's directory, /sys/devices/.../hidraw/hidraw0
    std::string hidDevice;  // the HID device's directory, .../0003:1A86:E008.0001
    std::string usbDevice;  // the USB device above it, or empty (uhid, Bluetooth, I2C)
    bool haveIds = false;   // the HID device named its bus, vendor and product
    HidAttributes attributes;
    std::u16string product;
    std::u16string serial;
};

// Finds the node that `path` names (a hidraw character device) and gathers
// what sysfs says about it. False with `error` set (errno-style) when the
// path cannot be looked at or is not a hidraw node (ENODEV), so that no
// other kind of device is ever opened through the HID layer.
bool ResolveHidrawNode(const std::string& path, HidrawNode& node, int& error);

// Reads "BBBB:VVVVVVVV:PPPPPPPP" (bus, vendor, product in hexadecimal, as the
// kernel writes HID_ID). False when the text is not of that form.
bool ParseHidId(const std::string& text, std::uint16_t& vendor, std::uint16_t& product);

// The value of KEY in a uevent file's text ("KEY=value" lines); empty when
// the key is not there.
std::string UeventValue(const std::string& uevent, const std::string& key);

// Same device, same value; a device that goes and comes back gets another:
// the HID device's directory carries the kernel's running HID device
// number, which never repeats while the system runs, and the node's number
// tells two hidraw interfaces apart.
std::uint32_t HidrawIdentity(const std::string& syspath, std::uint64_t devnum);

}  // namespace corvel
