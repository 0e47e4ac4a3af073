#include "links/SimulatedUsbBridge.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <ctime>

#include "sim/MeterFrames.h"
#include "sim/ReadingModel.h"

namespace corvel {

// The meter and the serial line behind the bridge.
struct SimulatedUsbBridge::Line {
    explicit Line(const Options& o) : options(o), model(o.seed, 1) {}

    // The next input report (without its number byte): count and data.
    // Returns whether it was the first empty report after a frame's end.
    bool NextReport(std::uint8_t* out, std::size_t size) {
        const double t = static_cast<double>(index) * options.reportIntervalUs / 1e6;
        ++index;
        const auto due = static_cast<std::uint64_t>(t * options.framesPerSecond);
        if (sent >= frame.size() && due >= frameNo + (frame.empty() ? 0 : 1)) {
            frameNo = frame.empty() ? due : frameNo + 1;
            frameStart = static_cast<double>(frameNo) / options.framesPerSecond;
            loadFrame();
        }
        std::fill(out, out + size, std::uint8_t{0});
        const double onLine = std::floor((t - frameStart) * options.lineBytesPerSecond);
        if (sent < frame.size() && static_cast<double>(sent) < onLine) {
            if (size >= 2) {
                out[0] = 0x01;
                out[1] = frame[sent];
            }
            ++sent;
            endPending = sent == frame.size();
            return false;
        }
        const bool takeOut = endPending;
        endPending = false;
        return takeOut;
    }

    void loadFrame() {
        model.Advance(1.0 / options.framesPerSecond);
        const sim::Display& shown = model.display();
        // A Pine frame ends before the ft/min mark: a Pine meter never
        // shows that unit, so such a display goes out as an Oak frame.
        int type = TypeDigit(frameNo);
        if (type == 15 && !sim::PineFrameCarries(shown)) type = static_cast<int>(frameNo % 2);
        frame = sim::UsbFrame(shown, type);
        sent = 0;
    }

    // When the next report is due. The line starts with the first read;
    // a reader that fell far behind (a program that was busy elsewhere)
    // finds the meter paused rather than a flood of old reports, as a real
    // bridge's small queue would have it.
    std::chrono::steady_clock::time_point Due(std::chrono::steady_clock::time_point now) {
        const std::chrono::microseconds interval(options.reportIntervalUs);
        if (!started) {
            start = now;
            started = true;
        }
        auto due = start + interval * static_cast<std::int64_t>(index);
        const auto queue = interval * 64;
        if (now - due > queue) {
            start += (now - due) - queue;
            due = now - queue;
        }
        return due;
    }

    const Options options;
    sim::ReadingModel model;
    std::chrono::steady_clock::time_point start;
    bool started = false;
    std::mutex mutex;
    std::uint64_t index = 0;
    std::uint64_t frameNo = 0;
    double frameStart = 0;
    std::vector<std::uint8_t> frame;
    std::size_t sent = 0;
    bool endPending = false;
};

class SimulatedUsbBridge::Handle final : public HidHandle {
public:
    Handle(SimulatedUsbBridge& bridge, std::shared_ptr<Line> line)
        : bridge_(bridge), line_(std::move(line)) {}

    bool GetAttributes(HidAttributes& out) override {
        out = {kVendorId, kProductId, 0x0100};
        return true;
    }
    bool GetProductString(std::u16string& out) override {
        out = u"USB to Serial";
        return true;
    }
    // The bridge carries no serial number.
    bool GetSerialNumberString(std::u16string&) override { return false; }
    bool GetIndexedString(int index, std::uint16_t* words, std::size_t count) override {
        if (index != 0 || count < 2) return false;
        words[0] = 0x0409;  // English (United States)
        words[1] = 0;
        return true;
    }
    int InputReportByteLength() override { return kReportLength; }
    bool SetFeature(const std::uint8_t* bytes, std::size_t length) override {
        const std::lock_guard<std::mutex> lock(bridge_.mutex_);
        bridge_.feature_.assign(bytes, bytes + length);
        return true;
    }

