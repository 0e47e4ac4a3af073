#pragma once

// A test double of the HID platform layer: HID interfaces that a test puts
// in and takes out, with scripted identities, strings, access rights and
// input reports, and a record of what the controller did to them.

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "links/HidPlatform.h"

namespace corvel::test {

class FakeHidPlatform final : public HidPlatform {
public:
    struct Device {
        std::string path;
        std::uint32_t devInst = 0;
        HidAttributes attributes{0x10C4, 0xEA80, 0x0100};
        std::u16string product;  // empty: the device has no product string
        std::u16string serial;   // empty: no serial number string
        // String 0 as the device answers it (without the words left alone);
        // empty with string0Fails false means it writes nothing.
        std::vector<std::uint16_t> string0{0x0409, 0};
        bool string0Fails = false;
        int inputReportLength = 64;
        bool readWrite = true;  // false: only query access is granted
        bool queryOnly = true;  // false with readWrite false: can't be opened
        bool identifies = true;
        bool featureAccepted = true;
    };

    bool available = true;
    // Handles wait for the next report apart from taking it (WaitForReport),
    // as the kernel's nodes and the simulated bridge do; otherwise they can
    // wait only inside Read. Set before the readers start.
    bool waitApart = false;

    // Puts a device in (it is enumerated from now on).
    void Add(Device d) {
        const std::lock_guard<std::mutex> lock(mutex_);
        auto s = std::make_shared<State>();
        s->device = std::move(d);
        devices_.push_back(s);
    }
    // Takes a device out: its open handles fail from now on.
    void Remove(const std::string& path) {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = devices_.begin(); it != devices_.end(); ++it) {
            if ((*it)->device.path != path) continue;
            {
                const std::lock_guard<std::mutex> l((*it)->m);
                (*it)->gone = true;
                (*it)->cv.notify_all();
            }
            devices_.erase(it);
            return;
        }
    }
    // Changes a present device's script.
    void Edit(const std::string& path, const std::function<void(Device&)>& edit) {
        if (auto s = find(path)) edit(s->device);
    }
    // Queues an input report (report number first) for the device's readers.
    void Report(const std::string& path, std::vector<std::uint8_t> report) {
        if (auto s = find(path)) {
            const std::lock_guard<std::mutex> l(s->m);
            s->reports.push_back(std::move(report));
            s->cv.notify_all();
        }
    }
    // Tells the controller that devices came or went, as the system would.
    void Change() {
        if (onChange_) onChange_();
    }

    // ---- what happened
    std::vector<std::vector<std::uint8_t>> Features(const std::string& path) {
        auto s = find(path);
        if (!s) return {};
        const std::lock_guard<std::mutex> l(s->m);
        return s->features;
    }
    // Reports taken by readers so far (handed to the controller).
    int ReportsTaken(const std::string& path) {
        auto s = find(path);
        if (!s) return 0;
        const std::lock_guard<std::mutex> l(s->m);
        return s->taken;
    }
    int OpenHandles() const { return openHandles_.load(); }
    int ReadCalls() const { return readCalls_.load(); }
    int Opens(HidPlatform::Access access) const {
        const std::lock_guard<std::mutex> lock(mutex_);
        auto it = opens_.find(access);
        return it == opens_.end() ? 0 : it->second;
    }
    bool Watching() const { return static_cast<bool>(onChange_); }

    // ---- HidPlatform
    bool Available() const override { return available; }
    std::vector<HidInterfaceInfo> Enumerate() override {
        const std::lock_guard<std::mutex> lock(mutex_);
        std::vector<HidInterfaceInfo> out;
        for (const auto& s : devices_) out.push_back({s->device.path, s->device.devInst});
        return out;
    }
    std::unique_ptr<HidHandle> Open(const std::string& path, Access access, int& error) override {
        std::shared_ptr<State> s = find(path);
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            ++opens_[access];
        }
        if (!s) {
            error = ENOENT;
            return nullptr;
        }
        const Device& d = s->device;
        const bool granted = access == Access::QueryOnly ? (d.readWrite || d.queryOnly) : d.readWrite;
        if (!granted) {
            error = EACCES;
            return nullptr;
        }
        return std::make_unique<Handle>(*this, s);
    }
    void SetChangeHandler(std::function<void()> onChange) override { onChange_ = std::move(onChange); }

