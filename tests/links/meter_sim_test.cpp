// corvel-meter-sim: its command line, its byte sources and line pacing,
// and the running simulator read through the program's own serial driver.

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include "MeterSim.h"
#include "decode/SegmentFormat.h"
#include "links/TCommPortDriver.h"
#include "support/FrameCounter.h"
#include "support/LinkTestSupport.h"
#include "support/SegmentRows.h"

namespace corvel {
namespace {

using test::DecodedRow;

TEST(FrameSource, EveryGeneratedOakFrameIsAccepted) {
    sim::FrameSource source(sim::Family::Oak, 2400, 3);
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 14 * 2000; ++i) bytes.push_back(source.Next());
    test::AcceptedFrames accepted;
    accepted.assembly().HOakRData(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    EXPECT_EQ(accepted.oak.size(), 2000u);
}

TEST(LinePacer, CountsTenBitsAByte) {
    EXPECT_EQ(sim::LinePacer(2400).BytesDue(1.0), 240u);
    EXPECT_EQ(sim::LinePacer(19200).BytesDue(0.5), 960u);
    EXPECT_EQ(sim::LinePacer(2400).BytesDue(0.0), 0u);
    EXPECT_NEAR(sim::LinePacer(2400).SecondsFor(14), 0.0583, 0.0001);
}

// --- the command line -----------------------------------------------------------

struct OptionCase {
    const char* name;
    std::vector<std::string> args;
    const char* error;  // "" when the line is fine
};

class SimOptions : public ::testing::TestWithParam<OptionCase> {};

TEST_P(SimOptions, AreReadOrRefusedWithAReason) {
    const auto& c = GetParam();
    std::string error;
    const auto o = sim::ParseOptions(c.args, error);
    if (*c.error) {
        EXPECT_FALSE(o.has_value());
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    } else {
        EXPECT_TRUE(o.has_value()) << error;
    }
}

INSTANTIATE_TEST_SUITE_P(Lines, SimOptions,
                         ::testing::Values(OptionCase{"None", {}, ""},
                                           OptionCase{"All",
                                                      {"--birch", "--frames", "f", "--baud", "9600", "--link",
                                                       "/tmp/x", "--seconds", "2.5", "--seed", "9"},
                                                      ""},
                                           OptionCase{"InlineValues", {"--baud=4800", "--seconds=1"}, ""},
                                           OptionCase{"Unknown", {"--fast"}, "unknown option"},
                                           OptionCase{"MissingValue", {"--frames"}, "needs a value"},
                                           OptionCase{"BadBaud", {"--baud", "fast"}, "not a baud rate"},
                                           OptionCase{"BaudTooLow", {"--baud", "10"}, "not a baud rate"},
                                           OptionCase{"ZeroSeconds", {"--seconds", "0"}, "above 0"},
                                           OptionCase{"NegativeSeconds", {"--seconds", "-1"}, "above 0"},
                                           OptionCase{"NotANumberSeconds", {"--seconds", "nan"}, "above 0"},
                                           OptionCase{"NegativeSeed", {"--seed", "-3"}, "whole number"},
                                           OptionCase{"BirchWithValue", {"--birch=1"}, "takes no value"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SimRecording, EmptyMissingAndReadableFiles) {
    std::string error;
    EXPECT_FALSE(sim::LoadRecording("/nonexistent/recording.bin", error));
    EXPECT_NE(error.find("cannot read"), std::string::npos);
    QTemporaryFile empty;
    ASSERT_TRUE(empty.open());
    EXPECT_FALSE(sim::LoadRecording(empty.fileName().toStdString(), error));
    EXPECT_NE(error.find("is empty"), std::string::npos);
    QTemporaryFile some;
    ASSERT_TRUE(some.open());
    some.write("\x1a\x0d", 2);
    some.flush();
    const auto bytes = sim::LoadRecording(some.fileName().toStdString(), error);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, (std::vector<std::uint8_t>{0x1a, 0x0d}));
}

// --- the running simulator ------------------------------------------------------

class SimProcess : public ::testing::Test {
protected:
    // Starts the simulator and returns its slave path (its first line).
    QString Start(const QStringList& args) {
        process.start(QStringLiteral(CORVEL_METER_SIM), args);
        if (!process.waitForStarted(5000)) return {};
        test::WaitUntil([&] { return process.canReadLine() || process.state() == QProcess::NotRunning; },
                        5000);
        return QString::fromLocal8Bit(process.readLine()).trimmed();
    }

    // Reads the simulator through the program's own driver until it exits.
    QByteArray ReadUntilExit(const QString& path, TComPortBaudRate speed) {
        PortMap map;
        map.Set("COM1", path);
        TCommPortDriver driver;
        driver.setPortMap(map);
        driver.SetComPort(TComPortNumber::pnCOM1);
        driver.SetComPortSpeed(speed);
        QByteArray all;
        driver.SetOnReceiveData([&](QObject*, const std::uint8_t* data, std::int32_t size) {
            all.append(reinterpret_cast<const char*>(data), size);
        });
        if (!driver.Connect()) return {};
        test::WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 20000);
        test::SpinFor(150);  // the last polls
        return all;
    }

    ~SimProcess() override {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(3000);
        }
    }

