#include "links/HidDeviceReadThread.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <QSocketNotifier>
#include <QtGlobal>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
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

}  // namespace

// What a reader hands to the main thread: a report in its buffer, or an
// error code. A reader has at most one delivery outstanding, so the slot
// lives in the reader itself and nothing is allocated per report.
struct THidDeviceReadThread::Shared : std::enable_shared_from_this<Shared> {
    enum class Kind { None, Data, Error };

    std::mutex m;
    std::condition_variable cv;
    // Written under `m`; the reader looks at it without the lock.
    std::atomic<bool> terminated{false};
    bool finished = false;
    bool inDelivery = false;
    // Who sleeps on `cv` and must be woken: the reader waiting for its
    // delivery to be done, the main thread waiting in Stop.
    bool readerWaits = false;
    bool stopWaits = false;
    Kind pending = Kind::None;
    std::uint32_t pendingValue = 0;  // bytes read, or the error code
    // False from a delivery's hand-over until its handler has returned;
    // read by the reader without the lock on its fast path.
    std::atomic<bool> done{true};
    // Keeps this alive while it waits in the doorbell's queue.
    std::shared_ptr<Shared> queued;

    THidDevice* device = nullptr;
    std::shared_ptr<HidReadChannel> channel;
    std::vector<std::uint8_t> InputReport;
    std::uint32_t BytesRead = 0;
    std::uint32_t ReadError = 0;
    std::thread thread;

    bool isTerminated() const { return terminated.load(std::memory_order_acquire); }

    // Reader thread: hands a delivery to the main thread and returns; the
    // main thread runs it and marks it done. Nothing is handed over after
    // the stop, which serves what is pending itself.
    void Post(Kind kind, std::uint32_t value);
    // Reader thread: blocks until the delivery handed over last has been
    // handled. Its buffer and its next report wait for that.
    void AwaitDone() {
        if (done.load(std::memory_order_acquire)) return;
        std::unique_lock<std::mutex> lock(m);
        readerWaits = true;
        cv.wait(lock, [this] { return done.load(std::memory_order_relaxed); });
        readerWaits = false;
    }
    // Reader thread: hands a delivery over and blocks until it was handled.
    void Deliver(Kind kind, std::uint32_t value) {
        Post(kind, value);
        AwaitDone();
    }

    // Main thread: runs the pending delivery, if it was not served yet.
    void Serve() {
        std::unique_lock<std::mutex> lock(m);
        const Kind kind = pending;
        if (kind == Kind::None) return;
        const std::uint32_t value = pendingValue;
        pending = Kind::None;
        inDelivery = true;
        lock.unlock();
        try {
            if (kind == Kind::Data) {
                device->deliverData(InputReport.data(), value);
            } else {
                device->deliverError(value);
            }
        } catch (const std::exception& e) {
            // A handler's fault must not leave the reader waiting forever.
            qWarning("HID data handler failed: %s", e.what());
        } catch (...) {
            qWarning("HID data handler failed");
        }
        lock.lock();
        inDelivery = false;
        done.store(true, std::memory_order_release);
        const bool wake = readerWaits || stopWaits;
        lock.unlock();
        // Woken only when someone sleeps on it, and after the lock is let
        // go, so that the woken thread does not at once block on it again.
        if (wake) cv.notify_all();
    }

    // A read that fails at once is tried again only after a wait, so a
    // device that is gone cannot keep a core busy.
    void pause() {
        std::unique_lock<std::mutex> lock(m);
        const int ms = channel->readWaitTime.load();
        cv.wait_for(lock, std::chrono::milliseconds(ms), [this] { return isTerminated(); });
    }

    void Run();
};

namespace {

// Wakes the main thread's event loop for the readers that hand over a
// delivery. An eventfd watched by a socket notifier: the readers only write
// to it, so no toolkit object is touched off the main thread, and a ring
// costs the main thread one wake-up and one read. It lives for the whole
// run.
class DeliveryDoorbell {
public:
    using Reader = THidDeviceReadThread::Shared;

    DeliveryDoorbell() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
        if (fd_ < 0 || !QCoreApplication::instance()) return;
        notifier_ = new Notifier(fd_, [this] { Ring(); });
        notifier_->moveToThread(QCoreApplication::instance()->thread());
    }

    // Reader thread; `reader` has a delivery pending and is not queued yet.
    void Post(Reader& reader) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            // Still queued from a delivery that the stop served itself: the
            // place it has serves this one.
            if (!reader.queued) {
                reader.queued = reader.shared_from_this();
                queue_.push_back(&reader);
            }
        }
        const std::uint64_t one = 1;
        if (fd_ >= 0) [[maybe_unused]]
            const ssize_t n = write(fd_, &one, sizeof one);
    }