private:
    struct State {
        Device device;
        std::mutex m;
        std::condition_variable cv;
        std::deque<std::vector<std::uint8_t>> reports;
        std::vector<std::vector<std::uint8_t>> features;
        int taken = 0;
        bool gone = false;
    };

    class Handle final : public HidHandle {
    public:
        Handle(FakeHidPlatform& p, std::shared_ptr<State> s) : p_(p), s_(std::move(s)) { ++p_.openHandles_; }
        ~Handle() override { --p_.openHandles_; }
        bool GetAttributes(HidAttributes& out) override {
            if (!s_->device.identifies || gone()) return false;
            out = s_->device.attributes;
            return true;
        }
        bool GetProductString(std::u16string& out) override {
            if (s_->device.product.empty() || gone()) return false;
            out = s_->device.product;
            return true;
        }
        bool GetSerialNumberString(std::u16string& out) override {
            if (s_->device.serial.empty() || gone()) return false;
            out = s_->device.serial;
            return true;
        }
        bool GetIndexedString(int index, std::uint16_t* words, std::size_t count) override {
            if (index != 0 || s_->device.string0Fails || gone()) return false;
            for (std::size_t i = 0; i < s_->device.string0.size() && i < count; ++i)
                words[i] = s_->device.string0[i];
            return true;
        }
        int InputReportByteLength() override { return s_->device.inputReportLength; }
        bool SetFeature(const std::uint8_t* bytes, std::size_t length) override {
            const std::lock_guard<std::mutex> l(s_->m);
            if (s_->gone) return false;
            s_->features.emplace_back(bytes, bytes + length);
            return s_->device.featureAccepted;
        }
        int Read(std::uint8_t* buffer, std::size_t size, int timeoutMs, int& error) override {
            ++p_.readCalls_;
            std::unique_lock<std::mutex> l(s_->m);
            s_->cv.wait_for(l, std::chrono::milliseconds(timeoutMs),
                            [this] { return cancelled_ || s_->gone || !s_->reports.empty(); });
            if (cancelled_) {
                error = ECANCELED;
                return -1;
            }
            if (s_->gone) {
                error = ENODEV;
                return -1;
            }
            if (s_->reports.empty()) return 0;
            std::vector<std::uint8_t> r = std::move(s_->reports.front());
            s_->reports.pop_front();
            ++s_->taken;
            const std::size_t n = std::min(size, r.size());
            std::copy(r.begin(), r.begin() + static_cast<std::ptrdiff_t>(n), buffer);
            return static_cast<int>(n);
        }
        bool WaitForReport(int timeoutMs) override {
            if (!p_.waitApart) return true;
            std::unique_lock<std::mutex> l(s_->m);
            return s_->cv.wait_for(l, std::chrono::milliseconds(timeoutMs),
                                   [this] { return cancelled_ || s_->gone || !s_->reports.empty(); });
        }
        void Cancel() override {
            const std::lock_guard<std::mutex> l(s_->m);
            cancelled_ = true;
            s_->cv.notify_all();
        }

    private:
        bool gone() {
            const std::lock_guard<std::mutex> l(s_->m);
            return s_->gone;
        }
        FakeHidPlatform& p_;
        std::shared_ptr<State> s_;
        bool cancelled_ = false;  // under s_->m
    };

    std::shared_ptr<State> find(const std::string& path) {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& s : devices_)
            if (s->device.path == path) return s;
        return nullptr;
    }

    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<State>> devices_;
    std::map<HidPlatform::Access, int> opens_;
    std::function<void()> onChange_;
    std::atomic<int> openHandles_{0};
    std::atomic<int> readCalls_{0};
};

}  // namespace corvel::test
