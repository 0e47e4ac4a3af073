#pragma once

// The reader of one HID device: a worker thread that waits for input
// reports and hands each one to the main thread, blocking until the main
// thread has handled it. All program state stays on the main thread; the
// reader touches only its own buffer and the read handle.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "links/HidPlatform.h"

namespace corvel {

class THidDevice;

// The read handle of a device, shared by the main thread (which opens the
// way, closes it under a waiting reader, sets the wait) and the reader
// (which opens and reads it).
struct HidReadChannel {
    HidReadChannel(HidPlatform& p, std::string interfacePath) : platform(p), path(std::move(interfacePath)) {}

    // The read handle, opened when allowed and not open yet; nullptr with
    // `error` set when reading is not allowed or the open fails.
    std::shared_ptr<HidHandle> Acquire(int& error);
    // Ends a waiting read and closes the handle (the reader's copy goes
    // when its read returns).
    void Close();
    // Drops `h` when it is still the open handle; false when the main
    // thread had closed it already.
    bool Drop(const std::shared_ptr<HidHandle>& h);
    void SetAllowed(bool allowed);

    HidPlatform& platform;
    const std::string path;
    std::atomic<int> readWaitTime{100};

private:
    std::mutex mutex_;
    std::shared_ptr<HidHandle> handle_;
    bool allowed_ = false;
};

class THidDeviceReadThread {
public:
    // A reader for `device` with a buffer of `reportLength` bytes, not yet
    // running.
    THidDeviceReadThread(THidDevice& device, std::shared_ptr<HidReadChannel> channel, int reportLength);
    // Stops it when still running.
    ~THidDeviceReadThread();
    THidDeviceReadThread(const THidDeviceReadThread&) = delete;
    THidDeviceReadThread& operator=(const THidDeviceReadThread&) = delete;

    void Resume();
    // Main thread: marks the reader terminated, serves the delivery it may
    // be waiting in, and waits for it to end (at most the read wait). From
    // inside the reader's own delivery (a nested event loop) it cannot wait
    // for it; the reader then ends on its own once that delivery returns.
    void Stop();

    // Process-wide number of reader threads still running (for tests and
    // the tools' checks that nothing is left behind).
    static int Running();

    // The reader's side of the hand-over (defined with it).
    struct Shared;

private:
    std::shared_ptr<Shared> shared_;
    bool stopped_ = false;
};

}  // namespace corvel
