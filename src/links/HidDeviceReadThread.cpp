#include "links/HidDeviceReadThread.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QtGlobal>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <thread>
#include <vector>

#include "links/HidDeviceController.h"

namespace corvel {

// ---- the read handle

std::shared_ptr<HidHandle> HidReadChannel::Acquire(int& error) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!allowed_) {
        error = ENODEV;
        return nullptr;
    }
    if (!handle_) {
        error = 0;
        std::unique_ptr<HidHandle> opened = platform.Open(path, HidPlatform::Access::Read, error);
        if (!opened) {
            if (error == 0) error = EIO;
            return nullptr;
        }
        handle_ = std::move(opened);
    }
    return handle_;
}

void HidReadChannel::Close() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (handle_) {
        handle_->Cancel();
        handle_.reset();
    }
}

bool HidReadChannel::Drop(const std::shared_ptr<HidHandle>& h) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (handle_ != h) return false;
    handle_.reset();
    return true;
}

void HidReadChannel::SetAllowed(bool allowed) {
    const std::lock_guard<std::mutex> lock(mutex_);
    allowed_ = allowed;
}

// ---- the hand-over to the main thread

namespace {

std::atomic<int> g_running{0};

// Wakes the main thread's event loop for the readers that wait in a
// delivery. An eventfd watched by a socket notifier: the readers only write
// to it, so no toolkit object is touched off the main thread. It lives for
// the whole run.
class DeliveryDoorbell {
public:
    using Serve = std::function<void()>;

    DeliveryDoorbell() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
        if (fd_ < 0 || !QCoreApplication::instance()) return;
        notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read);
        notifier_->moveToThread(QCoreApplication::instance()->thread());
        QObject::connect(notifier_, &QSocketNotifier::activated, notifier_, [this] { Ring(); });
    }

    void Post(Serve serve) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            queue_.push_back(std::move(serve));
        }
        const std::uint64_t one = 1;
        if (fd_ >= 0) [[maybe_unused]]
            const ssize_t n = write(fd_, &one, sizeof one);
    }

private:
    // Main thread: serve every reader that rang. A delivery may run a
    // nested event loop that rings again; what it brings is served there.
    void Ring() {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t n = read(fd_, &count, sizeof count);
        std::vector<Serve> serving;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            serving.swap(queue_);
        }
        for (Serve& s : serving) s();
    }

    int fd_;
    QSocketNotifier* notifier_ = nullptr;
    std::mutex mutex_;
    std::vector<Serve> queue_;
};

DeliveryDoorbell& Doorbell() {
    // Made on the main thread by the first controller; never destroyed, so
    // that a reader ending late still finds it.
    static DeliveryDoorbell* bell = new DeliveryDoorbell;
    return *bell;
}

}  // namespace

struct THidDeviceReadThread::Shared : std::enable_shared_from_this<Shared> {
    std::mutex m;
    std::condition_variable cv;
    bool terminated = false;
    bool finished = false;
    bool inDelivery = false;
    bool jobDone = false;
    std::function<void()> pending;

    std::shared_ptr<HidReadChannel> channel;
    std::vector<std::uint8_t> InputReport;
    std::uint32_t BytesRead = 0;
    std::uint32_t ReadError = 0;
    std::thread thread;

    bool isTerminated() {
        const std::lock_guard<std::mutex> lock(m);
        return terminated;
    }

    // Reader thread: hands `job` to the main thread and waits until it ran.
    void Deliver(std::function<void()> job) {
        std::unique_lock<std::mutex> lock(m);
        if (terminated) return;
        pending = std::move(job);
        jobDone = false;
        cv.notify_all();  // a stop waiting on the main thread serves it
        lock.unlock();
        std::weak_ptr<Shared> self = weak_from_this();
        Doorbell().Post([self] {
            if (auto s = self.lock()) s->Serve();
        });
        lock.lock();
        cv.wait(lock, [this] { return jobDone; });
    }

