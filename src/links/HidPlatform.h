#pragma once

// The narrow door through which the HID device controller reaches HID
// interfaces: enumerate what is present, open an interface by its path, and
// on an open interface read its identity and strings, send a feature report
// and read input reports with a wait that a stop can end. It is shaped like
// hidapi: a handful of verbs, no policy.
//
// The Linux implementation (LinuxHidPlatform) works on the kernel's hidraw
// nodes and watches them through libudev, bound at run time; the controller
// is written against this interface only, so tests and the USB demo run it
// on a double of their own.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace corvel {

// One present HID interface as an enumeration sees it.
struct HidInterfaceInfo {
    // What the interface is opened by (on Linux the hidraw node, "/dev/hidraw3").
    std::string path;
    // Stays the same while the device stays present; a device that goes and
    // comes back (or another device on the same node) gets a new value, so
    // that two scans see the same device exactly when they see the same
    // identity.
    std::uint32_t devInst = 0;
};

struct HidAttributes {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t versionNumber = 0;
};

// An open interface. Query calls (attributes, strings, feature report) are
// made on the main thread. Read runs on a reader thread; the main thread may
// call Cancel at any time, also while a Read waits.
class HidHandle {
public:
    virtual ~HidHandle() = default;  // closes the interface

    virtual bool GetAttributes(HidAttributes& out) = 0;
    // NUL-free UTF-16 texts; false when the device has none or cannot say.
    virtual bool GetProductString(std::u16string& out) = 0;
    virtual bool GetSerialNumberString(std::u16string& out) = 0;
    // String descriptor `index` as raw 16-bit words written over the start
    // of `words` (the caller pre-fills it and looks at what was overwritten);
    // false when it cannot be read.
    virtual bool GetIndexedString(int index, std::uint16_t* words, std::size_t count) = 0;
    // The length of the longest input report including its leading report
    // number byte (0 for a device without numbered reports), as the
    // controller sizes its read buffer; 0 when unknown.
    virtual int InputReportByteLength() = 0;
    // bytes[0] is the report number. False when the device refuses it.
    virtual bool SetFeature(const std::uint8_t* bytes, std::size_t length) = 0;

    // Waits up to `timeoutMs` for one input report and copies it into
    // `buffer`, report number first (0 for a device without numbered
    // reports), cut to `size`. Returns the byte count, 0 when the wait ended
    // without a report, or -1 with `error` set (errno-style code) when the
    // read failed, the device is gone or the handle was cancelled.
    virtual int Read(std::uint8_t* buffer, std::size_t size, int timeoutMs, int& error) = 0;
    // Waits up to `timeoutMs` until a Read would not wait: a report is
    // there, the device is gone or the handle was cancelled. False when the
    // wait ended without that. It takes nothing, so a reader can wait for
    // the next report while the previous one is still being handled and
    // take it only afterwards. A handle that can wait only inside Read
    // answers true at once (the default).
    virtual bool WaitForReport(int timeoutMs) {
        (void)timeoutMs;
        return true;
    }
    // Ends a waiting Read at once and makes every later Read fail; the
    // handle must still be destroyed afterwards. Safe from any thread.
    virtual void Cancel() = 0;
};

class HidPlatform {
public:
    enum class Access {
        ReadWrite,  // query, feature reports and reading
        QueryOnly,  // identity and strings only, when read/write is refused
        Read,       // for the reader thread
    };

    virtual ~HidPlatform() = default;

    // False when the platform's HID services could not be bound: then
    // Enumerate is empty and no change is ever reported.
    virtual bool Available() const = 0;
    virtual std::vector<HidInterfaceInfo> Enumerate() = 0;
    // Nullptr with `error` set (errno-style code) when it cannot be opened.
    // A reader thread opens its own handle with Access::Read (again after a
    // failed read), so Open must be safe to call from any thread.
    virtual std::unique_ptr<HidHandle> Open(const std::string& path, Access access, int& error) = 0;
    // Called on the main thread, from its event loop, after HID interfaces
    // came or went; an empty function stops the watching.
    virtual void SetChangeHandler(std::function<void()> onChange) = 0;
};

}  // namespace corvel
