#pragma once

// HID interfaces on Linux: the kernel's hidraw nodes. libudev lists them and
// reports their comings and goings; it is bound at run time, and without it
// the list is empty and no change is seen, while a node named by its path
// can still be opened (a node's identity and strings come from sysfs).

#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "links/HidPlatform.h"
#include "links/UdevLibrary.h"

class QSocketNotifier;

namespace corvel {

class LinuxHidPlatform : public HidPlatform {
public:
    // `libudevName` is the library bound for listing and watching.
    explicit LinuxHidPlatform(const char* libudevName = "libudev.so.1");
    ~LinuxHidPlatform() override;
    LinuxHidPlatform(const LinuxHidPlatform&) = delete;
    LinuxHidPlatform& operator=(const LinuxHidPlatform&) = delete;

    bool Available() const override;
    std::vector<HidInterfaceInfo> Enumerate() override;
    std::unique_ptr<HidHandle> Open(const std::string& path, Access access, int& error) override;
    // Must be called on the thread that runs the event loop the handler is
    // to be called on (the main thread).
    void SetChangeHandler(std::function<void()> onChange) override;

    // Which events are watched: "udev" once the udev daemon has handled a
    // device (so its permissions are set), "kernel" where no daemon runs;
    // empty while not watching.
    const std::string& WatchSource() const { return watchSource_; }

private:
    void StartWatching();
    void StopWatching();
    void DrainMonitor();

    std::unique_ptr<UdevLibrary> lib_;
    struct udev* udev_ = nullptr;
    struct udev_monitor* monitor_ = nullptr;
    std::string watchSource_;
    std::unique_ptr<QSocketNotifier> notifier_;
    // Queued calls of the handler go through this object, so none arrives
    // after the platform is gone.
    std::unique_ptr<QObject> context_;
    std::function<void()> onChange_;
    bool changePending_ = false;
};

}  // namespace corvel
