#include "vm/UhidDevice.h"

#include <fcntl.h>
#include <linux/uhid.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace corvel::vm {

UhidDevice::~UhidDevice() {
    Destroy();
}

bool UhidDevice::Write(const void* event, std::size_t size) {
    return ::write(fd_, event, size) == static_cast<ssize_t>(size);
}

bool UhidDevice::Create(const UhidOptions& options) {
    if (fd_ >= 0 || options.descriptor.size() > HID_MAX_DESCRIPTOR_SIZE) return false;
    fd_ = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (fd_ < 0) return false;
    stopFd_ = ::eventfd(0, EFD_CLOEXEC);
    refuseFeatures_ = options.refuseFeatures;

    uhid_event ev{};
    ev.type = UHID_CREATE2;
    std::strncpy(reinterpret_cast<char*>(ev.u.create2.name), options.name.c_str(),
                 sizeof ev.u.create2.name - 1);
    std::strncpy(reinterpret_cast<char*>(ev.u.create2.phys), "corvel-vm", sizeof ev.u.create2.phys - 1);
    std::strncpy(reinterpret_cast<char*>(ev.u.create2.uniq), options.uniq.c_str(),
                 sizeof ev.u.create2.uniq - 1);
    ev.u.create2.rd_size = static_cast<__u16>(options.descriptor.size());
    ev.u.create2.bus = 0x03;  // USB, as the meter's cable
    ev.u.create2.vendor = options.vendor;
    ev.u.create2.product = options.product;
    ev.u.create2.version = options.version;
    std::memcpy(ev.u.create2.rd_data, options.descriptor.data(), options.descriptor.size());
    if (!Write(&ev, sizeof ev)) {
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    thread_ = std::thread([this] { Serve(); });
    return true;
}

void UhidDevice::Destroy() {
    if (fd_ < 0) return;
    uhid_event ev{};
    ev.type = UHID_DESTROY;
    Write(&ev, sizeof ev);
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(stopFd_, &one, sizeof one);
    if (thread_.joinable()) thread_.join();
    ::close(stopFd_);
    ::close(fd_);
    fd_ = stopFd_ = -1;
    started_ = false;
}

bool UhidDevice::Input(const std::vector<std::uint8_t>& report) {
    if (fd_ < 0 || report.size() > UHID_DATA_MAX) return false;
    uhid_event ev{};
    ev.type = UHID_INPUT2;
    ev.u.input2.size = static_cast<__u16>(report.size());
    std::memcpy(ev.u.input2.data, report.data(), report.size());
    return Write(&ev, sizeof ev);
}

std::vector<FeatureWrite> UhidDevice::Features() const {
    std::lock_guard lock(mutex_);
    return features_;
}

void UhidDevice::Serve() {
    for (;;) {
        pollfd fds[2] = {{fd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents != 0) return;
        uhid_event ev{};
        if (::read(fd_, &ev, sizeof ev) <= 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return;
        }
        switch (ev.type) {
            case UHID_START: started_ = true; break;
            case UHID_STOP: started_ = false; break;
            case UHID_SET_REPORT: {
                const auto& req = ev.u.set_report;
                {
                    std::lock_guard lock(mutex_);
                    features_.push_back({req.rnum, req.rtype,
                                         std::vector<std::uint8_t>(
                                             req.data, req.data + std::min<int>(req.size, UHID_DATA_MAX))});
                }
                uhid_event reply{};
                reply.type = UHID_SET_REPORT_REPLY;
                reply.u.set_report_reply.id = req.id;
                reply.u.set_report_reply.err = refuseFeatures_ ? EIO : 0;
                Write(&reply, sizeof reply);
                break;
            }
            case UHID_GET_REPORT: {
                uhid_event reply{};
                reply.type = UHID_GET_REPORT_REPLY;
                reply.u.get_report_reply.id = ev.u.get_report.id;
                reply.u.get_report_reply.err = EIO;
                Write(&reply, sizeof reply);
                break;
            }
            default: break;
        }
    }
}

}  // namespace corvel::vm
