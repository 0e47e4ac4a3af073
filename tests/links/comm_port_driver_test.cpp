#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QSerialPort>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <memory>

#include "links/TCommPortDriver.h"
#include "support/FrameCounter.h"
#include "support/LinkTestSupport.h"

namespace corvel {
namespace {

using test::Pty;
using test::SpinFor;
using test::WaitUntil;

// What the driver handed over, call by call.
struct Received {
    QList<QByteArray> chunks;
    QList<QThread*> threads;
    QByteArray All() const {
        QByteArray all;
        for (const auto& c : chunks) all += c;
        return all;
    }
    qsizetype Size() const { return All().size(); }
    qsizetype LargestChunk() const {
        qsizetype m = 0;
        for (const auto& c : chunks) m = std::max(m, c.size());
        return m;
    }
};

class DriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        PortMap map;
        map.Set("COM1", pty.path());
        driver.setPortMap(map);
        driver.SetComPort(TComPortNumber::pnCOM1);
        driver.SetComPortSpeed(TComPortBaudRate::br2400);
        driver.SetOnReceiveData([this](QObject* sender, const std::uint8_t* data, std::int32_t size) {
            EXPECT_EQ(sender, &driver);
            received.chunks.append(QByteArray(reinterpret_cast<const char*>(data), size));
            received.threads.append(QThread::currentThread());
        });
    }

    bool WaitForBytes(qsizetype n, int timeoutMs = 5000) {
        return WaitUntil([&] { return received.Size() >= n; }, timeoutMs);
    }

    Pty pty;
    TCommPortDriver driver;
    Received received;
};

TEST_F(DriverTest, StartsWithTheDocumentedDefaults) {
    TCommPortDriver fresh;
    EXPECT_EQ(fresh.ComPort(), TComPortNumber::pnCOM2);
    EXPECT_EQ(fresh.ComPortSpeed(), TComPortBaudRate::br9600);
    EXPECT_EQ(fresh.ComPortDataBits(), TComPortDataBits::db8BITS);
    EXPECT_EQ(fresh.ComPortStopBits(), TComPortStopBits::sb1BITS);
    EXPECT_EQ(fresh.ComPortParity(), TComPortParity::ptNONE);
    EXPECT_EQ(fresh.ComPortHwHandshaking(), TComPortHwHandshaking::hhNONE);
    EXPECT_EQ(fresh.ComPortSwHandshaking(), TComPortSwHandshaking::shNONE);
    EXPECT_EQ(fresh.ComPortInBufSize(), 2048);
    EXPECT_EQ(fresh.ComPortOutBufSize(), 2048);
    EXPECT_EQ(fresh.ComPortPollingDelay(), 50);
    EXPECT_TRUE(fresh.EnableDTROnOpen());
    EXPECT_EQ(fresh.OutputTimeout(), 4000);
    EXPECT_FALSE(fresh.IsConnected());
}

// --- ports that cannot be opened -------------------------------------------

struct BadPortCase {
    const char* name;
    const char* device;  // what COM1 maps to; "" = nothing
    bool holdPort;       // someone else has the port open
};

class DriverBadPort : public DriverTest, public ::testing::WithParamInterface<BadPortCase> {};

TEST_P(DriverBadPort, ConnectReturnsFalseAndDeliversNothing) {
    const auto& c = GetParam();
    QSerialPort other;
    PortMap map;
    map.Set("COM1", *c.device ? QString::fromLatin1(c.device) : QString());
    if (c.holdPort) {
        map.Set("COM1", pty.path());
        other.setPortName(pty.path());
        ASSERT_TRUE(other.open(QIODevice::ReadWrite));
    }
    driver.setPortMap(map);
    EXPECT_FALSE(driver.Connect());
    EXPECT_FALSE(driver.IsConnected());
    // Said for the user: the COM name, where it leads, the system's reason.
    const QString device = map.Resolve(QStringLiteral("COM1"));
    const QString failure = driver.connectFailure();
    if (device.isEmpty()) {
        EXPECT_EQ(failure, QStringLiteral("COM1: no device is assigned to this name"));
    } else {
        const QString prefix = QStringLiteral("COM1 (%1): ").arg(device);
        EXPECT_TRUE(failure.startsWith(prefix)) << failure.toStdString();
        EXPECT_GT(failure.size(), prefix.size()) << "no reason given";
    }
    pty.Write("0123456789");
    SpinFor(150);
    EXPECT_TRUE(received.chunks.isEmpty());
    driver.Disconnect();  // harmless
    EXPECT_FALSE(driver.IsConnected());
}

