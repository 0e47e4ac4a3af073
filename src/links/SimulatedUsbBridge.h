#pragma once

// A test double of the HID platform layer: one "USB to Serial" bridge with
// a simulated air-flow meter behind it, for `corvel --demo-usb` and for
// measuring the USB path on a machine without the cable.
//
// It behaves as the real bridge does at 9600 baud: an input report every
// millisecond, each carrying the one byte that arrived on the line in that
// time (count byte 1) or nothing (count byte 0). The meter sends a full
// 32-position segment frame, ended by CR LF, four times a second: units,
// annunciators and a second row with the air temperature, its type digit
// mostly Oak (0 and 1), now and then Birch (3) or Pine (15). Its display
// refreshes twice a second, digits and unit together, so every frame shows
// one whole display; a display in ft/min, which a Pine frame cannot show,
// goes out as an Oak frame.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "links/HidPlatform.h"

namespace corvel {

class SimulatedUsbBridge final : public HidPlatform {
public:
    struct Options {
        std::uint32_t seed = 7;
        int reportIntervalUs = 1000;   // the bridge's polling interval
        int lineBytesPerSecond = 960;  // 9600 baud, 8N1
        int framesPerSecond = 4;
        // False: reports come as fast as they are read (for tests that
        // look at what the meter sends, not when).
        bool realTime = true;
    };

    static constexpr const char* kPath = "sim:usb-to-serial";
    static constexpr std::uint16_t kVendorId = 0x10C4;
    static constexpr std::uint16_t kProductId = 0xEA80;
    static constexpr int kReportLength = 64;

    SimulatedUsbBridge();
    explicit SimulatedUsbBridge(Options options);
    ~SimulatedUsbBridge() override;

    bool Available() const override { return true; }
    std::vector<HidInterfaceInfo> Enumerate() override;
    std::unique_ptr<HidHandle> Open(const std::string& path, Access access, int& error) override;
    void SetChangeHandler(std::function<void()> onChange) override;

    // The type digit of the meter's frame number `n`.
    static int TypeDigit(std::uint64_t n);

    // The last feature report the bridge was sent (empty before any).
    std::vector<std::uint8_t> LastFeatureReport() const;
    // Reports handed out so far, and when the report that completed the
    // latest frame (the first empty report after its CR LF) was read.
    std::uint64_t ReportsRead() const { return reportsRead_.load(); }
    std::chrono::steady_clock::time_point LastFrameTakeOut() const;

private:
    class Handle;
    struct Line;

    Options options_;
    std::shared_ptr<Line> line_;
    std::atomic<std::uint64_t> reportsRead_{0};
    mutable std::mutex mutex_;
    std::vector<std::uint8_t> feature_;
    std::chrono::steady_clock::time_point lastTakeOut_{};
};

}  // namespace corvel
