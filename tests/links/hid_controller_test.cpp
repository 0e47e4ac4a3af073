// The HID device controller against the platform double: scans, offering
// and claiming, releases, device changes, the setters' rules, the serial
// number rule, and the readers that hand reports to the main thread.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <memory>
#include <string>
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

FakeHidPlatform::Device Dev(const std::string& path, std::uint32_t devInst) {
    FakeHidPlatform::Device d;
    d.path = path;
    d.devInst = devInst;
    return d;
}

std::vector<std::string> Paths(const THidDeviceController& c) {
    std::vector<std::string> out;
    for (THidDevice* d : c.Devices()) out.push_back(d->SetupInfo().InterfacePath);
    return out;
}

// What the controller's events reported, in order.
struct EventLog {
    std::vector<std::string> lines;
    void Arrival(THidDevice& d) { lines.push_back("arrival " + d.SetupInfo().InterfacePath); }
    void Removal(THidDevice& d) { lines.push_back("removal " + d.SetupInfo().InterfacePath); }
    void Change(THidDeviceController&) { lines.push_back("change"); }
    void OtherChange(THidDeviceController&) { lines.push_back("other change"); }
    bool Enumerate(THidDevice& d, std::int32_t i) {
        lines.push_back("offer " + std::to_string(i) + " " + d.SetupInfo().InterfacePath +
                        (d.BeingOffered() ? " offered" : ""));
        return answer;
    }
    bool answer = true;
};

// A report as a reader thread handed it over.
struct Delivered {
    std::uint8_t id;
    std::vector<std::uint8_t> data;
    bool onMainThread;
    bool operator==(const Delivered&) const = default;
};

struct Sink {
    std::vector<Delivered> reports;
    std::vector<std::uint32_t> errors;
    void Data(THidDevice&, std::uint8_t id, const std::uint8_t* data, std::uint16_t size) {
        reports.push_back({id, std::vector<std::uint8_t>(data, data + size),
                           QThread::currentThread() == QCoreApplication::instance()->thread()});
    }
    void OtherData(THidDevice& d, std::uint8_t id, const std::uint8_t* data, std::uint16_t size) {
        Data(d, id, data, size);
    }
    void Error(THidDevice&, std::uint32_t e) { errors.push_back(e); }
};

}  // namespace

// ---- scans

TEST(HidScan, InterfacesThatCannotBeOpenedOrIdentifiedAreLeftOut) {
    FakeHidPlatform p;
    p.Add(Dev("/dev/hidraw0", 1));
    auto closed = Dev("/dev/hidraw1", 2);
    closed.readWrite = false;
    closed.queryOnly = false;
    p.Add(closed);
    auto anonymous = Dev("/dev/hidraw2", 3);
    anonymous.identifies = false;
    p.Add(anonymous);
    p.Add(Dev("", 4));  // no path to open it by
    auto queryOnly = Dev("/dev/hidraw4", 5);
    queryOnly.readWrite = false;
    p.Add(queryOnly);
    p.Add(Dev("/dev/hidraw5", 6));

    THidDeviceController c(p);
    EXPECT_EQ(Paths(c), (std::vector<std::string>{"/dev/hidraw0", "/dev/hidraw4", "/dev/hidraw5"}));
    EXPECT_TRUE(c.Devices()[0]->CanReadWrite());
    EXPECT_FALSE(c.Devices()[1]->CanReadWrite());
    for (THidDevice* d : c.Devices()) {
        EXPECT_TRUE(d->Present());
        EXPECT_FALSE(d->Claimed());
        EXPECT_EQ(d->Controller(), &c);
        EXPECT_EQ(d->ReadWaitTime(), 100);
    }
    EXPECT_EQ(c.Devices()[0]->Attributes().vendorId, 0x10C4);
    // Identified and closed again: nothing stays open after a scan.
    EXPECT_EQ(p.OpenHandles(), 0);
    EXPECT_TRUE(p.Watching());
}

