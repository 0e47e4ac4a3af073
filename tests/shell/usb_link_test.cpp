// The window's USB side on the HID platform double: the device list and
// the bridge's selection, USB Connect's states, the history lines, the link
// watch's release, and the re-attach after a device change.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "links/HidDeviceReadThread.h"
#include "links/UsbBridge.h"
#include "shell/ConnectionControl.h"
#include "shell/WindowRig.h"

using namespace corvel;
using test::FakeHidPlatform;
using test::FrameBuilder;
using test::WindowRig;
using Group = ConnectionControl::GroupButton;

namespace {

constexpr const char* kNoCable = "USB interface cable is not securely connected, please check and re-try.";
constexpr const char* kMeterSilent =
    "USB interface cable is securely connected, please check if the meter is ready.";
constexpr const char* kEcho = "00 80 25 00 00 03 00 00 00 00 ";

FakeHidPlatform::Device Device(const std::string& path, std::uint32_t devInst, std::u16string product,
                               std::u16string serial = u"") {
    FakeHidPlatform::Device d;
    d.path = path;
    d.devInst = devInst;
    d.product = std::move(product);
    d.serial = std::move(serial);
    return d;
}

FakeHidPlatform::Device Bridge(const std::string& path = "/dev/hidraw1", std::uint32_t devInst = 11) {
    return Device(path, devInst, u"USB to Serial");
}

std::vector<std::string> Texts(const UsbBridge& usb) {
    std::vector<std::string> out;
    for (const auto& item : usb.DevListBox()) out.push_back(item.text);
    return out;
}

std::vector<std::string> WidgetTexts(QListWidget* list) {
    std::vector<std::string> out;
    for (int i = 0; i < list->count(); ++i) out.push_back(list->item(i)->text().toStdString());
    return out;
}

// One HID frame as the bridge delivers it: count-and-payload reports of up
// to eight bytes, then an empty report that makes the window take it out.
void SendFrame(FakeHidPlatform& hid, const std::string& path, const FrameBuilder& f, int type = 0) {
    std::string text = f.text(32);
    text[0] = '0';
    text[1] = "0123456789ABCDEF"[type];
    std::vector<std::uint8_t> bytes;
    for (char c : text)
        bytes.push_back(static_cast<std::uint8_t>(0x30 | (c <= '9' ? c - '0' : c - 'A' + 10)));
    bytes.push_back(0x0D);
    bytes.push_back(0x0A);
    for (std::size_t at = 0; at < bytes.size(); at += 8) {
        const std::size_t n = std::min<std::size_t>(8, bytes.size() - at);
        std::vector<std::uint8_t> report{0x00, static_cast<std::uint8_t>(n)};
        report.insert(report.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                      bytes.begin() + static_cast<std::ptrdiff_t>(at + n));
        hid.Report(path, report);
    }
    hid.Report(path, {0x00, 0x00});
}

}  // namespace

// ---- the device list