    // Main thread: runs the pending delivery, if it was not served yet.
    void Serve() {
        std::unique_lock<std::mutex> lock(m);
        if (!pending) return;
        std::function<void()> job = std::move(pending);
        pending = nullptr;
        inDelivery = true;
        lock.unlock();
        try {
            job();
        } catch (const std::exception& e) {
            // A handler's fault must not leave the reader waiting forever.
            qWarning("HID data handler failed: %s", e.what());
        } catch (...) {
            qWarning("HID data handler failed");
        }
        lock.lock();
        inDelivery = false;
        jobDone = true;
        cv.notify_all();
    }

    // A read that fails at once is tried again only after a wait, so a
    // device that is gone cannot keep a core busy.
    void pause() {
        std::unique_lock<std::mutex> lock(m);
        const int ms = channel->readWaitTime.load();
        cv.wait_for(lock, std::chrono::milliseconds(ms), [this] { return terminated; });
    }

    void Run(THidDevice* device) {
        while (!isTerminated()) {
            std::fill(InputReport.begin(), InputReport.end(), std::uint8_t{0});
            int error = 0;
            std::shared_ptr<HidHandle> handle = channel->Acquire(error);
            if (!handle) {
                ReadError = static_cast<std::uint32_t>(error);
                const std::uint32_t code = ReadError;
                Deliver([device, code] { device->deliverError(code); });
                pause();
                continue;
            }
            const int n =
                handle->Read(InputReport.data(), InputReport.size(), channel->readWaitTime.load(), error);
            if (isTerminated()) break;
            if (n < 0) {
                // Closed under us (the device was found gone): the wait
                // simply ended; the next start is refused and says so.
                if (!channel->Drop(handle)) continue;
                ReadError = static_cast<std::uint32_t>(error ? error : EIO);
                const std::uint32_t code = ReadError;
                handle.reset();
                Deliver([device, code] { device->deliverError(code); });
                pause();
                continue;
            }
            BytesRead = static_cast<std::uint32_t>(n);
            if (BytesRead > 0) {
                const std::uint8_t* report = InputReport.data();
                const std::uint32_t count = BytesRead;
                Deliver([device, report, count] { device->deliverData(report, count); });
            }
        }
        const std::lock_guard<std::mutex> lock(m);
        finished = true;
        --g_running;
        cv.notify_all();
    }
};

THidDeviceReadThread::THidDeviceReadThread(THidDevice& device, std::shared_ptr<HidReadChannel> channel,
                                           int reportLength)
    : shared_(std::make_shared<Shared>()) {
    Doorbell();  // made here, on the main thread
    shared_->channel = std::move(channel);
    shared_->InputReport.assign(static_cast<std::size_t>(std::max(reportLength, 1)), 0);
    device_ = &device;
}

THidDeviceReadThread::~THidDeviceReadThread() {
    Stop();
}

void THidDeviceReadThread::Resume() {
    if (shared_->thread.joinable() || stopped_) return;
    ++g_running;
    THidDevice* device = device_;
    std::shared_ptr<Shared> s = shared_;
    s->thread = std::thread([s, device] { s->Run(device); });
}

void THidDeviceReadThread::Stop() {
    if (stopped_) return;
    stopped_ = true;
    Shared& s = *shared_;
    std::unique_lock<std::mutex> lock(s.m);
    s.terminated = true;
    s.cv.notify_all();
    if (!s.thread.joinable()) return;
    // End a waiting read at once rather than after its wait; the handle is
    // opened again when reading starts again.
    lock.unlock();
    s.channel->Close();
    lock.lock();
    if (s.inDelivery) {
        // Called from inside this reader's own delivery: it ends by itself
        // once that delivery returns; it holds what it needs.
        lock.unlock();
        s.thread.detach();
        return;
    }
    while (!s.finished) {
        if (s.pending) {
            lock.unlock();
            s.Serve();
            lock.lock();
            continue;
        }
        s.cv.wait(lock);
    }
    lock.unlock();
    s.thread.join();
}

int THidDeviceReadThread::Running() {
    return g_running.load();
}

}  // namespace corvel