TEST(HidScan, WithoutThePlatformTheListStaysEmptyAndNothingIsWatched) {
    FakeHidPlatform p;
    p.available = false;
    p.Add(Dev("/dev/hidraw0", 1));
    THidDeviceController c(p);
    EXPECT_TRUE(c.Devices().empty());
    EXPECT_TRUE(c.ScanDevices().empty());
    EXPECT_FALSE(p.Watching());
    EXPECT_EQ(c.Version(), "1.0.22");
    EXPECT_EQ(c.DevThreadSleepTime(), 100);
}

TEST(HidController, OnlyOneControllerPerProgram) {
    FakeHidPlatform p;
    p.Add(Dev("/dev/hidraw0", 1));
    THidDeviceController first(p);
    try {
        THidDeviceController second(p);
        FAIL() << "a second controller was made";
    } catch (const EControllerError& e) {
        EXPECT_STREQ(e.what(), "Only one THidDeviceController allowed per program");
    }
    EXPECT_EQ(THidDeviceController::ControllerCount(), 1);
    EXPECT_EQ(Paths(first), std::vector<std::string>{"/dev/hidraw0"});
    EXPECT_TRUE(p.Watching());
}

TEST(HidController, WatchingEndsWithTheController) {
    FakeHidPlatform p;
    {
        THidDeviceController c(p);
        EXPECT_TRUE(p.Watching());
    }
    EXPECT_FALSE(p.Watching());
    EXPECT_EQ(THidDeviceController::ControllerCount(), 0);
}

// ---- offering and claiming

TEST(HidOffer, CountsWhatWasOfferedAndStopsWhenTheAnswerIsFalse) {
    struct Case {
        const char* name;
        int devices;
        bool withHandler;
        bool answer;
        int expected;
    };
    const Case cases[] = {
        {"no handler, devices present", 3, false, true, 1},
        {"no handler, nothing present", 0, false, true, 0},
        {"every device offered", 3, true, true, 3},
        {"first answer false stops", 3, true, false, 1},
    };
    for (const Case& k : cases) {
        FakeHidPlatform p;
        for (int i = 0; i < k.devices; ++i) p.Add(Dev("/dev/hidraw" + std::to_string(i), i + 1));
        THidDeviceController c(p);
        EventLog log;
        log.answer = k.answer;
        if (k.withHandler) c.SetOnEnumerate(THidEnumerateEvent(&log, &EventLog::Enumerate));
        EXPECT_EQ(c.OfferDevices(), k.expected) << k.name;
        if (k.withHandler) {
            ASSERT_EQ(log.lines.size(), static_cast<std::size_t>(k.expected)) << k.name;
            EXPECT_EQ(log.lines[0], "offer 0 /dev/hidraw0 offered") << k.name;
        }
        // Unclaimed devices are closed again after their offer.
        EXPECT_EQ(p.OpenHandles(), 0) << k.name;
    }
}

TEST(HidOffer, AnOfferedDeviceCanBeQueriedAndClaimed) {
    FakeHidPlatform p;
    auto named = Dev("/dev/hidraw0", 1);
    named.product = u"USB to Serial";
    p.Add(named);
    p.Add(Dev("/dev/hidraw1", 2));
    THidDeviceController c(p);
    // Not offered, not claimed: the device may not be opened.
    EXPECT_EQ(c.Devices()[0]->ProductText(), u"");
    std::vector<std::unique_ptr<THidDevice>> held;
    std::vector<std::u16string> products;
    c.SetOnEnumerate(THidEnumerateEvent("claim", [&](THidDevice& d, std::int32_t i) {
        products.push_back(d.ProductText());
        held.emplace_back(c.ClaimDevice(i));
        return true;
    }));
    EXPECT_EQ(c.OfferDevices(), 2);
    EXPECT_EQ(products, (std::vector<std::u16string>{u"USB to Serial", u""}));
    ASSERT_EQ(held.size(), 2u);
    EXPECT_TRUE(held[0] && held[0]->Claimed());
    EXPECT_EQ(held[0].get(), c.Devices()[0]);
    // Cached: it answers also once the device is gone.
    held[0]->MarkUnplugged();
    EXPECT_EQ(held[0]->ProductText(), u"USB to Serial");
}

