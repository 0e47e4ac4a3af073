#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <memory>

#include "links/ComponentError.h"
#include "links/TCComm.h"
#include "support/LinkTestSupport.h"

namespace corvel {
namespace {

using test::Pty;
using test::SpinFor;
using test::WaitUntil;

class CCommTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        map.Set("COM1", pty.path());
        map.Set("COM9", "");
        map.Set("COM2", "/dev/corvel-no-such-tty");
        comm = std::make_unique<TCComm>(nullptr, map);
        comm->SetOnReceiveData([this](const std::uint8_t* buffer, std::uint32_t length) {
            EXPECT_NE(buffer, nullptr);
            chunks.append(QByteArray(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(length)));
            threads.append(QThread::currentThread());
        });
        comm->SetOnOpened([this](QObject* sender) {
            EXPECT_EQ(sender, comm.get());
            ++opened;
        });
        comm->SetOnClosed([this](QObject* sender) {
            EXPECT_EQ(sender, comm.get());
            ++closed;
        });
    }

    QByteArray All() const {
        QByteArray all;
        for (const auto& c : chunks) all += c;
        return all;
    }
    bool WaitForBytes(qsizetype n, int timeoutMs = 5000) {
        return WaitUntil([&] { return All().size() >= n; }, timeoutMs);
    }
    // The text of the exception `f` throws, or "" if it throws none.
    template <typename F>
    static std::string Thrown(F&& f) {
        try {
            f();
        } catch (const ComponentError& e) {
            return e.what();
        }
        return {};
    }

    Pty pty;
    PortMap map;
    std::unique_ptr<TCComm> comm;
    QList<QByteArray> chunks;
    QList<QThread*> threads;
    int opened = 0;
    int closed = 0;
};

TEST_F(CCommTest, StartsClosedWithTheDocumentedDefaults) {
    EXPECT_FALSE(comm->Connected());
    EXPECT_EQ(comm->CommPort(), "COM1");
    EXPECT_EQ(comm->BaudRate(), TBaudrate::CBR_9600);
    EXPECT_EQ(comm->ByteSize(), TByteSize::_8);
    EXPECT_EQ(comm->Parity(), TParity::Non);
    EXPECT_EQ(comm->StopBits(), TStopBits::_1);
}

TEST_F(CCommTest, PortNamesAreSorted) {
    const QStringList names = comm->PortNames();
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    }));
}

// --- opening and closing ---------------------------------------------------------

TEST_F(CCommTest, OpenAndCloseTellTheirEventsOnce) {
    comm->Open();
    EXPECT_TRUE(comm->Connected());
    EXPECT_EQ(opened, 1);
    comm->Close();
    EXPECT_FALSE(comm->Connected());
    EXPECT_EQ(closed, 1);
    comm->Close();
    EXPECT_EQ(closed, 1) << "a second Close does nothing";
}

struct OpenFailureCase {
    const char* name;
    const char* port;
    bool openFirst;  // open COM1 before the Open under test
    const char* message;
};

class CCommOpenFailure : public CCommTest, public ::testing::WithParamInterface<OpenFailureCase> {};

