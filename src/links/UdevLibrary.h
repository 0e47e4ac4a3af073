#pragma once

// libudev, bound at run time. The program must start on a machine without
// it (a container, a minimal system), so it is not linked: the library is
// opened with dlopen and every function the HID layer calls is looked up.
// All or nothing: when one is missing the library is closed again and the
// HID layer works without it (no devices, no changes).
//
// The types are opaque to the program; only pointers to them pass through.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

extern "C" {
struct udev;
struct udev_device;
struct udev_enumerate;
struct udev_list_entry;
struct udev_monitor;
}

namespace corvel {

// One function slot to fill: the symbol's name and where its address goes.
struct SymbolSlot {
    const char* name;
    void** slot;
};

// Looks every name up in `library` (a dlopen handle). When any one is
// missing every slot is cleared and false returned; otherwise all are set.
bool BindAllSymbols(void* library, std::span<const SymbolSlot> table);

class UdevLibrary {
public:
    // Opens `soname` and binds it; nullptr (with the reason in `why`) when
    // the library is missing or lacks a function.
    static std::unique_ptr<UdevLibrary> Load(const char* soname, std::string* why = nullptr);
    ~UdevLibrary();
    UdevLibrary(const UdevLibrary&) = delete;
    UdevLibrary& operator=(const UdevLibrary&) = delete;

    struct udev* (*udev_new)() = nullptr;
    struct udev* (*udev_unref)(struct udev*) = nullptr;

    struct udev_enumerate* (*udev_enumerate_new)(struct udev*) = nullptr;
    struct udev_enumerate* (*udev_enumerate_unref)(struct udev_enumerate*) = nullptr;
    int (*udev_enumerate_add_match_subsystem)(struct udev_enumerate*, const char*) = nullptr;
    int (*udev_enumerate_scan_devices)(struct udev_enumerate*) = nullptr;
    struct udev_list_entry* (*udev_enumerate_get_list_entry)(struct udev_enumerate*) = nullptr;
    struct udev_list_entry* (*udev_list_entry_get_next)(struct udev_list_entry*) = nullptr;
    const char* (*udev_list_entry_get_name)(struct udev_list_entry*) = nullptr;

    struct udev_device* (*udev_device_new_from_syspath)(struct udev*, const char*) = nullptr;
    struct udev_device* (*udev_device_unref)(struct udev_device*) = nullptr;
    const char* (*udev_device_get_devnode)(struct udev_device*) = nullptr;
    const char* (*udev_device_get_syspath)(struct udev_device*) = nullptr;
    const char* (*udev_device_get_subsystem)(struct udev_device*) = nullptr;
    std::uint64_t (*udev_device_get_devnum)(struct udev_device*) = nullptr;

    struct udev_monitor* (*udev_monitor_new_from_netlink)(struct udev*, const char*) = nullptr;
    struct udev_monitor* (*udev_monitor_unref)(struct udev_monitor*) = nullptr;
    int (*udev_monitor_filter_add_match_subsystem_devtype)(struct udev_monitor*, const char*,
                                                           const char*) = nullptr;
    int (*udev_monitor_enable_receiving)(struct udev_monitor*) = nullptr;
    int (*udev_monitor_get_fd)(struct udev_monitor*) = nullptr;
    struct udev_device* (*udev_monitor_receive_device)(struct udev_monitor*) = nullptr;

private:
    UdevLibrary() = default;
    void* handle_ = nullptr;
};

}  // namespace corvel
