#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSerialPort>
#include <QTest>
#include <QToolButton>

#include "links/TCommPortDriver.h"
#include "record/ReadingLog.h"
#include "shell/ConnectionControl.h"
#include "shell/WindowRig.h"

using namespace corvel;
using test::FrameBuilder;
using test::PseudoTerminal;
using test::WindowRig;
using Group = ConnectionControl::GroupButton;

namespace {

constexpr const char* kNoCable = "USB interface cable is not securely connected, please check and re-try.";
constexpr const char* kMeterSilent =
    "USB interface cable is securely connected, please check if the meter is ready.";

// COM1 leads nowhere.
void MissingPort(WindowPlatform& p) {
    p.ports.Set(QStringLiteral("COM1"), QStringLiteral("/dev/nonexistent-corvel"));
}

// The serial controls as the window shows them.
struct SerialControls {
    bool start1Checked, start1Enabled;
    bool stop1Checked, stop1Enabled;
    bool btConShown, btDisconShown;
    bool portPanelsEnabled;
    bool comm2Open;
    bool operator==(const SerialControls&) const = default;
};

SerialControls Read(TFCOMM& w) {
    return {w.START1()->isChecked(), w.START1()->isEnabled(), w.STOP1()->isChecked(),
            w.STOP1()->isEnabled(),  !w.BTCon()->isHidden(),  !w.BtDiscon()->isHidden(),
            w.BtCOM(0)->isEnabled(), w.COMM2().IsConnected()};
}

std::ostream& operator<<(std::ostream& os, const SerialControls& s) {
    return os << "START1 checked=" << s.start1Checked << " enabled=" << s.start1Enabled
              << ", STOP1 checked=" << s.stop1Checked << " enabled=" << s.stop1Enabled << ", BTCon "
              << s.btConShown << ", BtDiscon " << s.btDisconShown << ", ports enabled " << s.portPanelsEnabled
              << ", COMM2 open " << s.comm2Open;
}

constexpr SerialControls kStoppedInitial{false, true, false, false, true, false, true, false};
constexpr SerialControls kStarted{true, false, false, true, false, true, false, true};
constexpr SerialControls kStoppedAfterStop{false, true, true, false, true, false, true, false};

int VisiblePanels(TFCOMM& w) {
    int n = 0;
    for (int i = 0; i < 4; ++i) n += w.BtCOM(i)->isHidden() ? 0 : 1;
    return n;
}

void ClickPanel(QWidget* panel) {
    QTest::mouseClick(panel, Qt::LeftButton, {}, panel->rect().center());
}

}  // namespace

// ---- serial link