TEST(UsbDeviceList, EveryDeviceIsListedAndTheLastExactBridgeSelected) {
    struct Case {
        const char* name;
        std::vector<FakeHidPlatform::Device> devices;
        std::vector<std::string> listed;
        int selected;
    };
    FakeHidPlatform::Device noName;
    noName.path = "/dev/hidraw9";
    noName.devInst = 9;
    noName.attributes = {0x00A5, 0x0003, 1};
    const std::vector<Case> cases = {
        {"one bridge among others",
         {Device("/dev/hidraw0", 1, u"Optical Mouse"), Bridge()},
         {"Optical Mouse", "USB to Serial"},
         1},
        {"two bridges: the later one",
         {Bridge("/dev/hidraw1", 11), Device("/dev/hidraw0", 1, u"Keyboard"), Bridge("/dev/hidraw2", 12)},
         {"USB to Serial", "Keyboard", "USB to Serial"},
         2},
        {"a bridge with a serial number is not the bridge",
         {Device("/dev/hidraw1", 11, u"USB to Serial", u"0001A")},
         {"USB to Serial (Serial=0001A)"},
         -1},
        {"no bridge: nothing selected", {Device("/dev/hidraw0", 1, u"Keyboard")}, {"Keyboard"}, -1},
        {"a device without a product string", {noName}, {"Device VID=00A5 PID=0003"}, -1},
        {"case matters", {Device("/dev/hidraw0", 1, u"USB to serial")}, {"USB to serial"}, -1},
        {"nothing at all", {}, {}, -1},
    };
    for (const Case& k : cases) {
        WindowRig rig([&k](WindowPlatform& p) {
            auto* hid = static_cast<FakeHidPlatform*>(p.hid);
            for (const auto& d : k.devices) hid->Add(d);
        });
        TFCOMM& w = *rig.w;
        EXPECT_EQ(Texts(w.Usb()), k.listed) << k.name;
        EXPECT_EQ(w.Usb().DevListSelected(), k.selected) << k.name;
        // Every listed device is the window's.
        for (const auto& item : w.Usb().DevListBox())
            EXPECT_TRUE(item.device && item.device->Claimed()) << k.name;
        // The hidden list box mirrors the model and stays out of reach.
        EXPECT_EQ(WidgetTexts(w.DevListBox()), k.listed) << k.name;
        EXPECT_EQ(w.DevListBox()->currentRow(), k.selected) << k.name;
        EXPECT_EQ(w.DevListBox()->focusPolicy(), Qt::NoFocus) << k.name;
        EXPECT_GE(w.DevListBox()->mapTo(w.clientArea(), QPoint(0, 0)).x(), TFCOMM::kClientWidth) << k.name;
        // Listing and selecting says nothing and adds no history.
        EXPECT_TRUE(rig.prompts.shown.empty()) << k.name;
        EXPECT_TRUE(w.Usb().HistoryListBox().empty()) << k.name;
        EXPECT_EQ(w.Usb().HidCtl().DevThreadSleepTime(), 1000) << k.name;
    }
}

TEST(UsbDeviceList, ARescanThatFindsNothingNewLeavesTheListAlone) {
    WindowRig rig([](WindowPlatform& p) { static_cast<FakeHidPlatform*>(p.hid)->Add(Bridge()); });
    TFCOMM& w = *rig.w;
    THidDevice* before = w.Usb().DevListBox().at(0).device.get();
    rig.hid.Change();
    EXPECT_EQ(w.Usb().DevListBox().at(0).device.get(), before);
    EXPECT_TRUE(w.Usb().HistoryListBox().empty());
}

TEST(UsbDeviceList, ArrivalsAndRemovalsAreLoggedAndTheListRebuilt) {
    WindowRig rig([](WindowPlatform& p) { static_cast<FakeHidPlatform*>(p.hid)->Add(Bridge()); });
    TFCOMM& w = *rig.w;
    rig.hid.Add(Device("/dev/hidraw0", 1, u"Optical Mouse"));
    rig.hid.Change();
    rig.hid.Remove("/dev/hidraw1");
    rig.hid.Change();
    const std::vector<std::string> history{"Arrival of Optical Mouse", "Removal of USB to Serial"};
    EXPECT_EQ(w.Usb().HistoryListBox(), history);
    EXPECT_EQ(w.Usb().HistorySelected(), 1);
    EXPECT_EQ(WidgetTexts(w.HistoryListBox()), history);
    EXPECT_EQ(w.HistoryListBox()->currentRow(), 1);
    EXPECT_EQ(Texts(w.Usb()), std::vector<std::string>{"Optical Mouse"});
    EXPECT_EQ(w.Usb().DevListSelected(), -1);
    // Clear empties the history only.
    w.ClearBtnClick();
    EXPECT_TRUE(w.Usb().HistoryListBox().empty());
    EXPECT_EQ(w.HistoryListBox()->count(), 0);
    EXPECT_EQ(Texts(w.Usb()), std::vector<std::string>{"Optical Mouse"});
}

// ---- USB Connect

