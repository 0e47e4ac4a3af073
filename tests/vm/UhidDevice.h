#pragma once

// A HID device made by the kernel on request through /dev/uhid: the kernel
// builds a real HID device with a hidraw node from the report descriptor
// given here, and this side plays the device's firmware (answers feature
// reports, sends input reports).

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace corvel::vm {

struct UhidOptions {
    std::string name;  // what the kernel reports as the device's name
    std::string uniq;  // its serial, or empty
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    std::uint32_t version = 0;
    std::vector<std::uint8_t> descriptor;
    bool refuseFeatures = false;  // answer feature reports with an I/O error
};

struct FeatureWrite {
    std::uint8_t reportNumber;
    std::uint8_t reportType;
    std::vector<std::uint8_t> bytes;
};

class UhidDevice {
public:
    UhidDevice() = default;
    ~UhidDevice();
    UhidDevice(const UhidDevice&) = delete;
    UhidDevice& operator=(const UhidDevice&) = delete;

    bool Create(const UhidOptions& options);
    // Unplugs it: the kernel removes the HID device and its node.
    void Destroy();
    bool Input(const std::vector<std::uint8_t>& report);

    std::vector<FeatureWrite> Features() const;
    bool Started() const { return started_.load(); }

private:
    void Serve();
    bool Write(const void* event, std::size_t size);

    int fd_ = -1;
    int stopFd_ = -1;
    bool refuseFeatures_ = false;
    std::thread thread_;
    std::atomic<bool> started_{false};
    mutable std::mutex mutex_;
    std::vector<FeatureWrite> features_;
};

}  // namespace corvel::vm