TEST(SerialLink, StartAndStopWalkTheStateTable) {
    // Each way to start and stop: the menu, the panels, the toggle.
    const struct {
        const char* how;
        std::function<void(TFCOMM&)> start, stop;
    } ways[] = {
        {"menu", [](TFCOMM& w) { w.START1()->trigger(); }, [](TFCOMM& w) { w.STOP1()->trigger(); }},
        {"panels", [](TFCOMM& w) { ClickPanel(w.BTCon()); }, [](TFCOMM& w) { ClickPanel(w.BtDiscon()); }},
        {"toggle", [](TFCOMM& w) { w.COMCon()->click(); }, [](TFCOMM& w) { w.COMCon()->click(); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.how);
        PseudoTerminal pty;
        ASSERT_TRUE(pty.ok());
        WindowRig rig([&pty](WindowPlatform& p) { p.ports.Set(QStringLiteral("COM1"), pty.path()); });
        TFCOMM& w = *rig.w;
        EXPECT_EQ(Read(w), kStoppedInitial);
        way.start(w);
        EXPECT_EQ(Read(w), kStarted);
        way.stop(w);
        EXPECT_EQ(Read(w), kStoppedAfterStop);
        EXPECT_TRUE(rig.prompts.shown.empty());
    }
}

// A port that cannot be opened: one error box naming the COM name, the
// device and the system's reason, and the controls stay stopped.
TEST(SerialLink, APortThatCannotBeOpenedIsReportedAndTheLinkStaysStopped) {
    PseudoTerminal held;
    ASSERT_TRUE(held.ok());
    QSerialPort holder(held.path());
    ASSERT_TRUE(holder.open(QIODevice::ReadWrite));
    // A pseudo-terminal whose slave is still locked refuses every opener,
    // the superuser too.
    const int locked = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(locked, 0);
    char lockedName[128] = {};
    ASSERT_EQ(::ptsname_r(locked, lockedName, sizeof lockedName), 0);
    const QString lockedPath = QString::fromLatin1(lockedName);

    const struct {
        const char* name;
        QString device;       // what COM1 maps to; empty: nothing
        std::string message;  // empty: checked by its shape only
    } ports[] = {
        {"NameMapsToNothing", {}, "COM1: no device is assigned to this name"},
        {"MissingDevice", QStringLiteral("/dev/nonexistent-corvel"),
         "COM1 (/dev/nonexistent-corvel): No such file or directory"},
        {"LockedTerminal", lockedPath, "COM1 (" + lockedPath.toStdString() + "): Input/output error"},
        {"PortInUse", held.path(), ""},
    };
    const struct {
        const char* how;
        std::function<void(TFCOMM&)> start;
        SerialControls before;
    } ways[] = {
        {"menu, from the initial state", [](TFCOMM& w) { w.START1()->trigger(); }, kStoppedInitial},
        {"panel, after a stop",
         [](TFCOMM& w) {
             w.BtDiscon1Click();
             ClickPanel(w.BTCon());
         },
         kStoppedAfterStop},
        {"toggle", [](TFCOMM& w) { w.COMCon()->click(); }, kStoppedInitial},
    };
    for (const auto& port : ports) {
        for (const auto& way : ways) {
            SCOPED_TRACE(std::string(port.name) + " / " + way.how);
            WindowRig rig([&](WindowPlatform& p) { p.ports.Set(QStringLiteral("COM1"), port.device); });
            TFCOMM& w = *rig.w;
            way.start(w);
            EXPECT_EQ(Read(w), way.before);
            EXPECT_FALSE(w.COMCon()->isChecked());
            EXPECT_FALSE(w.Connection().IsDown(Group::COMCon));
            ASSERT_EQ(rig.prompts.Messages().size(), 1u);
            EXPECT_EQ(rig.prompts.shown.back().kind, UserPrompts::Kind::Error);
            const std::string text = rig.prompts.Messages().front();
            if (!port.message.empty()) {
                EXPECT_EQ(text, port.message);
            } else {
                const std::string prefix = "COM1 (" + held.path().toStdString() + "): ";
                EXPECT_EQ(text.rfind(prefix, 0), 0u) << text;
                EXPECT_GT(text.size(), prefix.size()) << "the system's reason is missing";
            }
            // The port cycle works again, as in any stopped state.
            w.COM21Click();
            EXPECT_EQ(w.COMM2().ComPort(), TComPortNumber::pnCOM2);
        }
    }
    ::close(locked);
}

TEST(SerialLink, TheToggleFollowsItsDownState) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    WindowRig rig([&pty](WindowPlatform& p) { p.ports.Set(QStringLiteral("COM1"), pty.path()); });
    TFCOMM& w = *rig.w;
    w.COMCon()->click();
    EXPECT_TRUE(w.COMCon()->isChecked());
    EXPECT_TRUE(w.Connection().IsDown(Group::COMCon));
    EXPECT_EQ(Read(w), kStarted);
    w.COMCon()->click();
    EXPECT_FALSE(w.COMCon()->isChecked());
    EXPECT_EQ(Read(w), kStoppedAfterStop);
}

TEST(SerialLink, StartedOnAPseudoTerminalReceivesOakFrames) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    WindowRig rig([&pty](WindowPlatform& p) { p.ports.Set(QStringLiteral("COM1"), pty.path()); });
    TFCOMM& w = *rig.w;
    w.BTCon1Click();
    ASSERT_TRUE(w.COMM2().IsConnected());
    EXPECT_EQ(w.COMM2().openDevice(), pty.path());
    EXPECT_EQ(Read(w), (SerialControls{true, false, false, true, false, true, false, true}));

    ASSERT_TRUE(pty.Write(FrameBuilder().main("4321").second("0001").oakBytes()));
    const LcdMirror& m = w.Core().Mirror();
    EXPECT_TRUE(QTest::qWaitFor([&] { return m.digit(Digit::LcdDa) == "4"; }, 5000));
    EXPECT_EQ(m.digit(Digit::LcdDd), "1");
    EXPECT_EQ(w.Log().RowCount(), 1);

    w.BtDiscon1Click();
    EXPECT_FALSE(w.COMM2().IsConnected());
    EXPECT_EQ(Read(w), kStoppedAfterStop);
    // Stopped, the port is closed again and can be started anew.
    w.BTCon1Click();
    EXPECT_TRUE(w.COMM2().IsConnected());
    ASSERT_TRUE(pty.Write(FrameBuilder().main("5678").second("0001").oakBytes()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return m.digit(Digit::LcdDa) == "5"; }, 5000));
    w.BtDiscon1Click();
    EXPECT_TRUE(rig.prompts.shown.empty());
}