TEST(UsbConnect, ABridgeIsConfiguredAndReadThenLetGo) {
    WindowRig rig([](WindowPlatform& p) { static_cast<FakeHidPlatform*>(p.hid)->Add(Bridge()); });
    TFCOMM& w = *rig.w;
    THidDevice* bridge = w.Usb().DevListBox().at(0).device.get();
    w.USBCon()->click();
    EXPECT_TRUE(w.USBCon()->isChecked());
    EXPECT_TRUE(bridge->Reading());
    EXPECT_EQ(w.Usb().SelectedDevice, bridge);
    EXPECT_TRUE(rig.prompts.shown.empty());
    const std::vector<std::uint8_t> feature{0x00, 0x80, 0x25, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(rig.hid.Features("/dev/hidraw1"), std::vector<std::vector<std::uint8_t>>{feature});
    EXPECT_EQ(w.Usb().HistoryListBox(), std::vector<std::string>{kEcho});

    // The meter's frames reach the mirror through the reader.
    SendFrame(rig.hid, "/dev/hidraw1", FrameBuilder().main("1357").second("0024"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Core().Mirror().digit(Digit::LcdDa) == "1"; }, 5000));
    EXPECT_EQ(w.Core().Mirror().digit(Digit::LcdDd), "7");

    w.USBCon()->click();
    EXPECT_FALSE(w.USBCon()->isChecked());
    EXPECT_FALSE(bridge->Reading());
    EXPECT_EQ(THidDeviceReadThread::Running(), 0);
    // Configured once more on the way out, as the command always does.
    EXPECT_EQ(rig.hid.Features("/dev/hidraw1").size(), 2u);
    EXPECT_TRUE(rig.prompts.shown.empty());
}

TEST(UsbConnect, TheStateTable) {
    struct Case {
        const char* name;
        std::vector<FakeHidPlatform::Device> devices;
        std::set<ProfileSwitch> profile;
        bool down;      // USBCon afterwards
        bool reading;   // the selected device reads
        bool selected;  // SelectedDevice is set
        std::vector<std::string> messages;
    };
    FakeHidPlatform::Device queryOnly = Bridge();
    queryOnly.readWrite = false;
    const std::vector<Case> cases = {
        {"nothing listed", {}, {ProfileSwitch::IFAlder}, false, false, false, {kNoCable}},
        {"no bridge selected",
         {Device("/dev/hidraw0", 1, u"Mouse")},
         {ProfileSwitch::IFAlder},
         false,
         false,
         false,
         {kNoCable}},
        {"query access only", {queryOnly}, {ProfileSwitch::IFAlder}, false, false, true, {}},
        {"usable, Alder", {Bridge()}, {ProfileSwitch::IFAlder}, true, true, true, {}},
        {"usable, Birch", {Bridge()}, {ProfileSwitch::IFBirch}, true, true, true, {}},
        {"usable, neither switch: down without data",
         {Bridge()},
         {ProfileSwitch::Holly},
         true,
         false,
         true,
         {}},
    };
    for (const Case& k : cases) {
        WindowRig rig([&k](WindowPlatform& p) {
            p.profile = k.profile;
            for (const auto& d : k.devices) static_cast<FakeHidPlatform*>(p.hid)->Add(d);
        });
        TFCOMM& w = *rig.w;
        for (int i = 0; i < 3; ++i) rig.emptyReport();
        w.USBCon()->click();
        EXPECT_EQ(w.USBCon()->isChecked(), k.down) << k.name;
        EXPECT_EQ(w.Connection().IsDown(Group::USBCon), k.down) << k.name;
        EXPECT_EQ(w.Usb().SelectedDevice != nullptr, k.selected) << k.name;
        if (w.Usb().SelectedDevice) {
            EXPECT_EQ(w.Usb().SelectedDevice->Reading(), k.reading) << k.name;
        }
        EXPECT_EQ(rig.prompts.Messages(), k.messages) << k.name;
        EXPECT_EQ(w.Core().Frames().EmptyReportCount(), 0) << k.name;
        if (k.down) {
            w.USBCon()->click();  // back to idle: nothing reads
            EXPECT_FALSE(w.Usb().SelectedDevice->Reading()) << k.name;
        }
        EXPECT_EQ(THidDeviceReadThread::Running(), 0) << k.name;
    }
}

TEST(UsbConnect, ARefusedFeatureReportIsStillEchoed) {
    WindowRig rig([](WindowPlatform& p) {
        auto d = Bridge();
        d.featureAccepted = false;
        static_cast<FakeHidPlatform*>(p.hid)->Add(d);
    });
    TFCOMM& w = *rig.w;
    w.USBCon()->click();
    EXPECT_EQ(w.Usb().HistoryListBox(), std::vector<std::string>{kEcho});
    EXPECT_TRUE(w.USBCon()->isChecked());
    EXPECT_TRUE(rig.prompts.shown.empty());
    w.USBCon()->click();
}