TEST(HidClaim, OutOfRangeOrAlreadyClaimedYieldsNone) {
    FakeHidPlatform p;
    p.Add(Dev("/dev/hidraw0", 1));
    p.Add(Dev("/dev/hidraw1", 2));
    THidDeviceController c(p);
    EXPECT_EQ(c.ClaimDevice(-1), nullptr);
    EXPECT_EQ(c.ClaimDevice(2), nullptr);
    std::unique_ptr<THidDevice> d(c.ClaimDevice(1));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(c.ClaimDevice(1), nullptr);
}

TEST(HidRelease, APresentDeviceComesBackFreshInItsPlace) {
    FakeHidPlatform p;
    for (int i = 0; i < 3; ++i) p.Add(Dev("/dev/hidraw" + std::to_string(i), i + 1));
    THidDeviceController c(p);
    Sink sink;
    c.SetOnDeviceDataError(THidDataErrorEvent(&sink, &Sink::Error));
    auto* claimed = c.ClaimDevice(1);
    ASSERT_NE(claimed, nullptr);
    claimed->SetReadWaitTime(250);
    claimed->SetDataHandler(THidDataEvent(&sink, &Sink::Data));
    ASSERT_TRUE(claimed->DataErrorHandler());
    delete claimed;
    ASSERT_EQ(c.Devices().size(), 3u);
    THidDevice* fresh = c.Devices()[1];
    EXPECT_NE(fresh, claimed);
    EXPECT_EQ(fresh->SetupInfo().InterfacePath, "/dev/hidraw1");
    EXPECT_FALSE(fresh->Claimed());
    EXPECT_TRUE(fresh->Present());
    EXPECT_EQ(fresh->ReadWaitTime(), 250);
    EXPECT_TRUE(fresh->DataHandler().SameMethod(THidDataEvent(&sink, &Sink::Data)));
    // Without the error handler, and not reading until claimed again.
    EXPECT_FALSE(fresh->DataErrorHandler());
    EXPECT_FALSE(fresh->Reading());
    std::unique_ptr<THidDevice> again(c.ClaimDevice(1));
    EXPECT_TRUE(again->Reading());
}

TEST(HidRelease, AGoneOrUnopenableDeviceLeavesTheList) {
    struct Case {
        const char* name;
        bool unplug;    // found gone before the release
        bool openable;  // can still be opened when released
    };
    const Case cases[] = {{"gone", true, true}, {"present but cannot be opened now", false, false}};
    for (const Case& k : cases) {
        FakeHidPlatform p;
        p.Add(Dev("/dev/hidraw0", 1));
        p.Add(Dev("/dev/hidraw1", 2));
        THidDeviceController c(p);
        THidDevice* d = c.ClaimDevice(0);
        if (k.unplug) d->MarkUnplugged();
        if (!k.openable)
            p.Edit("/dev/hidraw0", [](FakeHidPlatform::Device& x) {
                x.readWrite = false;
                x.queryOnly = false;
            });
        delete d;
        EXPECT_EQ(Paths(c), std::vector<std::string>{"/dev/hidraw1"}) << k.name;
    }
}

// ---- device changes