TEST_P(CCommOpenFailure, RaisesTheExactTextEveryTime) {
    const auto& c = GetParam();
    if (c.openFirst) comm->Open();
    const bool wasConnected = comm->Connected();
    if (!c.openFirst) {
        // Reaching the port by the setter opens it too, and fails the same way.
        EXPECT_EQ(Thrown([&] { comm->SetCommPort(QString::fromLatin1(c.port)); }), c.message);
        EXPECT_FALSE(comm->Connected());
    }
    EXPECT_EQ(Thrown([&] { comm->Open(); }), c.message);
    EXPECT_EQ(Thrown([&] { comm->Open(); }), c.message) << "a failed Open holds nothing, so it fails alike";
    EXPECT_EQ(comm->Connected(), wasConnected);
    EXPECT_EQ(opened, c.openFirst ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CCommOpenFailure,
    ::testing::Values(OpenFailureCase{"OpenedTwice", "COM1", true, "COM1 has been opened!"},
                      OpenFailureCase{"NameMapsToNothing", "COM9", false, "Failed to open COM9!"},
                      OpenFailureCase{"MissingDevice", "COM2", false, "Failed to open COM2!"},
                      OpenFailureCase{"NotASerialDevice", "/dev/null", false, "Failed to open /dev/null!"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CCommTest, OpeningTwiceLeavesTheOpenPortWorking) {
    comm->Open();
    EXPECT_EQ(Thrown([&] { comm->Open(); }), "COM1 has been opened!");
    ASSERT_TRUE(pty.Write("still here"));
    ASSERT_TRUE(WaitForBytes(10));
    EXPECT_EQ(All(), "still here");
}

TEST_F(CCommTest, ABusyPortFailsToOpen) {
    TCComm other(nullptr, map);
    other.Open();
    EXPECT_EQ(Thrown([&] { comm->Open(); }), "Failed to open COM1!");
    EXPECT_FALSE(comm->Connected());
}

TEST_F(CCommTest, CommPortSetterReopensOnlyForAnotherName) {
    Pty second;
    ASSERT_TRUE(second.ok());
    map.Set("COM3", second.path());
    comm->setPortMap(map);

    comm->SetCommPort("COM1");  // the value it has: nothing happens
    EXPECT_FALSE(comm->Connected());
    EXPECT_EQ(opened + closed, 0);

    comm->SetCommPort("COM3");  // closed before: opens, nothing to close
    EXPECT_TRUE(comm->Connected());
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(closed, 0);

    comm->SetCommPort("COM1");  // open: closes, then opens the new one
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(opened, 2);
    ASSERT_TRUE(second.Write("old"));
    ASSERT_TRUE(pty.Write("new"));
    ASSERT_TRUE(WaitForBytes(3));
    SpinFor(50);
    EXPECT_EQ(All(), "new");

    EXPECT_EQ(Thrown([&] { comm->SetCommPort("COM9"); }), "Failed to open COM9!");
    EXPECT_EQ(closed, 2);
    EXPECT_FALSE(comm->Connected());
    EXPECT_EQ(comm->CommPort(), "COM9");
}

TEST_F(CCommTest, DestroyingAnOpenComponentReleasesThePortWithoutOnClosed) {
    comm->Open();
    comm.reset();
    EXPECT_EQ(closed, 0);
    TCComm next(nullptr, map);
    EXPECT_NO_THROW(next.Open());
}

// --- line settings --------------------------------------------------------------

struct CCommLineCase {
    const char* name;
    TBaudrate baud;
    TByteSize size;
    TParity parity;
    TStopBits stop;
    speed_t expectedBaud;
    bool twoStop;
};

// As for the polled driver: a pseudo-terminal keeps 8N and refuses other
// framing, which must not keep the baud rate and stop bits off the line.
class CCommLineSettings : public CCommTest, public ::testing::WithParamInterface<CCommLineCase> {};

TEST_P(CCommLineSettings, OpenAndSettersPutThemOnTheLine) {
    const auto& c = GetParam();
    auto check = [&](const char* when) {
        const termios t = pty.Attributes();
        EXPECT_EQ(cfgetospeed(&t), c.expectedBaud) << when;
        EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8)) << when;
        EXPECT_EQ(t.c_cflag & PARENB, 0u) << when;
        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.twoStop) << when;
        EXPECT_EQ(t.c_cflag & CRTSCTS, 0u) << when;
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u) << when;
    };
    // Set before opening, then again on an open port from other values.
    comm->SetBaudRate(c.baud);
    comm->SetByteSize(c.size);
    comm->SetParity(c.parity);
    comm->SetStopBits(c.stop);
    comm->Open();
    check("set before Open");

    comm->SetBaudRate(c.baud == TBaudrate::CBR_300 ? TBaudrate::CBR_600 : TBaudrate::CBR_300);
    comm->SetByteSize(c.size == TByteSize::_5 ? TByteSize::_6 : TByteSize::_5);
    comm->SetParity(c.parity == TParity::Odd ? TParity::Even : TParity::Odd);
    comm->SetStopBits(c.stop == TStopBits::_1 ? TStopBits::_2 : TStopBits::_1);
    comm->SetBaudRate(c.baud);
    comm->SetByteSize(c.size);
    comm->SetParity(c.parity);
    comm->SetStopBits(c.stop);
    check("set on the open port");
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CCommLineSettings,
    ::testing::Values(CCommLineCase{"Default9600_8N1", TBaudrate::CBR_9600, TByteSize::_8, TParity::Non,
                                    TStopBits::_1, B9600, false},
                      CCommLineCase{"Pine2400_8N1", TBaudrate::CBR_2400, TByteSize::_8, TParity::Non,
                                    TStopBits::_1, B2400, false},
                      CCommLineCase{"Odd7Two", TBaudrate::CBR_19200, TByteSize::_7, TParity::Odd,
                                    TStopBits::_2, B19200, true},
                      CCommLineCase{"Mark6", TBaudrate::CBR_4800, TByteSize::_6, TParity::Mark, TStopBits::_1,
                                    B4800, false},
                      CCommLineCase{"Space5OneAndHalf", TBaudrate::CBR_115200, TByteSize::_5, TParity::Space,
                                    TStopBits::_1_5, B115200, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CCommTest, EveryParityChangePutsExactlyThatParityOnTheLine) {
    // A pseudo-terminal clears the enable bit itself but keeps odd and
    // stick parity as programmed, which is what a real UART would send.
    const auto bits = [this] { return pty.Attributes().c_cflag & (PARODD | CMSPAR); };
    const struct {
        TParity parity;
        bool reopen;  // closed and opened again before it is set
        tcflag_t expected;
    } steps[] = {{TParity::Mark, false, PARODD | CMSPAR}, {TParity::Even, false, 0},
                 {TParity::Space, false, CMSPAR},         {TParity::Odd, false, PARODD},
                 {TParity::Mark, false, PARODD | CMSPAR}, {TParity::Non, false, 0},
                 {TParity::Space, false, CMSPAR},         {TParity::Even, true, 0},
                 {TParity::Mark, true, PARODD | CMSPAR},  {TParity::Odd, true, PARODD},
                 {TParity::Space, true, CMSPAR},          {TParity::Non, true, 0}};
    comm->Open();
    int i = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(testing::Message() << "step " << i++ << (step.reopen ? " after reopening" : ""));
        if (step.reopen) {
            comm->Close();
            comm->SetParity(step.parity);
            comm->Open();
        } else {
            comm->SetParity(step.parity);
        }
        EXPECT_EQ(bits(), step.expected);
    }
    comm->Close();
}