TEST(SerialLink, AnAdapterPluggedBackWhileStartedDeliversFramesAgain) {
    // The adapter's node: a link to a terminal, gone with it and made again
    // for its successor.
    const QString node = QDir::temp().filePath(QStringLiteral("corvel-window-adapter-%1").arg(::getpid()));
    QFile::remove(node);
    auto first = std::make_unique<PseudoTerminal>();
    ASSERT_TRUE(first->ok());
    ASSERT_TRUE(QFile::link(first->path(), node));
    WindowRig rig([&node](WindowPlatform& p) { p.ports.Set(QStringLiteral("COM1"), node); });
    TFCOMM& w = *rig.w;
    w.START1()->trigger();
    ASSERT_TRUE(w.COMM2().IsConnected());
    const LcdMirror& m = w.Core().Mirror();
    ASSERT_TRUE(first->Write(FrameBuilder().main("1111").second("0001").oakBytes()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m.digit(Digit::LcdDa) == "1"; }, 5000));

    first.reset();
    QFile::remove(node);
    QTest::qWait(1500);
    EXPECT_EQ(Read(w), kStarted) << "the link stays started while the adapter is out";

    PseudoTerminal second;
    ASSERT_TRUE(second.ok());
    ASSERT_TRUE(QFile::link(second.path(), node));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.COMM2().awaitingDevice(); }, 3000));
    ASSERT_TRUE(second.Write(FrameBuilder().main("2222").second("0001").oakBytes()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return m.digit(Digit::LcdDa) == "2"; }, 5000));
    const termios t = second.Attributes();
    EXPECT_EQ(cfgetospeed(&t), speed_t(B2400));
    EXPECT_TRUE(rig.prompts.shown.empty());
    w.STOP1()->trigger();
    QFile::remove(node);
}

TEST(PortCycle, FourClicksStepThroughEveryPortAndBack) {
    WindowRig rig;
    TFCOMM& w = *rig.w;
    ASSERT_EQ(VisiblePanels(w), 1);
    ASSERT_FALSE(w.BtCOM(0)->isHidden());
    const struct {
        int shownAfter;
        TComPortNumber port;
        const char* caption;
    } steps[] = {{1, TComPortNumber::pnCOM2, "COM 2"},
                 {2, TComPortNumber::pnCOM3, "COM 3"},
                 {3, TComPortNumber::pnCOM4, "COM 4"},
                 {0, TComPortNumber::pnCOM1, "COM 1"}};
    int showing = 0;
    for (const auto& step : steps) {
        ClickPanel(w.BtCOM(showing));
        showing = step.shownAfter;
        EXPECT_EQ(VisiblePanels(w), 1);
        EXPECT_FALSE(w.BtCOM(showing)->isHidden()) << step.caption;
        EXPECT_EQ(w.BtCOM(showing)->text(), step.caption);
        EXPECT_EQ(w.COMM2().ComPort(), step.port) << step.caption;
    }
}

TEST(PortCycle, ClicksWhileStartedChangeNothing) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    WindowRig rig([&pty](WindowPlatform& p) { p.ports.Set(QStringLiteral("COM1"), pty.path()); });
    TFCOMM& w = *rig.w;
    w.BTCon1Click();
    ASSERT_TRUE(w.COMM2().IsConnected());
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(w.BtCOM(i)->isEnabled()) << i;
    ClickPanel(w.BtCOM(0));
    w.COM21Click();
    EXPECT_FALSE(w.BtCOM(0)->isHidden());
    EXPECT_EQ(VisiblePanels(w), 1);
    EXPECT_EQ(w.COMM2().ComPort(), TComPortNumber::pnCOM1);
    // Stopped again, the cycle works.
    w.BtDiscon1Click();
    w.COM21Click();
    EXPECT_EQ(w.COMM2().ComPort(), TComPortNumber::pnCOM2);
}