TEST(HidDeviceChange, RemovalsDuplicatesAndArrivalsInThatOrder) {
    struct Step {
        const char* name;
        std::function<void(FakeHidPlatform&)> change;
        std::vector<std::string> events;
        std::vector<std::string> devices;
    };
    const std::vector<Step> steps = {
        {"nothing changed: nothing said", [](FakeHidPlatform&) {}, {}, {"/a", "/b", "/c"}},
        {"one unclaimed device gone",
         [](FakeHidPlatform& p) { p.Remove("/b"); },
         {"removal /b", "change"},
         {"/a", "/c"}},
        {"one arrives at the end",
         [](FakeHidPlatform& p) { p.Add(Dev("/d", 4)); },
         {"arrival /d", "change"},
         {"/a", "/c", "/d"}},
        {"unplugged and plugged again: a new instance on the same path",
         [](FakeHidPlatform& p) {
             p.Remove("/a");
             p.Add(Dev("/a", 11));
         },
         {"removal /a", "arrival /a", "change"},
         {"/c", "/d", "/a"}},
        {"two gone, last first, and one new",
         [](FakeHidPlatform& p) {
             p.Remove("/c");
             p.Remove("/d");
             p.Add(Dev("/e", 5));
         },
         {"removal /d", "removal /c", "arrival /e", "change"},
         {"/a", "/e"}},
    };
    FakeHidPlatform p;
    p.Add(Dev("/a", 1));
    p.Add(Dev("/b", 2));
    p.Add(Dev("/c", 3));
    THidDeviceController c(p);
    EventLog log;
    c.SetOnArrival(THidPlugEvent(&log, &EventLog::Arrival));
    c.SetOnRemoval(THidPlugEvent(&log, &EventLog::Removal));
    c.SetOnDeviceChange(THidNotifyEvent(&log, &EventLog::Change));
    EXPECT_EQ(log.lines, std::vector<std::string>{"change"});  // the first change always speaks
    for (const Step& s : steps) {
        log.lines.clear();
        s.change(p);
        p.Change();
        EXPECT_EQ(log.lines, s.events) << s.name;
        EXPECT_EQ(Paths(c), s.devices) << s.name;
    }
}

TEST(HidDeviceChange, AClaimedDeviceGoneStaysUntilReleasedAndIsReportedAgain) {
    FakeHidPlatform p;
    p.Add(Dev("/a", 1));
    p.Add(Dev("/b", 2));
    THidDeviceController c(p);
    EventLog log;
    c.SetOnRemoval(THidPlugEvent(&log, &EventLog::Removal));
    c.SetOnDeviceChange(THidNotifyEvent(&log, &EventLog::Change));
    int unplugged = 0;
    THidDevice* held = c.ClaimDevice(0);
    held->SetUnplugHandler(THidPlugEvent("count", [&](THidDevice&) { ++unplugged; }));
    log.lines.clear();
    p.Remove("/a");
    p.Change();
    EXPECT_EQ(log.lines, (std::vector<std::string>{"removal /a", "change"}));
    EXPECT_EQ(Paths(c), (std::vector<std::string>{"/a", "/b"}));
    EXPECT_FALSE(held->Present());
    EXPECT_EQ(unplugged, 1);
    // Nothing new happened, but the holder still has it: said again.
    log.lines.clear();
    p.Change();
    EXPECT_EQ(log.lines, (std::vector<std::string>{"removal /a", "change"}));
    EXPECT_EQ(unplugged, 1);  // the unplug handler is told once
    delete held;
    EXPECT_EQ(Paths(c), std::vector<std::string>{"/b"});
    log.lines.clear();
    p.Change();
    EXPECT_TRUE(log.lines.empty());
}

TEST(HidDeviceChange, TheHandlersMethodDecidesWhetherAssigningRescans) {
    FakeHidPlatform p;
    p.Add(Dev("/a", 1));
    THidDeviceController c(p);
    EventLog log, other;
    EXPECT_FALSE(c.ChangeReported());
    c.SetOnDeviceChange(THidNotifyEvent(&log, &EventLog::Change));
    EXPECT_TRUE(c.ChangeReported());
    EXPECT_EQ(log.lines.size(), 1u);
    // The same method bound to another object: nothing happens.
    c.SetOnDeviceChange(THidNotifyEvent(&other, &EventLog::Change));
    EXPECT_TRUE(other.lines.empty());
    // A different method re-scans at once; nothing changed, so it is quiet.
    p.Add(Dev("/b", 2));
    c.SetOnDeviceChange(THidNotifyEvent(&other, &EventLog::OtherChange));
    EXPECT_EQ(other.lines, std::vector<std::string>{"other change"});
    EXPECT_EQ(Paths(c), (std::vector<std::string>{"/a", "/b"}));
}

