// The readers' hand-over to the main thread, on handles that can wait only
// inside their read and on handles that wait for the next report apart from
// taking it (as the kernel's nodes and the simulated bridge do; the reader
// then waits for the next report while the main thread still handles the
// last one). Either way each report reaches the handler on the main thread,
// in order, no report is taken before the handler of the one before has
// returned, and a stop ends the reader at once and serves what it handed
// over.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "links/HidDeviceController.h"
#include "links/HidDeviceReadThread.h"
#include "support/FakeHidPlatform.h"
#include "support/LinkTestSupport.h"

using namespace corvel;
using test::FakeHidPlatform;
using test::SpinFor;
using test::WaitUntil;

namespace {

struct Mode {
    const char* name;
    bool waitApart;
};
constexpr Mode kModes[] = {{"waits inside the read", false}, {"waits apart from the read", true}};

FakeHidPlatform::Device Dev(const std::string& path, std::uint32_t devInst) {
    FakeHidPlatform::Device d;
    d.path = path;
    d.devInst = devInst;
    return d;
}

bool OnMainThread() {
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

// Waits, without running the event loop, until the reader has taken `n`
// reports.
bool TakenWithoutLoop(FakeHidPlatform& p, int n) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (p.ReportsTaken("/a") < n && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return p.ReportsTaken("/a") == n;
}

}  // namespace

TEST(HidHandOver, EachReportInOrderOnTheMainThreadAndTakenOnlyAfterTheLastWasHandled) {
    for (const Mode& mode : kModes) {
        FakeHidPlatform p;
        p.waitApart = mode.waitApart;
        p.Add(Dev("/a", 1));
        THidDeviceController c(p);
        std::unique_ptr<THidDevice> d(c.ClaimDevice(0));
        d->SetReadWaitTime(20);
        std::vector<int> seen;
        bool offMain = false;
        bool takenEarly = false;
        d->SetDataHandler(THidDataEvent(
            "record", [&](THidDevice&, std::uint8_t, const std::uint8_t* data, std::uint16_t size) {
                if (!OnMainThread()) offMain = true;
                seen.push_back(size ? data[0] : -1);
                // The reader has the next report at hand, but may not take
                // it while this handler runs.
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                if (p.ReportsTaken("/a") != static_cast<int>(seen.size())) takenEarly = true;
            }));
        constexpr int kReports = 300;
        for (int i = 0; i < kReports; ++i) p.Report("/a", {0x00, static_cast<std::uint8_t>(i & 0xFF)});
        ASSERT_TRUE(WaitUntil([&] { return seen.size() == kReports; }, 20000))
            << mode.name << ": " << seen.size();
        for (int i = 0; i < kReports; ++i) ASSERT_EQ(seen[i], i & 0xFF) << mode.name << " at " << i;
        EXPECT_FALSE(offMain) << mode.name;
        EXPECT_FALSE(takenEarly) << mode.name;
    }
}

TEST(HidHandOver, AStopEndsAWaitingReaderWithoutWaitingOutTheReadWait) {
    for (const Mode& mode : kModes) {
        FakeHidPlatform p;
        p.waitApart = mode.waitApart;
        p.Add(Dev("/a", 1));
        THidDeviceController c(p);
        std::unique_ptr<THidDevice> d(c.ClaimDevice(0));
        d->SetReadWaitTime(10000);
        int delivered = 0;
        d->SetDataHandler(THidDataEvent(
            "count", [&](THidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) { ++delivered; }));
        p.Report("/a", {0x00, 0x01});
        ASSERT_TRUE(WaitUntil([&] { return delivered == 1; })) << mode.name;
        ASSERT_TRUE(WaitUntil([&] { return p.ReadCalls() >= 2 || mode.waitApart; })) << mode.name;
        SpinFor(20);  // the reader sits in its wait for the next report
        const auto start = std::chrono::steady_clock::now();
        d->SetDataHandler({});
        // Far less than the 10 s wait: the stop ends the wait itself.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << mode.name;
        EXPECT_FALSE(d->Reading()) << mode.name;
        EXPECT_EQ(THidDeviceReadThread::Running(), 0) << mode.name;
    }
}

TEST(HidHandOver, AReleaseServesTheReportHandedOverAndTakesNoMore) {
    for (const Mode& mode : kModes) {
        FakeHidPlatform p;
        p.waitApart = mode.waitApart;
        p.Add(Dev("/a", 1));
        THidDeviceController c(p);
        std::vector<int> seen;
        THidDevice* d = c.ClaimDevice(0);
        d->SetReadWaitTime(20);
        d->SetDataHandler(THidDataEvent(
            "record", [&](THidDevice&, std::uint8_t, const std::uint8_t* data, std::uint16_t size) {
                EXPECT_TRUE(OnMainThread());
                seen.push_back(size ? data[0] : -1);
            }));
        // The reader takes the first report and hands it over; the main
        // thread does not run its loop, and a second report is waiting.
        p.Report("/a", {0x00, 0x05});
        ASSERT_TRUE(TakenWithoutLoop(p, 1)) << mode.name;
        p.Report("/a", {0x00, 0x06});
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(p.ReportsTaken("/a"), 1) << mode.name;
        delete d;
        EXPECT_EQ(seen, std::vector<int>{0x05}) << mode.name;
        EXPECT_EQ(THidDeviceReadThread::Running(), 0) << mode.name;
        EXPECT_EQ(p.ReportsTaken("/a"), 1) << mode.name;
        SpinFor(50);  // the doorbell it rang finds nothing left to serve
        EXPECT_EQ(seen, std::vector<int>{0x05}) << mode.name;
    }
}

TEST(HidHandOver, AReleaseFromANestedLoopInsideTheDeliveryEndsTheReader) {
    for (const Mode& mode : kModes) {
        FakeHidPlatform p;
        p.waitApart = mode.waitApart;
        p.Add(Dev("/a", 1));
        THidDeviceController c(p);
        THidDevice* d = c.ClaimDevice(0);
        d->SetReadWaitTime(20);
        int delivered = 0;
        d->SetDataHandler(
            THidDataEvent("nested", [&](THidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) {
                ++delivered;
                // A modal box's loop, in which the next report comes and a
                // device change releases the device.
                QEventLoop loop;
                QTimer::singleShot(5, &loop, [&] {
                    delete d;
                    d = nullptr;
                    loop.quit();
                });
                loop.exec();
            }));
        p.Report("/a", {0x00, 0x01});
        p.Report("/a", {0x00, 0x02});
        ASSERT_TRUE(WaitUntil([&] { return d == nullptr; })) << mode.name;
        ASSERT_TRUE(WaitUntil([] { return THidDeviceReadThread::Running() == 0; })) << mode.name;
        EXPECT_EQ(delivered, 1) << mode.name;
        EXPECT_EQ(p.ReportsTaken("/a"), 1) << mode.name;
    }
}

TEST(HidHandOver, TwoReadersBothDeliverWhileOneHandlerRunsANestedLoop) {
    for (const Mode& mode : kModes) {
        FakeHidPlatform p;
        p.waitApart = mode.waitApart;
        p.Add(Dev("/a", 1));
        p.Add(Dev("/b", 2));
        THidDeviceController c(p);
        std::unique_ptr<THidDevice> a(c.ClaimDevice(0));
        std::unique_ptr<THidDevice> b(c.ClaimDevice(1));
        a->SetReadWaitTime(20);
        b->SetReadWaitTime(20);
        int fromB = 0;
        bool bInsideA = false;
        bool inA = false;
        a->SetDataHandler(
            THidDataEvent("modal", [&](THidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) {
                inA = true;
                // The other device speaks while a modal box is open; the
                // box stays until it has been heard.
                for (int i = 0; i < 3; ++i) p.Report("/b", {0x00, static_cast<std::uint8_t>(i)});
                QEventLoop loop;
                QTimer poll;
                QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
                    if (fromB >= 3) loop.quit();
                });
                poll.start(1);
                QTimer::singleShot(5000, &loop, &QEventLoop::quit);
                loop.exec();
                inA = false;
            }));
        b->SetDataHandler(
            THidDataEvent("count", [&](THidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) {
                ++fromB;
                if (inA) bInsideA = true;
            }));
        p.Report("/a", {0x00, 0x01});
        ASSERT_TRUE(WaitUntil([&] { return fromB >= 3 && !inA; })) << mode.name;
        EXPECT_TRUE(bInsideA) << mode.name;
    }
}
