#pragma once

// An open hidraw node. Reads wait in poll() on the node and on an eventfd,
// so Cancel from another thread ends a waiting Read at once (a negative
// wait lasts until a report comes or Cancel is called). Once the device is
// gone every Read fails at once, with the kernel's error or ENODEV; waiting
// before the next try is the caller's business. A handle opened
// for query only where the node itself may not be opened has no descriptor
// at all and answers identity and strings from sysfs.

#include <atomic>
#include <vector>

#include "links/HidPlatform.h"
#include "links/HidReportDescriptor.h"
#include "links/HidrawNode.h"

namespace corvel {

class LinuxHidHandle : public HidHandle {
public:
    // Takes `fd` (a hidraw node opened non-blocking, or -1 for a handle that
    // answers from `node` only). `descriptor` is what the node's report
    // descriptor says.
    LinuxHidHandle(int fd, HidrawNode node, HidReportSummary descriptor);
    ~LinuxHidHandle() override;
    LinuxHidHandle(const LinuxHidHandle&) = delete;
    LinuxHidHandle& operator=(const LinuxHidHandle&) = delete;

    bool GetAttributes(HidAttributes& out) override;
    bool GetProductString(std::u16string& out) override;
    bool GetSerialNumberString(std::u16string& out) override;
    bool GetIndexedString(int index, std::uint16_t* words, std::size_t count) override;
    int InputReportByteLength() override;
    bool SetFeature(const std::uint8_t* bytes, std::size_t length) override;
    int Read(std::uint8_t* buffer, std::size_t size, int timeoutMs, int& error) override;
    bool WaitForReport(int timeoutMs) override;
    void Cancel() override;

    // The node's report descriptor, through the node when it is open and
    // through sysfs otherwise.
    static HidReportSummary ReadDescriptor(int fd, const HidrawNode& node);

private:
    const int fd_;
    const int cancelFd_;
    const HidrawNode node_;
    const HidReportSummary descriptor_;
    std::atomic<bool> cancelled_{false};
    // One report as the kernel hands it over, with room for a report number
    // put in front for devices without numbered reports.
    std::vector<std::uint8_t> scratch_;
};

}  // namespace corvel