// ---- setters

TEST(HidSetters, DevThreadSleepTimeMovesDevicesStillAtTheOldValue) {
    FakeHidPlatform p;
    p.Add(Dev("/a", 1));
    p.Add(Dev("/b", 2));
    THidDeviceController c(p);
    c.Devices()[1]->SetReadWaitTime(300);
    c.SetDevThreadSleepTime(5);  // stored, but no device takes 5
    EXPECT_EQ(c.DevThreadSleepTime(), 5);
    EXPECT_EQ(c.Devices()[0]->ReadWaitTime(), 100);
    c.SetDevThreadSleepTime(100);
    c.SetDevThreadSleepTime(1000);
    EXPECT_EQ(c.Devices()[0]->ReadWaitTime(), 1000);
    EXPECT_EQ(c.Devices()[1]->ReadWaitTime(), 300);
    // A device that arrives later starts at 100 again.
    p.Add(Dev("/c", 3));
    c.DeviceChange();
    EXPECT_EQ(c.Devices()[2]->ReadWaitTime(), 100);
}

TEST(HidSetters, ReadWaitTimeTakesTenToTenThousand) {
    FakeHidPlatform p;
    p.Add(Dev("/a", 1));
    THidDeviceController c(p);
    THidDevice& d = *c.Devices()[0];
    const struct {
        int set;
        int expected;
    } cases[] = {{9, 100}, {10, 10}, {10000, 10000}, {10001, 10000}, {-5, 10000}, {0, 10000}, {500, 500}};
    for (const auto& k : cases) {
        d.SetReadWaitTime(k.set);
        EXPECT_EQ(d.ReadWaitTime(), k.expected) << k.set;
    }
}

TEST(HidSetters, EventHandlersMoveOnlyDevicesWithTheOldMethod) {
    FakeHidPlatform p;
    p.Add(Dev("/a", 1));
    p.Add(Dev("/b", 2));
    THidDeviceController c(p);
    Sink sink;
    THidDevice& a = *c.Devices()[0];
    THidDevice& b = *c.Devices()[1];
    b.SetDataHandler(THidDataEvent(&sink, &Sink::OtherData));
    c.SetOnDeviceData(THidDataEvent(&sink, &Sink::Data));
    EXPECT_TRUE(a.DataHandler().SameMethod(THidDataEvent(&sink, &Sink::Data)));
    EXPECT_TRUE(b.DataHandler().SameMethod(THidDataEvent(&sink, &Sink::OtherData)));
    // Error and unplug handlers: the same rule, and only for devices there
    // when the setter runs.
    c.SetOnDeviceDataError(THidDataErrorEvent(&sink, &Sink::Error));
    c.SetOnDeviceUnplug(THidPlugEvent("unplug", [](THidDevice&) {}));
    EXPECT_TRUE(a.DataErrorHandler());
    EXPECT_TRUE(b.UnplugHandler());
    p.Add(Dev("/c", 3));
    c.DeviceChange();
    THidDevice& arrived = *c.Devices()[2];
    EXPECT_FALSE(arrived.DataErrorHandler());
    EXPECT_TRUE(arrived.UnplugHandler());  // a new device takes the controller's
    EXPECT_TRUE(arrived.DataHandler().SameMethod(THidDataEvent(&sink, &Sink::Data)));
}

// ---- strings