    int Read(std::uint8_t* buffer, std::size_t size, int timeoutMs, int& error) override {
        if (line_->options.realTime && !waitUntilDue(timeoutMs)) return 0;
        return Next(buffer, size, error);
    }

    bool WaitForReport(int timeoutMs) override { return !line_->options.realTime || waitUntilDue(timeoutMs); }

    void Cancel() override {
        cancelled_.store(1);
        syscall(SYS_futex, &cancelled_, FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
    }

private:
    // Sleeps until the next report is due, as a device's read blocks until
    // its report comes: one wait on the cancel flag with the due time as
    // its absolute deadline, so a report costs the reader one wake-up and
    // one system call, and a cancel ends the wait at once. None at all when
    // the report is due already. False when `timeoutMs` ran out first.
    bool waitUntilDue(int timeoutMs) {
        using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC, as the wait's deadline
        const auto now = Clock::now();
        Clock::time_point due;
        {
            const std::lock_guard<std::mutex> l(line_->mutex);
            due = line_->Due(now);
        }
        if (cancelled_.load() || due <= now) return true;
        const auto limit = now + std::chrono::milliseconds(std::max(timeoutMs, 0));
        const auto until =
            std::chrono::duration_cast<std::chrono::nanoseconds>(std::min(due, limit).time_since_epoch());
        timespec deadline{};
        deadline.tv_sec = static_cast<time_t>(until.count() / 1000000000);
        deadline.tv_nsec = static_cast<long>(until.count() % 1000000000);
        while (cancelled_.load() == 0) {
            const long r = syscall(SYS_futex, &cancelled_, FUTEX_WAIT_BITSET_PRIVATE, 0, &deadline, nullptr,
                                   FUTEX_BITSET_MATCH_ANY);
            if (r != 0 && errno == ETIMEDOUT) break;
        }
        return cancelled_.load() != 0 || due <= limit;
    }

    int Next(std::uint8_t* buffer, std::size_t size, int& error) {
        if (cancelled_.load()) {
            error = ECANCELED;
            return -1;
        }
        if (size == 0) return 0;
        std::uint8_t report[kReportLength] = {};
        bool takeOut;
        {
            const std::lock_guard<std::mutex> l(line_->mutex);
            takeOut = line_->NextReport(report + 1, kReportLength - 1);
        }
        ++bridge_.reportsRead_;
        if (takeOut) {
            const std::lock_guard<std::mutex> l(bridge_.mutex_);
            bridge_.lastTakeOut_ = std::chrono::steady_clock::now();
        }
        const std::size_t n = std::min<std::size_t>(size, kReportLength);
        std::copy(report, report + n, buffer);
        return static_cast<int>(n);
    }

    SimulatedUsbBridge& bridge_;
    std::shared_ptr<Line> line_;
    // 1 once cancelled; the word the reader's wait sleeps on.
    std::atomic<std::uint32_t> cancelled_{0};
};

SimulatedUsbBridge::SimulatedUsbBridge() : SimulatedUsbBridge(Options{}) {}

SimulatedUsbBridge::SimulatedUsbBridge(Options options)
    : options_(options), line_(std::make_shared<Line>(options)) {}

SimulatedUsbBridge::~SimulatedUsbBridge() = default;

int SimulatedUsbBridge::TypeDigit(std::uint64_t n) {
    switch (n % 16) {
        case 7: return 3;    // Birch
        case 13: return 15;  // Pine
        default: return static_cast<int>(n % 2);
    }
}

std::vector<HidInterfaceInfo> SimulatedUsbBridge::Enumerate() {
    return {{kPath, 1}};
}

std::unique_ptr<HidHandle> SimulatedUsbBridge::Open(const std::string& path, Access, int& error) {
    if (path != kPath) {
        error = ENOENT;
        return nullptr;
    }
    return std::make_unique<Handle>(*this, line_);
}

// The simulated bridge never comes or goes.
void SimulatedUsbBridge::SetChangeHandler(std::function<void()>) {}

std::vector<std::uint8_t> SimulatedUsbBridge::LastFeatureReport() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return feature_;
}

std::chrono::steady_clock::time_point SimulatedUsbBridge::LastFrameTakeOut() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return lastTakeOut_;
}

}  // namespace corvel
