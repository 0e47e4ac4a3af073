// The throttle that lets the grid and the chart catch up with a stream.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <string>
#include <vector>

#include "record/CatchUpThrottle.h"

namespace corvel {
namespace {

struct Rig {
    std::int64_t now = 1000;
    int shown = 0;
    CatchUpThrottle throttle{[this] { ++shown; }};
    explicit Rig(int interval) {
        throttle.SetInterval(interval);
        throttle.SetClock([this] { return now; });
    }
};

void SpinFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

// Each step: advance the clock by `after` ms, then report a change; the
// display must then have caught up `shown` times in all.
struct Step {
    int after;
    int shown;
};
struct ThrottleCase {
    const char* name;
    int interval;
    std::vector<Step> steps;
};

class Throttle : public ::testing::TestWithParam<ThrottleCase> {};

TEST_P(Throttle, ShowsAtOnceOnlyWhenTheIntervalHasPassed) {
    const ThrottleCase& c = GetParam();
    Rig rig(c.interval);
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
        rig.now += c.steps[i].after;
        rig.throttle.Changed();
        EXPECT_EQ(rig.shown, c.steps[i].shown) << "after step " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Streams, Throttle,
    ::testing::Values(ThrottleCase{"NoIntervalShowsEveryChange", 0, {{0, 1}, {0, 2}, {1, 3}}},
                      ThrottleCase{"TheFirstChangeIsShownAtOnce", 200, {{0, 1}}},
                      ThrottleCase{"ChangesWithinTheIntervalWait", 200, {{0, 1}, {50, 1}, {100, 1}, {49, 1}}},
                      // 50 + 100 + 50 = 200 ms since the last catch-up: the
                      // waiting changes go along with this one, in one go.
                      ThrottleCase{"ASteadyStreamCatchesUpOnItsOwnChanges", 200,
                                   {{0, 1}, {50, 1}, {100, 1}, {50, 2}, {199, 2}, {1, 3}}},
                      ThrottleCase{"AChangeLongAfterTheLastIsShownAtOnce", 200, {{0, 1}, {5000, 2}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Throttle, AChangeLeftWaitingIsShownWhenNoOtherComes) {
    // On the real clock: the stream stops right after a change that had to
    // wait.
    int shown = 0;
    CatchUpThrottle throttle([&] { ++shown; });
    throttle.SetInterval(40);
    throttle.Changed();
    throttle.Changed();
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(throttle.Pending());
    SpinFor(200);
    EXPECT_EQ(shown, 2);
    EXPECT_FALSE(throttle.Pending());
    SpinFor(100);
    EXPECT_EQ(shown, 2) << "nothing more was waiting";
}

TEST(Throttle, CancelForgetsAndShowNowShowsOnlyWhatWaits) {
    Rig rig(200);
    rig.throttle.Changed();
    rig.throttle.Changed();
    rig.throttle.Cancel();
    EXPECT_FALSE(rig.throttle.Pending());
    SpinFor(350);
    EXPECT_EQ(rig.shown, 1) << "a cancelled change came back";
    rig.throttle.ShowNow();
    EXPECT_EQ(rig.shown, 1);
    rig.now += 10;
    rig.throttle.Changed();
    rig.throttle.ShowNow();
    EXPECT_EQ(rig.shown, 2);
}

}  // namespace
}  // namespace corvel