TEST(UsbConnect, TheReadCommandFollowsItsButton) {
    WindowRig rig([](WindowPlatform& p) { static_cast<FakeHidPlatform*>(p.hid)->Add(Bridge()); });
    TFCOMM& w = *rig.w;
    THidDevice* bridge = w.Usb().DevListBox().at(0).device.get();
    w.ReadBtn()->click();
    EXPECT_TRUE(w.ReadBtn()->isChecked());
    EXPECT_TRUE(bridge->Reading());
    EXPECT_EQ(w.Usb().SelectedDevice, bridge);
    // USB Connect puts ReadBtn up and so detaches before it attaches.
    w.USBCon()->click();
    EXPECT_FALSE(w.ReadBtn()->isChecked());
    EXPECT_TRUE(bridge->Reading());
    w.USBCon()->click();
    EXPECT_FALSE(bridge->Reading());
}

// ---- the link watch and device changes while connected

TEST(UsbLinkWatch, ABridgeDeliveringOnlyEmptyReportsIsReleased) {
    WindowRig rig([](WindowPlatform& p) { static_cast<FakeHidPlatform*>(p.hid)->Add(Bridge()); });
    TFCOMM& w = *rig.w;
    THidDevice* bridge = w.Usb().DevListBox().at(0).device.get();
    w.USBCon()->click();
    ASSERT_TRUE(bridge->Reading());
    for (int i = 0; i < 1000; ++i) rig.hid.Report("/dev/hidraw1", {0x00, 0x00});
    ASSERT_TRUE(test::WaitUntil([&] { return w.Core().Frames().EmptyReportCount() == 1000; }, 10000))
        << w.Core().Frames().EmptyReportCount() << " " << rig.hid.ReportsTaken("/dev/hidraw1");
    for (int tick = 0; tick < 3; ++tick) w.ConTimerTimer();
    EXPECT_FALSE(w.USBCon()->isChecked());
    EXPECT_FALSE(bridge->Reading());
    EXPECT_EQ(w.Core().Frames().EmptyReportCount(), 0);
    EXPECT_TRUE(rig.prompts.shown.empty());  // not from inside the tick
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(rig.prompts.Messages(), std::vector<std::string>{kMeterSilent});
}

TEST(UsbLinkWatch, TheTimerKeepsTickingWhileItsMessageIsOpen) {
    // A message box that stays open for a while, running the event loop
    // as a modal box does, and counts the link watch's ticks meanwhile.
    struct SlowPrompts : test::ScriptedPrompts {
        TFCOMM* w = nullptr;
        int ticksDuring = -1;
        void Message(Kind kind, const std::string& text) override {
            ScriptedPrompts::Message(kind, text);
            const int before = w->Core().Mirror().idleTicks;
            int changes = 0;
            int last = before;
            (void)QTest::qWaitFor(
                [&] {
                    const int now = w->Core().Mirror().idleTicks;
                    if (now != last) ++changes;
                    last = now;
                    return changes >= 3;
                },
                2000);
            ticksDuring = changes;
        }
    };
    SlowPrompts prompts;
    test::CountingBeeper beeper;
    FakeHidPlatform hid;
    hid.Add(Bridge());
    WindowPlatform platform(prompts, beeper, ".", false);
    platform.hid = &hid;
    TFCOMM w(std::move(platform));
    prompts.w = &w;
    w.USBCon()->click();
    for (int i = 0; i < 1000; ++i) w.HidDataToFrame(nullptr, 0, std::vector<std::uint8_t>{0x00}.data(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompts.Messages().empty(); }, 3000));
    EXPECT_EQ(prompts.Messages(), std::vector<std::string>{kMeterSilent});
    EXPECT_GE(prompts.ticksDuring, 3);
}