INSTANTIATE_TEST_SUITE_P(Faults, DriverBadPort,
                         ::testing::Values(BadPortCase{"NameMapsToNothing", "", false},
                                           BadPortCase{"MissingDevice", "/dev/corvel-no-such-tty", false},
                                           BadPortCase{"NotASerialDevice", "/dev/null", false},
                                           BadPortCase{"PortInUse", "", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- connecting ---------------------------------------------------------------

TEST_F(DriverTest, ConnectOnAnOpenDriverNeitherReopensNorReconfigures) {
    ASSERT_TRUE(driver.Connect());
    EXPECT_EQ(driver.openDevice(), pty.path());
    // Someone changes the line and bytes are waiting; a second Connect must
    // neither set the line again nor purge what is waiting.
    pty.SetSpeed(B300);
    driver.SetComPortPollingDelay(60000);
    ASSERT_TRUE(pty.Write("waiting"));
    SpinFor(50);
    EXPECT_TRUE(driver.Connect());
    EXPECT_TRUE(driver.IsConnected());
    const termios t = pty.Attributes();
    EXPECT_EQ(cfgetospeed(&t), speed_t(B300));
    driver.SetComPortPollingDelay(20);
    ASSERT_TRUE(WaitForBytes(7));
    EXPECT_EQ(received.All(), "waiting");
}

// --- line settings --------------------------------------------------------------

// A pseudo-terminal keeps the baud rate, stop bits and flow control, but the
// kernel always gives it 8 data bits and no parity, and refuses anything
// else. The cases with other framing check that such a refusal does not keep
// the rest of the settings off the line.
struct LineCase {
    const char* name;
    TComPortBaudRate speed;
    TComPortDataBits bits;
    TComPortParity parity;
    TComPortStopBits stop;
    TComPortHwHandshaking hw;
    TComPortSwHandshaking sw;
    speed_t baud;
    bool twoStop;
    bool rtsCts;
    bool xonXoff;
};

class DriverLineSettings : public DriverTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(DriverLineSettings, ConnectPutsThemOnTheLine) {
    const auto& c = GetParam();
    driver.SetComPortSpeed(c.speed);
    driver.SetComPortDataBits(c.bits);
    driver.SetComPortParity(c.parity);
    driver.SetComPortStopBits(c.stop);
    driver.SetComPortHwHandshaking(c.hw);
    driver.SetComPortSwHandshaking(c.sw);
    ASSERT_TRUE(driver.Connect());
    const termios t = pty.Attributes();
    EXPECT_EQ(cfgetospeed(&t), c.baud);
    EXPECT_EQ(cfgetispeed(&t), c.baud);
    EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(t.c_cflag & PARENB, 0u);
    EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.twoStop);
    EXPECT_EQ((t.c_cflag & CRTSCTS) != 0, c.rtsCts);
    EXPECT_EQ((t.c_iflag & IXON) != 0, c.xonXoff);
    EXPECT_EQ((t.c_iflag & IXOFF) != 0, c.xonXoff);
    // Raw bytes: no line editing, no echo back to the meter.
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
}

using H = TComPortHwHandshaking;
using S = TComPortSwHandshaking;
using B = TComPortBaudRate;
using D = TComPortDataBits;
using P = TComPortParity;
using T = TComPortStopBits;

INSTANTIATE_TEST_SUITE_P(
    Lines, DriverLineSettings,
    ::testing::Values(LineCase{"Oak2400_8N1", B::br2400, D::db8BITS, P::ptNONE, T::sb1BITS, H::hhNONE,
                               S::shNONE, B2400, false, false, false},
                      LineCase{"Birch19200_8N1", B::br19200, D::db8BITS, P::ptNONE, T::sb1BITS, H::hhNONE,
                               S::shNONE, B19200, false, false, false},
                      LineCase{"Even7Two_RtsCts", B::br9600, D::db7BITS, P::ptEVEN, T::sb2BITS, H::hhRTSCTS,
                               S::shNONE, B9600, true, true, false},
                      LineCase{"Odd6_XonXoff", B::br4800, D::db6BITS, P::ptODD, T::sb1BITS, H::hhNONE,
                               S::shXONXOFF, B4800, false, false, true},
                      LineCase{"Mark5_OneAndHalf", B::br1200, D::db5BITS, P::ptMARK, T::sb1HALFBITS,
                               H::hhNONE, S::shNONE, B1200, true, false, false},
                      LineCase{"Space8_BothHandshakes", B::br115200, D::db8BITS, P::ptSPACE, T::sb1BITS,
                               H::hhRTSCTS, S::shXONXOFF, B115200, false, true, true},
                      LineCase{"Slow110", B::br110, D::db8BITS, P::ptNONE, T::sb1BITS, H::hhNONE, S::shNONE,
                               B110, false, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

struct SetterCase {
    const char* name;
    std::function<void(TCommPortDriver&)> set;
    std::function<bool(const termios&)> applied;
};

class DriverSetterWhileOpen : public DriverTest, public ::testing::WithParamInterface<SetterCase> {};

TEST_P(DriverSetterWhileOpen, ReprogramsTheLineAtOnce) {
    const auto& c = GetParam();
    ASSERT_TRUE(driver.Connect());
    ASSERT_FALSE(c.applied(pty.Attributes())) << "the case must change something";
    c.set(driver);
    EXPECT_TRUE(c.applied(pty.Attributes()));
}

INSTANTIATE_TEST_SUITE_P(
    Setters, DriverSetterWhileOpen,
    ::testing::Values(SetterCase{"Speed", [](auto& d) { d.SetComPortSpeed(B::br19200); },
                                 [](const termios& t) { return cfgetospeed(&t) == B19200; }},
                      SetterCase{"StopBits", [](auto& d) { d.SetComPortStopBits(T::sb2BITS); },
                                 [](const termios& t) { return (t.c_cflag & CSTOPB) != 0; }},
                      SetterCase{"HwHandshaking", [](auto& d) { d.SetComPortHwHandshaking(H::hhRTSCTS); },
                                 [](const termios& t) { return (t.c_cflag & CRTSCTS) != 0; }},
                      SetterCase{
                          "SwHandshaking", [](auto& d) { d.SetComPortSwHandshaking(S::shXONXOFF); },
                          [](const termios& t) { return (t.c_iflag & (IXON | IXOFF)) == (IXON | IXOFF); }}),
    [](const auto& info) { return std::string(info.param.name); });

// The parity bits a pseudo-terminal keeps: it always clears the enable
// bit itself, but odd and stick parity stay as programmed, which is what a
// real UART would send.
tcflag_t ParityBits(const termios& t) {
    return t.c_cflag & (PARODD | CMSPAR);
}

tcflag_t ExpectedParityBits(TComPortParity p) {
    switch (p) {
        case P::ptODD: return PARODD;
        case P::ptMARK: return PARODD | CMSPAR;
        case P::ptSPACE: return CMSPAR;
        case P::ptNONE:
        case P::ptEVEN: break;
    }
    return 0;
}

TEST_F(DriverTest, EveryParityChangePutsExactlyThatParityOnTheLine) {
    // Each step: the parity asked for, and whether the port is closed and
    // opened again before it is set.
    const struct {
        TComPortParity parity;
        bool reopen;
    } steps[] = {{P::ptMARK, false}, {P::ptEVEN, false}, {P::ptSPACE, false}, {P::ptODD, false},
                 {P::ptMARK, false}, {P::ptNONE, false}, {P::ptSPACE, false}, {P::ptEVEN, true},
                 {P::ptMARK, true},  {P::ptODD, true},   {P::ptSPACE, true},  {P::ptNONE, true}};
    ASSERT_TRUE(driver.Connect());
    int i = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(testing::Message() << "step " << i++ << (step.reopen ? " after reopening" : ""));
        if (step.reopen) {
            driver.Disconnect();
            driver.SetComPortParity(step.parity);
            ASSERT_TRUE(driver.Connect());
        } else {
            driver.SetComPortParity(step.parity);
        }
        EXPECT_EQ(ParityBits(pty.Attributes()), ExpectedParityBits(step.parity));
    }
}

TEST_F(DriverTest, SpeedChangeWhileOpenDiscardsPendingInput) {
    ASSERT_TRUE(driver.Connect());
    driver.SetComPortPollingDelay(60000);  // restarts the timer: no poll for now
    ASSERT_TRUE(pty.Write("stale"));
    SpinFor(100);
    EXPECT_TRUE(received.chunks.isEmpty());
    driver.SetComPortSpeed(TComPortBaudRate::br19200);
    ASSERT_TRUE(pty.Write("fresh"));
    driver.SetComPortPollingDelay(20);
    ASSERT_TRUE(WaitForBytes(5));
    SpinFor(60);
    EXPECT_EQ(received.All(), "fresh");
}

// --- settings frozen while open -------------------------------------------------

TEST_F(DriverTest, ComPortIsFrozenWhileOpenAndTakenAtTheNextConnect) {
    Pty second;
    ASSERT_TRUE(second.ok());
    PortMap map = driver.portMap();
    map.Set("COM3", second.path());
    driver.setPortMap(map);

    ASSERT_TRUE(driver.Connect());
    driver.SetComPort(TComPortNumber::pnCOM3);
    EXPECT_EQ(driver.ComPort(), TComPortNumber::pnCOM1);
    EXPECT_EQ(driver.openDevice(), pty.path());

    driver.Disconnect();
    driver.SetComPort(TComPortNumber::pnCOM3);
    EXPECT_EQ(driver.ComPort(), TComPortNumber::pnCOM3);
    ASSERT_TRUE(driver.Connect());
    EXPECT_EQ(driver.openDevice(), second.path());
    ASSERT_TRUE(second.Write("from COM3"));
    ASSERT_TRUE(WaitForBytes(9));
    EXPECT_EQ(received.All(), "from COM3");
}

TEST_F(DriverTest, BufferSizesAreFrozenWhileOpen) {
    ASSERT_TRUE(driver.Connect());
    driver.SetComPortInBufSize(8);
    driver.SetComPortOutBufSize(8);
    EXPECT_EQ(driver.ComPortInBufSize(), 2048);
    EXPECT_EQ(driver.ComPortOutBufSize(), 2048);
    driver.SetComPortPollingDelay(60000);
    ASSERT_TRUE(pty.Write(QByteArray(100, 'x')));
    SpinFor(100);
    driver.SetComPortPollingDelay(20);
    ASSERT_TRUE(WaitForBytes(100));
    EXPECT_EQ(received.LargestChunk(), 100) << "the old 2048-byte buffer is still in use";

    driver.Disconnect();
    driver.SetComPortInBufSize(8);
    EXPECT_EQ(driver.ComPortInBufSize(), 8);
    received = {};
    ASSERT_TRUE(driver.Connect());
    ASSERT_TRUE(pty.Write(QByteArray(100, 'y')));
    ASSERT_TRUE(WaitForBytes(100));
    EXPECT_LE(received.LargestChunk(), 8);
}

// --- delivery -------------------------------------------------------------------

struct ChunkCase {
    const char* name;
    std::uint16_t bufSize;
    int bytes;
};

class DriverChunks : public DriverTest, public ::testing::WithParamInterface<ChunkCase> {};

TEST_P(DriverChunks, EveryByteArrivesInOrderOnTheMainThreadInBoundedChunks) {
    const auto& c = GetParam();
    driver.SetComPortInBufSize(c.bufSize);
    ASSERT_TRUE(driver.Connect());
    QByteArray sent(c.bytes, Qt::Uninitialized);
    for (int i = 0; i < c.bytes; ++i) sent[i] = static_cast<char>(QRandomGenerator::global()->bounded(256));
    ASSERT_TRUE(pty.Write(sent));
    ASSERT_TRUE(WaitForBytes(c.bytes, 30000)) << received.Size() << " of " << c.bytes;
    SpinFor(60);
    EXPECT_EQ(received.All(), sent);
    EXPECT_LE(received.LargestChunk(), c.bufSize);
    EXPECT_GE(received.chunks.size(), (c.bytes + c.bufSize - 1) / c.bufSize);
    for (QThread* t : received.threads) EXPECT_EQ(t, QCoreApplication::instance()->thread());
}

INSTANTIATE_TEST_SUITE_P(Sizes, DriverChunks,
                         ::testing::Values(ChunkCase{"OneByteBuffer", 1, 60},
                                           ChunkCase{"SmallBuffer", 16, 1000},
                                           ChunkCase{"MoreThanOneDefaultBuffer", 2048, 5000},
                                           // Far more than the driver holds back: the kernel
                                           // must keep the rest until the driver takes it.
                                           ChunkCase{"Flood", 2048, 400000}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DriverTest, ASlowLineWakesTheProgramOncePerPollNotOncePerByte) {
    ASSERT_TRUE(driver.Connect());
    SpinFor(60);
    QByteArray sent;
    const auto before = test::EventCount();
    // A meter at 2400 baud: a byte every few milliseconds, for about six
    // polling periods.
    for (int i = 0; i < 80; ++i) {
        sent += static_cast<char>('a' + i % 26);
        ASSERT_TRUE(pty.Write(sent.right(1)));
        SpinFor(4);
    }
    ASSERT_TRUE(WaitForBytes(sent.size()));
    const auto events = test::EventCount() - before;
    EXPECT_EQ(received.All(), sent);
    EXPECT_LT(events, 50u) << "the event loop saw the line byte by byte";
    EXPECT_LT(received.chunks.size(), 20) << "bytes were handed over as they came, not once a poll";
}

TEST_F(DriverTest, AFrameSplitAcrossPollsReachesTheFrameHandlerWhole) {
    test::AcceptedFrames frames;
    driver.SetOnReceiveData([&](QObject*, const std::uint8_t* data, std::int32_t size) {
        received.chunks.append(QByteArray(reinterpret_cast<const char*>(data), size));
        frames.assembly().HOakRData(data, size);
    });
    ASSERT_TRUE(driver.Connect());

    const QByteArray frame = QByteArray::fromHex("1020 3e4b 5c67 7f85 90a0 bec0 d6e0");
    ASSERT_TRUE(pty.Write(frame.left(6)));
    ASSERT_TRUE(WaitForBytes(6));
    EXPECT_TRUE(frames.oak.empty());
    ASSERT_TRUE(pty.Write(frame.mid(6)));
    ASSERT_TRUE(WaitUntil([&] { return !frames.oak.empty(); }));
    EXPECT_GE(received.chunks.size(), 2);
    ASSERT_EQ(frames.oak.size(), 1u);
    EXPECT_EQ(frames.oak[0], "00EBC7F500E060");
}

TEST_F(DriverTest, WithoutAHandlerThePortIsStillReadAndTheBytesDropped) {
    auto handler = driver.OnReceiveData();
    driver.SetOnReceiveData(nullptr);
    ASSERT_TRUE(driver.Connect());
    ASSERT_TRUE(pty.Write("dropped"));
    SpinFor(200);  // several polls
    driver.SetOnReceiveData(handler);
    ASSERT_TRUE(pty.Write("kept"));
    ASSERT_TRUE(WaitForBytes(4));
    SpinFor(60);
    EXPECT_EQ(received.All(), "kept");
}

TEST_F(DriverTest, DisconnectStopsDeliveryAndDoesNothingWhenClosed) {
    driver.Disconnect();
    EXPECT_FALSE(driver.IsConnected());
    ASSERT_TRUE(driver.Connect());
    ASSERT_TRUE(pty.Write("one"));
    ASSERT_TRUE(WaitForBytes(3));
    driver.Disconnect();
    EXPECT_FALSE(driver.IsConnected());
    pty.Write("two");
    SpinFor(150);
    EXPECT_EQ(received.All(), "one");
    driver.Disconnect();
    EXPECT_FALSE(driver.IsConnected());
}

TEST_F(DriverTest, HandlerThatDisconnectsEndsTheDeliveryOfThatPoll) {
    driver.SetComPortInBufSize(4);
    driver.SetOnReceiveData([&](QObject*, const std::uint8_t* data, std::int32_t size) {
        received.chunks.append(QByteArray(reinterpret_cast<const char*>(data), size));
        driver.Disconnect();
    });
    ASSERT_TRUE(driver.Connect());
    driver.SetComPortPollingDelay(60000);
    ASSERT_TRUE(pty.Write("0123456789"));
    SpinFor(100);
    driver.SetComPortPollingDelay(20);
    ASSERT_TRUE(WaitForBytes(4));
    SpinFor(100);
    EXPECT_EQ(received.chunks.size(), 1);
    EXPECT_FALSE(driver.IsConnected());
}

TEST_F(DriverTest, AModalLoopInsideTheHandlerKeepsPollingWithoutTouchingItsChunk) {
    QByteArray outerSeen;
    bool nestedDelivered = false;
    int depth = 0;
    driver.SetOnReceiveData([&](QObject*, const std::uint8_t* data, std::int32_t size) {
        ++depth;
        received.chunks.append(QByteArray(reinterpret_cast<const char*>(data), size));
        if (depth == 1 && received.chunks.size() == 1) {
            // The handler shows a message box, say: the event loop runs on
            // and new bytes come in meanwhile.
            const std::uint8_t* mine = data;
            pty.Write("BBBB");
            WaitUntil([&] { return received.chunks.size() > 1; }, 3000);
            nestedDelivered = received.chunks.size() > 1;
            outerSeen = QByteArray(reinterpret_cast<const char*>(mine), size);
        }
        --depth;
    });
    ASSERT_TRUE(driver.Connect());
    ASSERT_TRUE(pty.Write("AAAA"));
    ASSERT_TRUE(WaitForBytes(8));
    EXPECT_TRUE(nestedDelivered);
    EXPECT_EQ(outerSeen, "AAAA");
    EXPECT_EQ(received.All(), "AAAABBBB");
}

TEST_F(DriverTest, APollingDelayOfZeroDoesNotSpinTheEventLoop) {
    ASSERT_TRUE(driver.Connect());
    driver.SetComPortPollingDelay(0);
    EXPECT_EQ(driver.ComPortPollingDelay(), 0);
    const auto before = test::EventCount();
    SpinFor(500);
    EXPECT_LT(test::EventCount() - before, 400u);
    ASSERT_TRUE(pty.Write("still polled"));
    ASSERT_TRUE(WaitForBytes(12));
}

// --- the device goes away -------------------------------------------------------

TEST_F(DriverTest, AVanishedDeviceIsSurvivedIdlyAndReconnectingFindsItsSuccessor) {
    ASSERT_TRUE(driver.Connect());
    ASSERT_TRUE(pty.Write("before"));
    ASSERT_TRUE(WaitForBytes(6));

    pty.CloseMaster();
    SpinFor(100);  // the error reaches the driver
    const auto before = test::EventCount();
    SpinFor(1000);
    EXPECT_LT(test::EventCount() - before, 400u) << "the event loop is spinning on a dead device";
    EXPECT_TRUE(driver.IsConnected()) << "the link stays started, as the user left it";
    EXPECT_TRUE(driver.Connect()) << "an open driver is not reopened";
    EXPECT_EQ(received.All(), "before");

    driver.Disconnect();
    Pty successor;
    ASSERT_TRUE(successor.ok());
    PortMap map;
    map.Set("COM1", successor.path());
    driver.setPortMap(map);
    ASSERT_TRUE(driver.Connect());
    ASSERT_TRUE(successor.Write("after"));
    ASSERT_TRUE(WaitForBytes(11));
    EXPECT_EQ(received.All(), "beforeafter");
}

// The adapter comes back under the same name: a link to a terminal that
// is removed with its terminal and made again pointing to a new one.
class DeviceLink {
public:
    DeviceLink() : path_(QDir::temp().filePath(QStringLiteral("corvel-adapter-%1").arg(::getpid()))) {
        Remove();
    }
    ~DeviceLink() { Remove(); }
    const QString& path() const { return path_; }
    bool PointTo(const QString& device) {
        Remove();
        return QFile::link(device, path_);
    }
    void Remove() { QFile::remove(path_); }

private:
    QString path_;
};

TEST_F(DriverTest, ADeviceThatComesBackUnderItsNameResumesWithTheLinesSettings) {
    DeviceLink node;
    auto first = std::make_unique<Pty>();
    ASSERT_TRUE(first->ok());
    ASSERT_TRUE(node.PointTo(first->path()));
    PortMap map;
    map.Set("COM1", node.path());
    driver.setPortMap(map);
    driver.SetComPortParity(TComPortParity::ptODD);
    ASSERT_TRUE(driver.Connect());
    ASSERT_TRUE(first->Write("before"));
    ASSERT_TRUE(WaitForBytes(6));

    // Pulled out: the node goes with the device.
    first.reset();
    node.Remove();
    ASSERT_TRUE(WaitUntil([&] { return driver.awaitingDevice(); }, 2000));
    const auto before = test::EventCount();
    SpinFor(1500);
    EXPECT_LT(test::EventCount() - before, 200u) << "looking for the device keeps the program busy";
    EXPECT_TRUE(driver.IsConnected());

    // Plugged back: a new device under the old name.
    Pty second;
    ASSERT_TRUE(second.ok());
    ASSERT_TRUE(node.PointTo(second.path()));
    ASSERT_TRUE(WaitUntil([&] { return !driver.awaitingDevice(); }, 3000))
        << "the device was not opened again";
    const termios t = second.Attributes();
    EXPECT_EQ(cfgetospeed(&t), speed_t(B2400));
    EXPECT_EQ(t.c_cflag & PARODD, tcflag_t(PARODD));
    ASSERT_TRUE(second.Write("after"));
    ASSERT_TRUE(WaitForBytes(11));
    EXPECT_EQ(received.All(), "beforeafter");
    driver.Disconnect();
}

TEST_F(DriverTest, StoppingTheLinkEndsTheSearchForAVanishedDevice) {
    DeviceLink node;
    auto first = std::make_unique<Pty>();
    ASSERT_TRUE(first->ok());
    ASSERT_TRUE(node.PointTo(first->path()));
    PortMap map;
    map.Set("COM1", node.path());
    driver.setPortMap(map);
    ASSERT_TRUE(driver.Connect());
    first.reset();
    node.Remove();
    ASSERT_TRUE(WaitUntil([&] { return driver.awaitingDevice(); }, 2000));
    driver.Disconnect();
    EXPECT_FALSE(driver.awaitingDevice());

    Pty second;
    ASSERT_TRUE(second.ok());
    ASSERT_TRUE(node.PointTo(second.path()));
    SpinFor(2 * TCommPortDriver::kReopenPeriodMs + 200);
    // Nobody holds the device: another program can have it.
    QSerialPort other(node.path());
    EXPECT_TRUE(other.open(QIODevice::ReadWrite)) << other.errorString().toStdString();
}

TEST_F(DriverTest, DestroyingAnOpenDriverReleasesThePort) {
    auto owned = std::make_unique<TCommPortDriver>();
    owned->setPortMap(driver.portMap());
    owned->SetComPort(TComPortNumber::pnCOM1);
    ASSERT_TRUE(owned->Connect());
    EXPECT_FALSE(driver.Connect()) << "the port is taken";
    owned.reset();
    EXPECT_TRUE(driver.Connect());
}

}  // namespace
}  // namespace corvel