TEST(PortCycle, TheChosenPortIsTheOneOpened) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    WindowRig rig([&pty](WindowPlatform& p) {
        MissingPort(p);
        p.ports.Set(QStringLiteral("COM2"), pty.path());
    });
    TFCOMM& w = *rig.w;
    w.COM21Click();
    w.BTCon1Click();
    EXPECT_TRUE(w.COMM2().IsConnected());
    EXPECT_EQ(w.COMM2().openDevice(), pty.path());
    w.BtDiscon1Click();
}

// ---- USB link and the exclusive group

TEST(UsbLink, ConnectWithNoDeviceListedSaysSoAndReleasesTheButton) {
    WindowRig rig;
    TFCOMM& w = *rig.w;
    for (int i = 0; i < 5; ++i) rig.emptyReport();
    ASSERT_EQ(w.Core().Frames().EmptyReportCount(), 5);
    w.USBCon()->click();
    EXPECT_EQ(rig.prompts.Messages(), std::vector<std::string>{kNoCable});
    EXPECT_EQ(rig.prompts.shown.at(0).kind, UserPrompts::Kind::Information);
    EXPECT_FALSE(w.USBCon()->isChecked());
    EXPECT_FALSE(w.Connection().IsDown(Group::USBCon));
    EXPECT_EQ(w.Core().Frames().EmptyReportCount(), 0);
}

TEST(UsbLink, PressingUsbWhileTheSerialToggleIsDownReleasesItButKeepsTheLink) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    WindowRig rig([&pty](WindowPlatform& p) { p.ports.Set(QStringLiteral("COM1"), pty.path()); });
    TFCOMM& w = *rig.w;
    w.COMCon()->click();
    ASSERT_TRUE(w.COMCon()->isChecked());
    ASSERT_TRUE(w.COMM2().IsConnected());
    w.USBCon()->click();
    EXPECT_FALSE(w.COMCon()->isChecked());
    EXPECT_FALSE(w.Connection().IsDown(Group::COMCon));
    // The serial link goes on: still started, still open, still reading.
    EXPECT_TRUE(w.COMM2().IsConnected());
    EXPECT_TRUE(w.START1()->isChecked());
    EXPECT_TRUE(w.STOP1()->isEnabled());
    ASSERT_TRUE(pty.Write(FrameBuilder().main("2468").second("0001").oakBytes()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.Core().Mirror().digit(Digit::LcdDa) == "2"; }, 5000));
    w.BtDiscon1Click();
}

TEST(ExclusiveGroup, PuttingOneDownReleasesTheOtherWithoutItsHandler) {
    const Group all[] = {Group::USBCon, Group::COMCon, Group::ReadBtn};
    for (Group first : all) {
        for (Group pressed : all) {
            if (first == pressed) continue;
            WindowRig rig(MissingPort);
            TFCOMM& w = *rig.w;
            ConnectionControl& c = w.Connection();
            c.SetDown(first, true);
            c.SetDown(pressed, true);
            for (Group g : all) EXPECT_EQ(c.IsDown(g), g == pressed);
            EXPECT_EQ(w.USBCon()->isChecked(), pressed == Group::USBCon);
            EXPECT_EQ(w.COMCon()->isChecked(), pressed == Group::COMCon);
            // No handler ran: nothing started, nothing said.
            EXPECT_FALSE(w.START1()->isChecked());
            EXPECT_TRUE(rig.prompts.shown.empty());
            // All of them may be up at once.
            c.SetDown(pressed, false);
            for (Group g : all) EXPECT_FALSE(c.IsDown(g));
        }
    }
}

// ---- the link watch

TEST(LinkWatch, TheThirdIdleTickShowsTheNoDataImage) {
    WindowRig rig([](WindowPlatform& p) { p.profile = {ProfileSwitch::IFBirch}; });
    TFCOMM& w = *rig.w;
    // Before any data: the no-data image.
    EXPECT_TRUE(w.CONok()->isHidden());
    EXPECT_FALSE(w.CONokN()->isHidden());
    rig.birch();
    ASSERT_FALSE(w.CONok()->isHidden());
    ASSERT_TRUE(w.CONokN()->isHidden());
    for (int tick = 1; tick <= 2; ++tick) {
        w.ConTimerTimer();
        EXPECT_FALSE(w.CONok()->isHidden()) << tick;
        EXPECT_TRUE(w.CONokN()->isHidden()) << tick;
    }
    w.ConTimerTimer();
    EXPECT_TRUE(w.CONok()->isHidden());
    EXPECT_FALSE(w.CONokN()->isHidden());
    // And it stays, without a message, while nothing comes.
    for (int tick = 0; tick < 9; ++tick) w.ConTimerTimer();
    EXPECT_FALSE(w.CONokN()->isHidden());
    EXPECT_TRUE(rig.prompts.shown.empty());
}