TEST(UsbDeviceChange, AnotherDeviceComingKeepsTheBridgeReading) {
    WindowRig rig([](WindowPlatform& p) { static_cast<FakeHidPlatform*>(p.hid)->Add(Bridge()); });
    TFCOMM& w = *rig.w;
    w.USBCon()->click();
    ASSERT_EQ(rig.hid.Features("/dev/hidraw1").size(), 1u);
    rig.hid.Add(Device("/dev/hidraw0", 1, u"Optical Mouse"));
    rig.hid.Change();
    // The list was rebuilt with fresh objects; the bridge reads again.
    EXPECT_TRUE(w.USBCon()->isChecked());
    ASSERT_EQ(w.Usb().DevListSelected(), 0);
    THidDevice* bridge = w.Usb().DevListBox().at(0).device.get();
    EXPECT_TRUE(bridge->Reading());
    EXPECT_EQ(w.Usb().SelectedDevice, bridge);
    EXPECT_EQ(THidDeviceReadThread::Running(), 1);
    EXPECT_EQ(rig.hid.Features("/dev/hidraw1").size(), 2u);
    SendFrame(rig.hid, "/dev/hidraw1", FrameBuilder().main("2468").second("0001"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.Core().Mirror().digit(Digit::LcdDa) == "2"; }, 5000));
    EXPECT_TRUE(rig.prompts.shown.empty());
}

TEST(UsbDeviceChange, TheBridgePulledOutReleasesTheLink) {
    WindowRig rig([](WindowPlatform& p) {
        auto* hid = static_cast<FakeHidPlatform*>(p.hid);
        hid->Add(Device("/dev/hidraw0", 1, u"Keyboard"));
        hid->Add(Bridge());
    });
    TFCOMM& w = *rig.w;
    THidDevice* bridge = w.Usb().DevListBox().at(1).device.get();
    bridge->SetReadWaitTime(20);
    w.USBCon()->click();
    ASSERT_TRUE(bridge->Reading());
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.hid.ReadCalls() > 0; }, 5000));
    rig.hid.Remove("/dev/hidraw1");
    // Until the change is handled the reader's failures are logged, at a pace.
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Usb().HistoryListBox().size() >= 3; }, 5000));
    EXPECT_EQ(w.Usb().HistoryListBox().at(1), "READ ERROR: No such device (13)");
    rig.hid.Change();
    EXPECT_FALSE(w.USBCon()->isChecked());
    EXPECT_EQ(THidDeviceReadThread::Running(), 0);
    EXPECT_EQ(w.Usb().HistoryListBox().back(), "Removal of USB to Serial");
    EXPECT_EQ(Texts(w.Usb()), std::vector<std::string>{"Keyboard"});
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(rig.prompts.Messages(), std::vector<std::string>{kNoCable});
    const std::size_t lines = w.Usb().HistoryListBox().size();
    QTest::qWait(100);
    EXPECT_EQ(w.Usb().HistoryListBox().size(), lines);
}

// A device change while connected ends as USB Connect would on the list it
// leaves: only a bridge that is gone altogether is worth a message.
TEST(UsbDeviceChange, TheRebuiltListDecidesLikeUsbConnect) {
    struct Case {
        const char* name;
        std::vector<FakeHidPlatform::Device> after;  // what is plugged in afterwards
        bool down;
        bool reading;
        const char* selected;  // path of SelectedDevice, "" for none
        std::vector<std::string> messages;
    };
    FakeHidPlatform::Device queryOnly = Bridge("/dev/hidraw2", 12);
    queryOnly.readWrite = false;
    const FakeHidPlatform::Device mouse = Device("/dev/hidraw0", 1, u"Optical Mouse");
    const std::vector<Case> cases = {
        {"bridge plugged in again readable",
         {mouse, Bridge("/dev/hidraw2", 12)},
         true,
         true,
         "/dev/hidraw2",
         {}},
        {"bridge plugged in again, query access only", {mouse, queryOnly}, false, false, "/dev/hidraw2", {}},
        {"no bridge left", {mouse}, false, false, "", {kNoCable}},
    };
    for (const Case& k : cases) {
        WindowRig rig([](WindowPlatform& p) { static_cast<FakeHidPlatform*>(p.hid)->Add(Bridge()); });
        TFCOMM& w = *rig.w;
        w.USBCon()->click();
        ASSERT_TRUE(w.Usb().DevListBox().at(0).device->Reading()) << k.name;
        rig.hid.Remove("/dev/hidraw1");
        for (const auto& d : k.after) rig.hid.Add(d);
        rig.hid.Change();
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(w.USBCon()->isChecked(), k.down) << k.name;
        EXPECT_EQ(w.Connection().IsDown(Group::USBCon), k.down) << k.name;
        THidDevice* selected = w.Usb().SelectedDevice;
        EXPECT_EQ(selected ? selected->SetupInfo().InterfacePath : std::string(), k.selected) << k.name;
        EXPECT_EQ(THidDeviceReadThread::Running(), k.reading ? 1 : 0) << k.name;
        EXPECT_EQ(rig.prompts.Messages(), k.messages) << k.name;
        if (k.down) w.USBCon()->click();
        EXPECT_EQ(THidDeviceReadThread::Running(), 0) << k.name;
    }
}

