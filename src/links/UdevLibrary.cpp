#include "links/UdevLibrary.h"

#include <dlfcn.h>

#include <array>

namespace corvel {

bool BindAllSymbols(void* library, std::span<const SymbolSlot> table) {
    bool complete = library != nullptr;
    for (const SymbolSlot& s : table) {
        *s.slot = complete ? dlsym(library, s.name) : nullptr;
        if (*s.slot == nullptr) complete = false;
    }
    if (!complete)
        for (const SymbolSlot& s : table) *s.slot = nullptr;
    return complete;
}

std::unique_ptr<UdevLibrary> UdevLibrary::Load(const char* soname, std::string* why) {
    void* handle = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        if (why != nullptr) *why = dlerror();
        return nullptr;
    }
    std::unique_ptr<UdevLibrary> lib(new UdevLibrary);
    lib->handle_ = handle;
    // The slots are plain object pointers to function pointers; dlsym hands
    // out void*, which POSIX guarantees converts back to a function pointer.
    auto slot = [](auto& fn) { return reinterpret_cast<void**>(&fn); };
    const std::array table{
        SymbolSlot{"udev_new", slot(lib->udev_new)},
        SymbolSlot{"udev_unref", slot(lib->udev_unref)},
        SymbolSlot{"udev_enumerate_new", slot(lib->udev_enumerate_new)},
        SymbolSlot{"udev_enumerate_unref", slot(lib->udev_enumerate_unref)},
        SymbolSlot{"udev_enumerate_add_match_subsystem", slot(lib->udev_enumerate_add_match_subsystem)},
        SymbolSlot{"udev_enumerate_scan_devices", slot(lib->udev_enumerate_scan_devices)},
        SymbolSlot{"udev_enumerate_get_list_entry", slot(lib->udev_enumerate_get_list_entry)},
        SymbolSlot{"udev_list_entry_get_next", slot(lib->udev_list_entry_get_next)},
        SymbolSlot{"udev_list_entry_get_name", slot(lib->udev_list_entry_get_name)},
        SymbolSlot{"udev_device_new_from_syspath", slot(lib->udev_device_new_from_syspath)},
        SymbolSlot{"udev_device_unref", slot(lib->udev_device_unref)},
        SymbolSlot{"udev_device_get_devnode", slot(lib->udev_device_get_devnode)},
        SymbolSlot{"udev_device_get_syspath", slot(lib->udev_device_get_syspath)},
        SymbolSlot{"udev_device_get_subsystem", slot(lib->udev_device_get_subsystem)},
        SymbolSlot{"udev_device_get_devnum", slot(lib->udev_device_get_devnum)},
        SymbolSlot{"udev_monitor_new_from_netlink", slot(lib->udev_monitor_new_from_netlink)},
        SymbolSlot{"udev_monitor_unref", slot(lib->udev_monitor_unref)},
        SymbolSlot{"udev_monitor_filter_add_match_subsystem_devtype",
                   slot(lib->udev_monitor_filter_add_match_subsystem_devtype)},
        SymbolSlot{"udev_monitor_enable_receiving", slot(lib->udev_monitor_enable_receiving)},
        SymbolSlot{"udev_monitor_get_fd", slot(lib->udev_monitor_get_fd)},
        SymbolSlot{"udev_monitor_receive_device", slot(lib->udev_monitor_receive_device)},
    };
    if (!BindAllSymbols(handle, table)) {
        if (why != nullptr) *why = std::string(soname) + " lacks a function the HID layer uses";
        return nullptr;  // the destructor closes the library
    }
    return lib;
}

UdevLibrary::~UdevLibrary() {
    if (handle_ != nullptr) dlclose(handle_);
}

}  // namespace corvel