TEST(LinkWatch, AFrameEveryTickKeepsTheNoDataImageAway) {
    WindowRig rig([](WindowPlatform& p) { p.profile = {ProfileSwitch::IFBirch}; });
    TFCOMM& w = *rig.w;
    for (int tick = 0; tick < 20; ++tick) {
        rig.birch();
        w.ConTimerTimer();
        ASSERT_TRUE(w.CONokN()->isHidden()) << tick;
        ASSERT_FALSE(w.CONok()->isHidden()) << tick;
    }
    // Two ticks between frames are still soon enough.
    for (int round = 0; round < 5; ++round) {
        rig.birch();
        w.ConTimerTimer();
        w.ConTimerTimer();
        EXPECT_TRUE(w.CONokN()->isHidden()) << round;
    }
}

TEST(LinkWatch, OakFramesResetTheIdleCountToo) {
    WindowRig rig;
    TFCOMM& w = *rig.w;
    for (int tick = 0; tick < 10; ++tick) {
        rig.oak(FrameBuilder().main("0100").second("0001"));
        w.ConTimerTimer();
        w.ConTimerTimer();
    }
    EXPECT_EQ(w.Core().Mirror().idleTicks, 2);
    w.ConTimerTimer();
    EXPECT_FALSE(w.CONokN()->isHidden());
    EXPECT_EQ(w.Core().Mirror().idleTicks, 0);
}

TEST(LinkWatch, ABridgeWithOnlyEmptyReportsIsReleasedWithOneMessage) {
    WindowRig rig;
    TFCOMM& w = *rig.w;
    // As if the bridge were listening.
    w.Connection().SetDown(Group::USBCon, true);
    ASSERT_TRUE(w.USBCon()->isChecked());
    for (int i = 0; i < 1000; ++i) rig.emptyReport();
    ASSERT_EQ(w.Core().Frames().EmptyReportCount(), 1000);
    w.ConTimerTimer();
    w.ConTimerTimer();
    EXPECT_TRUE(rig.prompts.shown.empty());  // the test runs on the third tick only
    w.ConTimerTimer();
    // The box comes once the tick is over, from the event loop.
    EXPECT_TRUE(rig.prompts.shown.empty());
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(rig.prompts.Messages(), std::vector<std::string>{kMeterSilent});
    EXPECT_EQ(rig.prompts.shown.at(0).kind, UserPrompts::Kind::Information);
    EXPECT_EQ(w.Core().Frames().EmptyReportCount(), 0);
    EXPECT_FALSE(w.USBCon()->isChecked());
    EXPECT_FALSE(w.CONokN()->isHidden());
    // Counted anew from zero: no second message for a while.
    for (int i = 0; i < 999; ++i) rig.emptyReport();
    for (int tick = 0; tick < 6; ++tick) w.ConTimerTimer();
    EXPECT_EQ(rig.prompts.Messages().size(), 1u);
    rig.emptyReport();
    for (int tick = 0; tick < 3; ++tick) w.ConTimerTimer();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(rig.prompts.Messages().size(), 2u);
}

TEST(LinkWatch, FewerThanAThousandEmptyReportsSayNothing) {
    WindowRig rig;
    TFCOMM& w = *rig.w;
    w.Connection().SetDown(Group::USBCon, true);
    for (int i = 0; i < 999; ++i) rig.emptyReport();
    for (int tick = 0; tick < 9; ++tick) w.ConTimerTimer();
    EXPECT_TRUE(rig.prompts.shown.empty());
    EXPECT_TRUE(w.USBCon()->isChecked());
    EXPECT_EQ(w.Core().Frames().EmptyReportCount(), 999);
}

TEST(LinkWatch, TheTimerRunsOnItsOwnEveryHundredMilliseconds) {
    WindowRig rig([](WindowPlatform& p) { p.profile = {ProfileSwitch::IFBirch}; }, /*stopTimers=*/false);
    TFCOMM& w = *rig.w;
    EXPECT_TRUE(w.ConTimer().isActive());
    EXPECT_EQ(w.ConTimer().interval(), 100);
    rig.birch();
    ASSERT_TRUE(w.CONokN()->isHidden());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.CONokN()->isHidden(); }, 5000));
    EXPECT_TRUE(w.CONok()->isHidden());
}