private:
    // Main thread: serve every reader that rang, one at a time from the
    // shared queue, so that a delivery which runs a nested event loop (a
    // modal box) leaves the others to be served in that loop.
    void Ring() {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t n = read(fd_, &count, sizeof count);
        for (;;) {
            std::shared_ptr<Reader> reader;
            {
                const std::lock_guard<std::mutex> lock(mutex_);
                if (queue_.empty()) return;
                reader = std::move(queue_.front()->queued);
                queue_.pop_front();
            }
            if (reader) reader->Serve();
        }
    }

    int fd_;
    // Rings straight from the event, without the notifier's signals: the
    // ring comes a thousand times a second while the cable streams.
    class Notifier final : public QSocketNotifier {
    public:
        Notifier(int fd, std::function<void()> ring)
            : QSocketNotifier(fd, QSocketNotifier::Read), ring_(std::move(ring)) {}

    protected:
        bool event(QEvent* e) override {
            if (e->type() != QEvent::SockAct) return QSocketNotifier::event(e);
            ring_();
            return true;
        }

    private:
        std::function<void()> ring_;
    };

    Notifier* notifier_ = nullptr;
    std::mutex mutex_;
    std::deque<Reader*> queue_;
};

DeliveryDoorbell& Doorbell() {
    // Made on the main thread by the first reader; never destroyed, so
    // that a reader ending late still finds it.
    static DeliveryDoorbell* bell = new DeliveryDoorbell;
    return *bell;
}

}  // namespace

void THidDeviceReadThread::Shared::Post(Kind kind, std::uint32_t value) {
    {
        const std::lock_guard<std::mutex> lock(m);
        if (isTerminated()) return;
        pending = kind;
        pendingValue = value;
        done.store(false, std::memory_order_relaxed);
        if (stopWaits) cv.notify_all();  // a stop waiting on the main thread serves it
    }
    Doorbell().Post(*this);
}

void THidDeviceReadThread::Shared::Run() {
    while (!isTerminated()) {
        int error = 0;
        std::shared_ptr<HidHandle> handle = channel->Acquire(error);
        if (!handle) {
            AwaitDone();
            ReadError = static_cast<std::uint32_t>(error);
            Deliver(Kind::Error, ReadError);
            pause();
            continue;
        }
        const int wait = channel->readWaitTime.load();
        // The next report may come while the main thread still handles the
        // last one: wait for it here, and take it only once that handler
        // has returned. One wake-up a report instead of two.
        if (!handle->WaitForReport(wait)) continue;
        AwaitDone();
        if (isTerminated()) break;
        std::fill(InputReport.begin(), InputReport.end(), std::uint8_t{0});
        const int n = handle->Read(InputReport.data(), InputReport.size(), wait, error);
        if (isTerminated()) break;
        if (n < 0) {
            // Closed under us (the device was found gone): the wait
            // simply ended; the next start is refused and says so.
            if (!channel->Drop(handle)) continue;
            ReadError = static_cast<std::uint32_t>(error ? error : EIO);
            handle.reset();
            Deliver(Kind::Error, ReadError);
            pause();
            continue;
        }
        BytesRead = static_cast<std::uint32_t>(n);
        if (BytesRead > 0) Post(Kind::Data, BytesRead);
    }
    // A delivery handed over before the stop is served by the stop (or is
    // the one the stop was called from); the buffer stays until it is done.
    AwaitDone();
    const std::lock_guard<std::mutex> lock(m);
    finished = true;
    --g_running;
    cv.notify_all();
}

THidDeviceReadThread::THidDeviceReadThread(THidDevice& device, std::shared_ptr<HidReadChannel> channel,
                                           int reportLength)
    : shared_(std::make_shared<Shared>()) {
    Doorbell();  // made here, on the main thread
    shared_->device = &device;
    shared_->channel = std::move(channel);
    shared_->InputReport.assign(static_cast<std::size_t>(std::max(reportLength, 1)), 0);
}

THidDeviceReadThread::~THidDeviceReadThread() {
    Stop();
}

void THidDeviceReadThread::Resume() {
    if (shared_->thread.joinable() || stopped_) return;
    ++g_running;
    std::shared_ptr<Shared> s = shared_;
    s->thread = std::thread([s] { s->Run(); });
}

void THidDeviceReadThread::Stop() {
    if (stopped_) return;
    stopped_ = true;
    Shared& s = *shared_;
    std::unique_lock<std::mutex> lock(s.m);
    s.terminated.store(true, std::memory_order_release);
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
    s.stopWaits = true;
    while (!s.finished) {
        if (s.pending != Shared::Kind::None) {
            lock.unlock();
            s.Serve();
            lock.lock();
            continue;
        }
        s.cv.wait(lock);
    }
    s.stopWaits = false;
    lock.unlock();
    s.thread.join();
}

int THidDeviceReadThread::Running() {
    return g_running.load();
}

}  // namespace corvel
