#include "record/CatchUpThrottle.h"

#include <QElapsedTimer>

namespace corvel {

namespace {
std::int64_t MonotonicMs() {
    static const QElapsedTimer start = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return start.elapsed();
}
}  // namespace

CatchUpThrottle::CatchUpThrottle(std::function<void()> show, QObject* parent)
    : QObject(parent), show_(std::move(show)), clock_(MonotonicMs) {
    late_.setSingleShot(true);
    connect(&late_, &QTimer::timeout, this, &CatchUpThrottle::ShowNow);
}

void CatchUpThrottle::Changed() {
    pending_ = true;
    const std::int64_t now = clock_();
    if (interval_ == 0 || !lastShown_ || now - *lastShown_ >= interval_) {
        ShowNow();
        return;
    }
    // Half an interval of grace: a steady stream brings the next change,
    // and with it this one, before the timer would fire.
    if (!late_.isActive()) late_.start(static_cast<int>(interval_ - (now - *lastShown_) + interval_ / 2));
}

void CatchUpThrottle::ShowNow() {
    late_.stop();
    if (!pending_) return;
    pending_ = false;
    lastShown_ = clock_();
    show_();
}

void CatchUpThrottle::Cancel() {
    late_.stop();
    pending_ = false;
}

}  // namespace corvel