TEST(HidStrings, ASerialNumberEqualToStringZeroIsNone) {
    struct Case {
        const char* name;
        std::u16string serial;
        std::vector<std::uint16_t> string0;
        bool string0Fails;
        std::u16string expected;
    };
    const Case cases[] = {
        {"a real serial", u"A1B2", {0x0409, 0}, false, u"A1B2"},
        {"the language list given as serial", u"\u0409", {0x0409, 0}, false, u""},
        {"equal over string 0's length", u"\u0409\u0407XY", {0x0409, 0x0407, 0}, false, u""},
        {"string 0 without a terminating word", u"\u0409Z", {0x0409}, false, u""},
        {"string 0 cannot be read", u"A1B2", {}, true, u""},
        {"string 0 is empty", u"A1B2", {0}, false, u""},
        {"string 0 writes nothing", u"A1B2", {}, false, u""},
        {"no serial at all", u"", {0x0409, 0}, false, u""},
    };
    for (const Case& k : cases) {
        FakeHidPlatform p;
        auto d = Dev("/a", 1);
        d.serial = k.serial;
        d.string0 = k.string0;
        d.string0Fails = k.string0Fails;
        p.Add(d);
        THidDeviceController c(p);
        std::unique_ptr<THidDevice> held(c.ClaimDevice(0));
        EXPECT_EQ(held->SerialText(), k.expected) << k.name;
    }
}

TEST(HidStrings, LongTextsAreCutAtTheBuffer) {
    FakeHidPlatform p;
    auto d = Dev("/a", 1);
    d.product = std::u16string(400, u'x');
    p.Add(d);
    THidDeviceController c(p);
    std::unique_ptr<THidDevice> held(c.ClaimDevice(0));
    EXPECT_EQ(held->ProductText().size(), 253u);
}

TEST(HidFeature, SentOnTheQueryHandleAndRefusalsAnswerFalse) {
    struct Case {
        const char* name;
        bool claimed;
        bool accepted;
        bool expected;
        std::size_t recorded;
    };
    const Case cases[] = {{"accepted", true, true, true, 1},
                          {"refused by the device", true, false, false, 1},
                          {"not claimed: may not be opened", false, true, false, 0}};
    const std::uint8_t report[] = {0x00, 0x80, 0x25, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00};
    for (const Case& k : cases) {
        FakeHidPlatform p;
        auto d = Dev("/a", 1);
        d.featureAccepted = k.accepted;
        p.Add(d);
        THidDeviceController c(p);
        std::unique_ptr<THidDevice> held(k.claimed ? c.ClaimDevice(0) : nullptr);
        THidDevice& dev = k.claimed ? *held : *c.Devices()[0];
        EXPECT_EQ(dev.SendFeatureReport(report, sizeof report), k.expected) << k.name;
        const auto sent = p.Features("/a");
        ASSERT_EQ(sent.size(), k.recorded) << k.name;
        if (k.recorded) {
            EXPECT_EQ(sent[0], std::vector<std::uint8_t>(report, report + 10)) << k.name;
        }
    }
}

// ---- readers

TEST(HidReader, ReportsArriveInOrderOnTheMainThread) {
    FakeHidPlatform p;
    p.Add(Dev("/a", 1));
    THidDeviceController c(p);
    Sink sink;
    std::unique_ptr<THidDevice> d(c.ClaimDevice(0));
    d->SetReadWaitTime(20);
    d->SetDataHandler(THidDataEvent(&sink, &Sink::Data));
    ASSERT_TRUE(d->Reading());
    p.Report("/a", {0x00, 0x03, 0x30, 0x31, 0x32});
    p.Report("/a", {0x07});                      // a report of one byte: no data
    p.Report("/a", {0x00, 0x00});                // an empty report
    std::vector<std::uint8_t> longer(80, 0x11);  // longer than the report length
    p.Report("/a", longer);
    ASSERT_TRUE(WaitUntil([&] { return sink.reports.size() == 4; }));
    EXPECT_EQ(sink.reports[0], (Delivered{0x00, {0x03, 0x30, 0x31, 0x32}, true}));
    EXPECT_EQ(sink.reports[1], (Delivered{0x07, {}, true}));
    EXPECT_EQ(sink.reports[2], (Delivered{0x00, {0x00}, true}));
    EXPECT_EQ(sink.reports[3], (Delivered{0x11, std::vector<std::uint8_t>(63, 0x11), true}));
}

