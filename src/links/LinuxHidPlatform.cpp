#include "links/LinuxHidPlatform.h"

#include <fcntl.h>
#include <unistd.h>

#include <QMetaObject>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>

#include "links/LinuxHidHandle.h"
#include "links/SystemHidPlatform.h"

namespace corvel {

namespace {

// Where the udev daemon listens; present exactly while it runs.
constexpr const char* kUdevControl = "/run/udev/control";
// Events taken from the monitor in one go; the rest wait for the next turn
// of the event loop, so a flood cannot hold the main thread.
constexpr int kEventsPerTurn = 256;

}  // namespace

LinuxHidPlatform::LinuxHidPlatform(const char* libudevName)
    : lib_(UdevLibrary::Load(libudevName)), context_(std::make_unique<QObject>()) {
    if (lib_) udev_ = lib_->udev_new();
}

LinuxHidPlatform::~LinuxHidPlatform() {
    StopWatching();
    if (udev_ != nullptr) lib_->udev_unref(udev_);
}

bool LinuxHidPlatform::Available() const {
    return udev_ != nullptr;
}

std::vector<HidInterfaceInfo> LinuxHidPlatform::Enumerate() {
    std::vector<HidInterfaceInfo> found;
    if (!Available()) return found;
    udev_enumerate* e = lib_->udev_enumerate_new(udev_);
    if (e == nullptr) return found;
    if (lib_->udev_enumerate_add_match_subsystem(e, "hidraw") >= 0 &&
        lib_->udev_enumerate_scan_devices(e) >= 0) {
        for (udev_list_entry* entry = lib_->udev_enumerate_get_list_entry(e); entry != nullptr;
             entry = lib_->udev_list_entry_get_next(entry)) {
            const char* syspath = lib_->udev_list_entry_get_name(entry);
            if (syspath == nullptr) continue;
            udev_device* dev = lib_->udev_device_new_from_syspath(udev_, syspath);
            if (dev == nullptr) continue;  // gone between the scan and now
            const char* node = lib_->udev_device_get_devnode(dev);
            if (node != nullptr)
                found.push_back({node, HidrawIdentity(syspath, lib_->udev_device_get_devnum(dev))});
            lib_->udev_device_unref(dev);
        }
    }
    lib_->udev_enumerate_unref(e);
    return found;
}

std::unique_ptr<HidHandle> LinuxHidPlatform::Open(const std::string& path, Access access, int& error) {
    // Only hidraw nodes are opened: opening another kind of device can have
    // effects of its own (a serial port raises its control lines).
    HidrawNode node;
    if (!ResolveHidrawNode(path, node, error)) return nullptr;
    const int flags = (access == Access::ReadWrite ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_CLOEXEC;
    int fd = ::open(path.c_str(), flags);
    if (fd < 0) {
        const int why = errno;
        // A query needs no access to the node itself: identity, strings and
        // report descriptor are in sysfs for everyone to read.
        if (access != Access::QueryOnly || (why != EACCES && why != EPERM)) {
            error = why;
            return nullptr;
        }
    }
    const HidReportSummary descriptor = LinuxHidHandle::ReadDescriptor(fd, node);
    return std::make_unique<LinuxHidHandle>(fd, std::move(node), descriptor);
}

void LinuxHidPlatform::SetChangeHandler(std::function<void()> onChange) {
    onChange_ = std::move(onChange);
    if (!onChange_)
        StopWatching();
    else if (!notifier_)
        StartWatching();
}

void LinuxHidPlatform::StartWatching() {
    if (!Available()) return;
    // With a udev daemon running, its events come after it has set the new
    // node's owner and mode, so a device the user may use is opened with
    // that access; the kernel's own event would come before. Without one
    // (containers, an initramfs) the kernel's events are all there is.
    const char* source = ::access(kUdevControl, F_OK) == 0 ? "udev" : "kernel";
    monitor_ = lib_->udev_monitor_new_from_netlink(udev_, source);
    if (monitor_ == nullptr) return;
    if (lib_->udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) < 0 ||
        lib_->udev_monitor_enable_receiving(monitor_) < 0 || lib_->udev_monitor_get_fd(monitor_) < 0) {
        lib_->udev_monitor_unref(monitor_);
        monitor_ = nullptr;
        return;
    }
    watchSource_ = source;
    notifier_ = std::make_unique<QSocketNotifier>(lib_->udev_monitor_get_fd(monitor_), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, context_.get(),
                     [this] { DrainMonitor(); });
}

void LinuxHidPlatform::StopWatching() {
    notifier_.reset();
    if (monitor_ != nullptr) lib_->udev_monitor_unref(monitor_);
    monitor_ = nullptr;
    watchSource_.clear();
}

void LinuxHidPlatform::DrainMonitor() {
    bool relevant = false;
    for (int i = 0; i < kEventsPerTurn; ++i) {
        udev_device* dev = lib_->udev_monitor_receive_device(monitor_);
        if (dev == nullptr) break;
        const char* subsystem = lib_->udev_device_get_subsystem(dev);
        if (subsystem != nullptr && std::strcmp(subsystem, "hidraw") == 0) relevant = true;
        lib_->udev_device_unref(dev);
    }
    if (!relevant || changePending_) return;
    // The handler runs from the event loop, not from inside the notifier's
    // signal, so it may stop the watching or run a nested loop; a burst of
    // events (a device with several interfaces) ends in one call.
    changePending_ = true;
    QMetaObject::invokeMethod(
        context_.get(),
        [this] {
            changePending_ = false;
            const auto handler = onChange_;
            if (handler) handler();
        },
        Qt::QueuedConnection);
}

std::unique_ptr<HidPlatform> CreateSystemHidPlatform() {
    return std::make_unique<LinuxHidPlatform>();
}

}  // namespace corvel