// ---- read errors and Info

TEST(UsbHistory, ReadErrorLinesUseTheSystemsText) {
    struct Case {
        std::uint32_t code;
        std::string line;
    };
    const Case cases[] = {{19, "READ ERROR: No such device (13)"},
                          {5, "READ ERROR: Input/output error (5)"},
                          {13, "READ ERROR: Permission denied (D)"},
                          {125, "READ ERROR: Operation canceled (7D)"}};
    WindowRig rig([](WindowPlatform& p) { static_cast<FakeHidPlatform*>(p.hid)->Add(Bridge()); });
    TFCOMM& w = *rig.w;
    THidDevice& bridge = *w.Usb().DevListBox().at(0).device;
    for (const Case& k : cases) {
        w.HidCtlDeviceDataError(bridge, k.code);
        EXPECT_EQ(w.Usb().HistoryListBox().back(), k.line);
    }
    // The system's texts end without a full stop, blank or line end.
    for (std::uint32_t code : {1u, 2u, 19u, 0xFFFFFFu}) {
        const std::string text = SystemErrorText(code);
        ASSERT_FALSE(text.empty()) << code;
        EXPECT_EQ(std::string(". \n\r\t").find(text.back()), std::string::npos) << code;
    }
}

TEST(UsbInfo, DescribesTheSelectedDeviceOnly) {
    WindowRig rig([](WindowPlatform& p) {
        auto* hid = static_cast<FakeHidPlatform*>(p.hid);
        hid->Add(Device("/dev/hidraw0", 1, u"Keyboard"));
        hid->Add(Bridge());
    });
    TFCOMM& w = *rig.w;
    std::vector<std::string> shown;
    w.Usb().showInfo = [&](const std::string& text) { shown.push_back(text); };
    w.InfoBtnClick();
    ASSERT_EQ(shown.size(), 1u);
    for (const char* part : {"USB to Serial", "/dev/hidraw1", "Vendor ID: 10C4", "Product ID: EA80",
                             "Input report length: 64 bytes", "read and write"})
        EXPECT_NE(shown[0].find(part), std::string::npos) << part << "\n" << shown[0];
    rig.hid.Remove("/dev/hidraw1");
    rig.hid.Change();
    w.InfoBtnClick();  // nothing selected any more
    EXPECT_EQ(shown.size(), 1u);
}

TEST(UsbInfo, TheInfoWindowIsModalAndOwnedByTheMainWindow) {
    WindowRig rig([](WindowPlatform& p) { static_cast<FakeHidPlatform*>(p.hid)->Add(Bridge()); });
    TFCOMM& w = *rig.w;
    QString text;
    bool modal = false;
    QWidget* owner = nullptr;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box) return;
        modal = box->isModal();
        owner = box->parentWidget();
        if (auto* label = box->findChild<QLabel*>(QStringLiteral("UsbInfoText"))) text = label->text();
        if (!qEnvironmentVariableIsEmpty("CORVEL_USB_INFO_PNG"))
            box->grab().save(qEnvironmentVariable("CORVEL_USB_INFO_PNG"));
        box->close();
    });
    w.InfoBtnClick();  // returns once the window is closed
    EXPECT_TRUE(modal);
    EXPECT_EQ(owner, &w);
    EXPECT_TRUE(text.contains(QStringLiteral("Path: /dev/hidraw1"))) << text.toStdString();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}