TEST(HidReader, OnlyAClaimedReadableDeviceWithAHandlerReads) {
    struct Case {
        const char* name;
        bool claim;
        bool readWrite;
        bool handler;
        bool reading;
    };
    const Case cases[] = {{"claimed with handler", true, true, true, true},
                          {"not claimed", false, true, true, false},
                          {"query access only", true, false, true, false},
                          {"no handler", true, true, false, false}};
    for (const Case& k : cases) {
        FakeHidPlatform p;
        auto dev = Dev("/a", 1);
        dev.readWrite = k.readWrite;
        p.Add(dev);
        THidDeviceController c(p);
        Sink sink;
        std::unique_ptr<THidDevice> held(k.claim ? c.ClaimDevice(0) : nullptr);
        THidDevice& d = k.claim ? *held : *c.Devices()[0];
        if (k.handler) d.SetDataHandler(THidDataEvent(&sink, &Sink::Data));
        EXPECT_EQ(d.Reading(), k.reading) << k.name;
        EXPECT_EQ(THidDeviceReadThread::Running(), k.reading ? 1 : 0) << k.name;
    }
    EXPECT_EQ(THidDeviceReadThread::Running(), 0);
}

TEST(HidReader, ChangingTheHandlerKeepsTheReaderAndNoneStopsItWithinTheWait) {
    FakeHidPlatform p;
    p.Add(Dev("/a", 1));
    THidDeviceController c(p);
    Sink first, second;
    std::unique_ptr<THidDevice> d(c.ClaimDevice(0));
    d->SetReadWaitTime(200);
    d->SetDataHandler(THidDataEvent(&first, &Sink::Data));
    p.Report("/a", {0x00, 0x01});
    ASSERT_TRUE(WaitUntil([&] { return first.reports.size() == 1; }));
    d->SetDataHandler(THidDataEvent(&second, &Sink::Data));
    EXPECT_EQ(THidDeviceReadThread::Running(), 1);
    p.Report("/a", {0x00, 0x02});
    ASSERT_TRUE(WaitUntil([&] { return second.reports.size() == 1; }));
    EXPECT_EQ(first.reports.size(), 1u);
    const auto start = std::chrono::steady_clock::now();
    d->SetDataHandler({});
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(d->Reading());
    EXPECT_EQ(THidDeviceReadThread::Running(), 0);
    EXPECT_LE(took, std::chrono::milliseconds(200 + 150));
}

TEST(HidReader, ReleasingWhileTheReaderWaitsInADeliveryServesItFirst) {
    FakeHidPlatform p;
    p.Add(Dev("/a", 1));
    THidDeviceController c(p);
    Sink sink;
    THidDevice* d = c.ClaimDevice(0);
    d->SetDataHandler(THidDataEvent(&sink, &Sink::Data));
    p.Report("/a", {0x00, 0x05});
    // The reader has the report and waits for the main thread, which does
    // not run its loop: the release must serve that delivery, then end.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (p.ReportsTaken("/a") == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(p.ReportsTaken("/a"), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    delete d;
    ASSERT_EQ(sink.reports.size(), 1u);
    EXPECT_EQ(sink.reports[0].data, std::vector<std::uint8_t>{0x05});
    EXPECT_EQ(THidDeviceReadThread::Running(), 0);
    SpinFor(50);  // the doorbell it rang finds nothing left to serve
    EXPECT_EQ(sink.reports.size(), 1u);
}