    QProcess process;
};

struct PaceCase {
    const char* name;
    QStringList args;
    TComPortBaudRate speed;
    double seconds;
    int bytesPerSecond;
    int frameBytes;
};

class SimPace : public SimProcess, public ::testing::WithParamInterface<PaceCase> {};

TEST_P(SimPace, FramesComeAtTheLinesPace) {
    const auto& c = GetParam();
    const QString path = Start(c.args + QStringList{"--seconds", QString::number(c.seconds)});
    ASSERT_TRUE(path.startsWith("/dev/")) << path.toStdString();
    const QByteArray bytes = ReadUntilExit(path, c.speed);
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);

    test::AcceptedFrames accepted;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    if (c.frameBytes == sim::kOakFrameBytes)
        accepted.assembly().HOakRData(data, static_cast<std::int32_t>(bytes.size()));
    else
        accepted.assembly().HBirchRData(data, static_cast<std::int32_t>(bytes.size()));
    const std::size_t frames = accepted.oak.size() + accepted.birch.size();
    // What the line carries in that time; the reader joins a little late,
    // so allow for a loss at the start, but never more than the line's pace.
    const double expected = c.seconds * c.bytesPerSecond / c.frameBytes;
    EXPECT_GE(static_cast<double>(frames), 0.6 * expected) << bytes.size() << " bytes";
    EXPECT_LE(static_cast<double>(frames), 1.1 * expected + 1) << bytes.size() << " bytes";
    for (const auto& f : accepted.oak) EXPECT_FALSE(DecodedRow(SegmentBits(f), 8).empty());
    for (const auto& f : accepted.birch) EXPECT_FALSE(DecodedRow(SegmentBits(f), 4).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SimPace,
    ::testing::Values(PaceCase{"Oak2400", {}, TComPortBaudRate::br2400, 2.0, 240, 14},
                      PaceCase{"Birch19200", {"--birch"}, TComPortBaudRate::br19200, 1.0, 1920, 11}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimProcess, ReplaysARecordingLooped) {
    QTemporaryFile recording;
    ASSERT_TRUE(recording.open());
    recording.write("\x11\x22\x33\x44\x55", 5);
    recording.flush();
    const QString path = Start({"--frames", recording.fileName(), "--baud", "19200", "--seconds", "0.6"});
    ASSERT_TRUE(path.startsWith("/dev/"));
    const QByteArray bytes = ReadUntilExit(path, TComPortBaudRate::br19200);
    ASSERT_GT(bytes.size(), 100);
    const QByteArray cycle("\x11\x22\x33\x44\x55\x11\x22\x33\x44\x55", 10);
    for (qsizetype i = 0; i + 1 < bytes.size(); ++i) {
        const qsizetype at = cycle.indexOf(bytes[i]);
        ASSERT_GE(at, 0);
        ASSERT_EQ(bytes[i + 1], cycle[at + 1]) << "at byte " << i;
    }
}

TEST_F(SimProcess, SigtermEndsItCleanlyAndRemovesItsLink) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString link = dir.filePath("meter");
    const QString path = Start({"--link", link});
    ASSERT_TRUE(path.startsWith("/dev/"));
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), path);
    process.terminate();
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_FALSE(QFileInfo::exists(link) || QFileInfo(link).isSymLink());
}

struct BadRunCase {
    const char* name;
    QStringList args;
    int exitCode;
    const char* message;
};

class SimBadRun : public SimProcess, public ::testing::WithParamInterface<BadRunCase> {};

TEST_P(SimBadRun, StopsAtOnceWithAMessage) {
    const auto& c = GetParam();
    process.start(QStringLiteral(CORVEL_METER_SIM), c.args);
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitCode(), c.exitCode);
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty()) << "no device path for a run that does not happen";
    EXPECT_TRUE(process.readAllStandardError().contains(c.message));
}

INSTANTIATE_TEST_SUITE_P(
    Runs, SimBadRun,
    ::testing::Values(BadRunCase{"UnknownOption", {"--turbo"}, 2, "unknown option"},
                      BadRunCase{"MissingRecording", {"--frames", "/nonexistent/x.bin"}, 1, "cannot read"},
                      BadRunCase{"EmptyRecording", {"--frames", "/dev/null"}, 1, "is empty"},
                      BadRunCase{"LinkOverAFile", {"--link", "/etc/hostname"}, 1, "not a symbolic link"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvel
