#pragma once

// Lets a display catch up with a stream of changes at most once every
// `interval` milliseconds.
//
// A change that comes when the interval has passed since the display last
// caught up is shown at once, in the same pass of the event loop that
// brought it. A meter streaming steadily therefore costs no wake-ups of its
// own: the grid and the chart are drawn together with the mirror, in one
// paint. A change that comes sooner waits; if no later change comes to take
// it along, a timer shows it a little after the interval, so the last
// readings of a stream that stopped are never left unshown.

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <optional>

namespace corvel {

class CatchUpThrottle final : public QObject {
public:
    using Clock = std::function<std::int64_t()>;  // milliseconds, never going back

    explicit CatchUpThrottle(std::function<void()> show, QObject* parent = nullptr);

    // 0 shows every change at once.
    void SetInterval(int ms) { interval_ = ms < 0 ? 0 : ms; }
    int Interval() const { return interval_; }
    // For tests: where the time comes from (a monotonic clock by default).
    void SetClock(Clock clock) { clock_ = std::move(clock); }

    // Something new is there to show.
    void Changed();
    // Shows at once whatever is waiting, as after a user's command.
    void ShowNow();
    // Forgets what was waiting (the display was reset meanwhile).
    void Cancel();
    bool Pending() const { return pending_; }

private:
    std::function<void()> show_;
    Clock clock_;
    QTimer late_;
    int interval_ = 0;
    bool pending_ = false;
    std::optional<std::int64_t> lastShown_;  // none before the first catch-up
};

}  // namespace corvel