TEST(HidReader, ReleasingFromInsideItsOwnDeliveryDoesNotDeadlock) {
    FakeHidPlatform p;
    p.Add(Dev("/a", 1));
    THidDeviceController c(p);
    THidDevice* d = c.ClaimDevice(0);
    d->SetReadWaitTime(20);
    int delivered = 0;
    d->SetDataHandler(
        THidDataEvent("nested", [&](THidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) {
            ++delivered;
            // A modal box's loop, in which a device change releases the device.
            QEventLoop loop;
            QTimer::singleShot(0, &loop, [&] {
                delete d;
                d = nullptr;
                loop.quit();
            });
            loop.exec();
        }));
    p.Report("/a", {0x00, 0x01});
    p.Report("/a", {0x00, 0x02});
    ASSERT_TRUE(WaitUntil([&] { return d == nullptr; }));
    ASSERT_TRUE(WaitUntil([] { return THidDeviceReadThread::Running() == 0; }));
    EXPECT_EQ(delivered, 1);
    EXPECT_EQ(Paths(c), std::vector<std::string>{"/a"});  // back as a fresh object
}

TEST(HidReader, AGoneDeviceReportsErrorsAtAPaceUntilStopped) {
    FakeHidPlatform p;
    p.Add(Dev("/a", 1));
    p.Add(Dev("/b", 2));
    THidDeviceController c(p);
    Sink sink;
    c.SetOnDeviceDataError(THidDataErrorEvent(&sink, &Sink::Error));
    std::unique_ptr<THidDevice> d(c.ClaimDevice(0));
    d->SetReadWaitTime(50);
    d->SetDataHandler(THidDataEvent(&sink, &Sink::Data));
    ASSERT_TRUE(WaitUntil([&] { return p.ReadCalls() > 0; }));
    p.Remove("/a");
    ASSERT_TRUE(WaitUntil([&] { return !sink.errors.empty(); }));
    const int readsBefore = p.ReadCalls();
    p.Change();  // found gone: the read handle is closed under the reader
    EXPECT_FALSE(d->Present());
    SpinFor(500);
    // About one error per wait, not a flood; and no more reads on the
    // gone device.
    EXPECT_GE(sink.errors.size(), 3u);
    EXPECT_LE(sink.errors.size(), 16u);
    EXPECT_LE(p.ReadCalls() - readsBefore, 1);
    for (std::uint32_t e : sink.errors) EXPECT_NE(e, 0u);
    d->SetDataHandler({});
    EXPECT_EQ(THidDeviceReadThread::Running(), 0);
    const std::size_t after = sink.errors.size();
    SpinFor(150);
    EXPECT_EQ(sink.errors.size(), after);
}

TEST(HidReader, DestroyingTheControllerLeavesHeldDevicesUnplugged) {
    FakeHidPlatform p;
    p.Add(Dev("/a", 1));
    p.Add(Dev("/b", 2));
    Sink sink;
    std::unique_ptr<THidDevice> held;
    {
        THidDeviceController c(p);
        held.reset(c.ClaimDevice(0));
        held->SetReadWaitTime(20);
        held->SetDataHandler(THidDataEvent(&sink, &Sink::Data));
    }
    EXPECT_FALSE(held->Present());
    EXPECT_EQ(held->Controller(), nullptr);
    held.reset();
    EXPECT_EQ(THidDeviceReadThread::Running(), 0);
    EXPECT_EQ(p.OpenHandles(), 0);
}

TEST(HidReader, ThousandsOfReportsAllArriveInOrder) {
    FakeHidPlatform p;
    p.Add(Dev("/a", 1));
    THidDeviceController c(p);
    Sink sink;
    std::unique_ptr<THidDevice> d(c.ClaimDevice(0));
    d->SetReadWaitTime(1000);
    d->SetDataHandler(THidDataEvent(&sink, &Sink::Data));
    for (int i = 0; i < 3000; ++i) p.Report("/a", {0x00, static_cast<std::uint8_t>(i & 0xFF)});
    EXPECT_TRUE(WaitUntil([&] { return sink.reports.size() == 3000; }, 20000))
        << sink.reports.size() << " of " << p.ReportsTaken("/a");
    for (std::size_t i = 0; i < sink.reports.size(); ++i)
        ASSERT_EQ(sink.reports[i].data, std::vector<std::uint8_t>{static_cast<std::uint8_t>(i & 0xFF)}) << i;
}
