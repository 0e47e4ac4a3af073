#include "links/LinuxHidHandle.h"

#include <linux/hidraw.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>

namespace corvel {

namespace {

// The kernel never hands over or takes a report longer than this.
constexpr std::size_t kMaxReport = 16384;

// US English: the language list a device with strings almost always has.
constexpr std::uint16_t kEnglishUs = 0x0409;

}  // namespace

LinuxHidHandle::LinuxHidHandle(int fd, HidrawNode node, HidReportSummary descriptor)
    : fd_(fd),
      cancelFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      node_(std::move(node)),
      descriptor_(descriptor),
      scratch_(fd >= 0 ? kMaxReport + 1 : 0) {}

LinuxHidHandle::~LinuxHidHandle() {
    if (fd_ >= 0) ::close(fd_);
    if (cancelFd_ >= 0) ::close(cancelFd_);
}

HidReportSummary LinuxHidHandle::ReadDescriptor(int fd, const HidrawNode& node) {
    std::vector<std::uint8_t> bytes;
    int size = 0;
    if (fd >= 0 && ::ioctl(fd, HIDIOCGRDESCSIZE, &size) == 0 && size > 0 && size <= HID_MAX_DESCRIPTOR_SIZE) {
        hidraw_report_descriptor rd{};
        rd.size = static_cast<__u32>(size);
        if (::ioctl(fd, HIDIOCGRDESC, &rd) == 0) bytes.assign(rd.value, rd.value + size);
    }
    if (bytes.empty() && !node.hidDevice.empty()) {
        // The same bytes, world-readable, for a node that could not be opened.
        std::ifstream in(node.hidDevice + "/report_descriptor", std::ios::binary);
        bytes.resize(HID_MAX_DESCRIPTOR_SIZE);
        in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        bytes.resize(in ? bytes.size() : static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    }
    return SummariseReportDescriptor(bytes.data(), bytes.size());
}

bool LinuxHidHandle::GetAttributes(HidAttributes& out) {
    // The version has no place in the kernel's HID identity; a USB device's
    // release number (bcdDevice) is the one a device reports, else 0.
    if (fd_ >= 0) {
        hidraw_devinfo info{};
        if (::ioctl(fd_, HIDIOCGRAWINFO, &info) == 0) {
            out.vendorId = static_cast<std::uint16_t>(info.vendor);
            out.productId = static_cast<std::uint16_t>(info.product);
            out.versionNumber = node_.attributes.versionNumber;
            return true;
        }
    }
    if (!node_.haveIds) return false;
    out = node_.attributes;
    return true;
}

bool LinuxHidHandle::GetProductString(std::u16string& out) {
    if (node_.product.empty()) return false;
    out = node_.product;
    return true;
}

bool LinuxHidHandle::GetSerialNumberString(std::u16string& out) {
    if (node_.serial.empty()) return false;
    out = node_.serial;
    return true;
}

bool LinuxHidHandle::GetIndexedString(int index, std::uint16_t* words, std::size_t count) {
    // hidraw gives no way to ask a device for a string descriptor by index,
    // and sysfs keeps only the product, maker and serial texts. The one index
    // asked for is 0, the list of languages the device's strings come in,
    // which the controller compares with the serial number to tell a real
    // serial from a device that echoes its language list. Devices with
    // strings answer US English there almost without exception, so that is
    // the answer: a serial is then taken exactly when the device has one.
    if (index != 0 || words == nullptr || count < 2) return false;
    words[0] = kEnglishUs;
    words[1] = 0;
    return true;
}

int LinuxHidHandle::InputReportByteLength() {
    return descriptor_.InputReportByteLength();
}

bool LinuxHidHandle::SetFeature(const std::uint8_t* bytes, std::size_t length) {
    // The ioctl carries its length in 14 bits.
    if (fd_ < 0 || bytes == nullptr || length == 0 || length >= kMaxReport) return false;
    std::vector<std::uint8_t> report(bytes, bytes + length);
    return ::ioctl(fd_, HIDIOCSFEATURE(length), report.data()) >= 0;
}

int LinuxHidHandle::Read(std::uint8_t* buffer, std::size_t size, int timeoutMs, int& error) {
    if (cancelled_.load()) {
        error = ECANCELED;
        return -1;
    }
    if (fd_ < 0) {
        error = EBADF;
        return -1;
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    // Without numbered reports the kernel hands over the data alone; the
    // caller always gets the report number first, 0 then.
    const std::size_t offset = descriptor_.numberedInput ? 0 : 1;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd fds[2] = {{fd_, POLLIN, 0}, {cancelFd_, POLLIN, 0}};
        const int ready =
            ::poll(fds, 2, timeoutMs < 0 ? -1 : static_cast<int>(std::max<long>(left.count(), 0)));
        if (ready < 0) {
            if (errno == EINTR) continue;
            error = errno;
            return -1;
        }
        if (fds[1].revents != 0 || cancelled_.load()) {
            error = ECANCELED;
            return -1;
        }
        if (ready == 0) return 0;
        if (fds[0].revents == 0) continue;

        scratch_[0] = 0;
        const ssize_t got = ::read(fd_, scratch_.data() + offset, kMaxReport);
        if (got > 0) {
            const std::size_t total = static_cast<std::size_t>(got) + offset;
            const std::size_t copied = std::min(total, size);
            if (copied > 0) std::memcpy(buffer, scratch_.data(), copied);
            return static_cast<int>(copied);
        }
        const bool gone = (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
        if (got == 0 || gone) {
            // A node whose device went away: the kernel answers EIO (or
            // nothing); say so the same way every time.
            error = got < 0 && errno != EAGAIN ? errno : ENODEV;
            return -1;
        }
        if (errno == EAGAIN || errno == EINTR) continue;
        error = errno;
        return -1;
    }
}

bool LinuxHidHandle::WaitForReport(int timeoutMs) {
    if (cancelled_.load() || fd_ < 0) return true;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd fds[2] = {{fd_, POLLIN, 0}, {cancelFd_, POLLIN, 0}};
        const int ready =
            ::poll(fds, 2, timeoutMs < 0 ? -1 : static_cast<int>(std::max<long>(left.count(), 0)));
        if (ready < 0 && errno == EINTR) continue;
        // A report, a gone node, a cancel or a failing poll: Read says which.
        return ready != 0;
    }
}

void LinuxHidHandle::Cancel() {
    cancelled_.store(true);
    const std::uint64_t one = 1;
    if (cancelFd_ >= 0) {
        // The counter cannot overflow from a handful of writes; nothing to do
        // if one fails, the flag above still stops the next Read.
        [[maybe_unused]] const auto written = ::write(cancelFd_, &one, sizeof one);
    }
}

}  // namespace corvel