TEST(CCommBaud, AValueOutsideTheEnumerationGives9600) {
    EXPECT_EQ(BaudRateValue(static_cast<TBaudrate>(200)), 9600);
    EXPECT_EQ(BaudRateValue(TBaudrate::CBR_256000), 256000);
    EXPECT_EQ(BaudRateValue(TBaudrate::CBR_110), 110);
}

// --- delivery -------------------------------------------------------------------

TEST_F(CCommTest, EachBurstArrivesOnTheMainThreadSoonAfterItsFirstByte) {
    comm->Open();
    ASSERT_TRUE(pty.Write("first burst"));
    ASSERT_TRUE(WaitForBytes(11));
    ASSERT_TRUE(pty.Write("second"));
    ASSERT_TRUE(WaitForBytes(17));
    EXPECT_EQ(All(), "first burstsecond");
    EXPECT_GE(chunks.size(), 2);
    for (QThread* t : threads) EXPECT_EQ(t, QCoreApplication::instance()->thread());
}

TEST_F(CCommTest, ALongBurstComesInChunksOfAtMostTheInputQueue) {
    comm->Open();
    QByteArray sent;
    for (int i = 0; i < 40000; ++i) sent += static_cast<char>(i * 7 % 251);
    ASSERT_TRUE(pty.Write(sent));
    ASSERT_TRUE(WaitForBytes(sent.size(), 20000));
    EXPECT_EQ(All(), sent);
    for (const auto& c : chunks) EXPECT_LE(c.size(), TCComm::kInputQueueSize);
}

TEST_F(CCommTest, ANotificationThatFindsNothingWaitingDeliversACountOfZero) {
    comm->Open();
    comm->NotifyReceive();
    ASSERT_EQ(chunks.size(), 1);
    EXPECT_EQ(chunks[0].size(), 0);
}

TEST_F(CCommTest, AHandlerRunningANestedLoopGetsNoSecondChunkUntilItReturns) {
    int depth = 0;
    int maxDepth = 0;
    comm->SetOnReceiveData([&](const std::uint8_t* buffer, std::uint32_t length) {
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        chunks.append(QByteArray(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(length)));
        if (chunks.size() == 1) {
            pty.Write("later");
            SpinFor(200);  // a message box, say
        }
        --depth;
    });
    comm->Open();
    ASSERT_TRUE(pty.Write("first"));
    ASSERT_TRUE(WaitForBytes(10));
    EXPECT_EQ(maxDepth, 1);
    EXPECT_EQ(All(), "firstlater");
}

TEST_F(CCommTest, NothingIsDeliveredAfterClose) {
    comm->Open();
    comm->Close();
    pty.Write("ignored");
    SpinFor(150);
    EXPECT_TRUE(chunks.isEmpty());
}

// --- the device goes away -------------------------------------------------------

TEST_F(CCommTest, AVanishedDeviceIsSurvivedIdlyAndCloseThenOpenFindsItsSuccessor) {
    comm->Open();
    ASSERT_TRUE(pty.Write("before"));
    ASSERT_TRUE(WaitForBytes(6));
    pty.CloseMaster();
    SpinFor(100);
    const auto before = test::EventCount();
    SpinFor(1000);
    EXPECT_LT(test::EventCount() - before, 400u) << "the event loop is spinning on a dead device";
    EXPECT_TRUE(comm->Connected());
    EXPECT_EQ(All(), "before");

    comm->Close();
    EXPECT_EQ(closed, 1);
    Pty successor;
    ASSERT_TRUE(successor.ok());
    map.Set("COM1", successor.path());
    comm->setPortMap(map);
    comm->Open();
    ASSERT_TRUE(successor.Write("after"));
    ASSERT_TRUE(WaitForBytes(11));
    EXPECT_EQ(All(), "beforeafter");
}

}  // namespace
}  // namespace corvel

namespace corvel {
namespace {

TEST_F(CCommTest, AHandlerThatThrowsDoesNotStopLaterDeliveries) {
    bool throwNext = true;
    comm->SetOnReceiveData([&](const std::uint8_t* buffer, std::uint32_t length) {
        if (throwNext) {
            throwNext = false;
            throw std::runtime_error("handler failed");
        }
        chunks.append(QByteArray(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(length)));
    });
    comm->Open();
    EXPECT_THROW(comm->NotifyReceive(), std::runtime_error);
    ASSERT_TRUE(pty.Write("after"));
    ASSERT_TRUE(WaitForBytes(5));
    EXPECT_EQ(All(), "after");
}

}  // namespace
}  // namespace corvel
