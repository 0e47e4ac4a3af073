#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <set>

#include "MeterSim.h"
#include "decode/SegmentFormat.h"
#include "links/FrameCounter.h"
#include "support/LinkTestSupport.h"
#include "links/TCommPortDriver.h"

namespace corvel {
namespace {

using sim::Display;

// A row as the program's Oak decoder writes it: digits left to right with
// the point where its bit is set, "@" as "L", blank digits left out.
std::string DecodedRow(const SegmentBits& bits, int leftDigit) {
    std::string text;
    for (int k = leftDigit; k > leftDigit - 4; --k) {
        char c = SegmentCodeTable::Lookup(bits.pattern(k));
        if (c == '@') c = 'L';
        if (c) text += c;
        // A digit's point bit lights the point to its right.
        if (k != leftDigit - 3 && bits.point(k)) text += '.';
    }
    return text;
}

std::string Trimmed(std::string s) {
    std::string out;
    for (char c : s)
        if (c != ' ') out += c;
    return out;
}

std::string LowerDigits(const std::vector<std::uint8_t>& frame, std::string* upper = nullptr) {
    static const char* hex = "0123456789ABCDEF";
    std::string lower;
    for (auto b : frame) {
        lower += hex[b & 0xF];
        if (upper) *upper += hex[b >> 4];
    }
    return lower;
}

// --- the segment table ----------------------------------------------------------

TEST(MeterFrames, EverySegmentPatternReadsBackThroughTheProgramsTable) {
    const std::pair<char, char> table[] = {{'0', '0'}, {'1', '1'}, {'2', '2'}, {'3', '3'},
                                           {'4', '4'}, {'5', '5'}, {'6', '6'}, {'7', '7'},
                                           {'8', '8'}, {'9', '9'}, {'L', '@'}, {' ', 0}};
    for (const auto& [shown, decoded] : table)
        EXPECT_EQ(SegmentCodeTable::Lookup(sim::SegmentPattern(shown)), decoded)
            << "character '" << shown << "'";
}

// --- Oak frames -----------------------------------------------------------------

struct OakCase {
    const char* name;
    double value;  // < 0: over-load
    int decimals;
    double celsius;
    const char* main;    // ValueText the decoder builds
    const char* second;  // Value2Text
};

class OakFrames : public ::testing::TestWithParam<OakCase> {};

TEST_P(OakFrames, DecodeToTheIntendedReading) {
    const auto& c = GetParam();
    Display d;
    ASSERT_TRUE(sim::FormatRow(c.celsius, 0, d.second));
    if (c.value < 0) {
        d = sim::Overload(d);
    } else {
        ASSERT_TRUE(sim::FormatRow(c.value, c.decimals, d.main));
        d.mainDecimals = c.decimals;
    }
    const auto frame = sim::OakFrame(d);
    ASSERT_EQ(frame.size(), 14u);
    std::string upper;
    const std::string lower = LowerDigits(frame, &upper);
    EXPECT_EQ(upper, "123456789ABCDE");

    test::AcceptedFrames accepted;
    accepted.assembly().HOakRData(frame.data(), static_cast<std::int32_t>(frame.size()));
    ASSERT_EQ(accepted.oak.size(), 1u);
    EXPECT_EQ(accepted.oak[0], lower);

    const SegmentBits bits(lower);
    EXPECT_EQ(DecodedRow(bits, 4), c.main);
    EXPECT_EQ(DecodedRow(bits, 8), c.second);
    EXPECT_TRUE(sim::SecondRowSurvivesOak(d));
}

INSTANTIATE_TEST_SUITE_P(Readings, OakFrames,
                         ::testing::Values(OakCase{"CalmAir", 3.20, 2, 17, "3.20", "17"},
                                           OakCase{"BelowOne", 0.05, 2, 15, "0.05", "15"},
                                           OakCase{"Gust", 12.34, 2, 19, "12.34", "19"},
                                           OakCase{"FeetPerMinuteLow", 329.9, 1, 10, "329.9", "10"},
                                           OakCase{"FeetPerMinute", 1614, 0, 18, "1614", "18"},
                                           OakCase{"ThreeDecimals", 1.234, 3, 16, "1.234", "16"},
                                           OakCase{"Zero", 0, 2, 17, "0.00", "17"},
                                           OakCase{"Overload", -1, 0, 17, "0L", "17"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MeterFrames, SecondRowSurvivalMatchesWhatTheDecoderReadsBack) {
    // Every whole second-row value up to 99: the simulator's own test of
    // which values an Oak frame carries must agree with the decoder.
    int surviving = 0;
    for (int v = 0; v <= 99; ++v) {
        Display d;
        d.main = {' ', '3', '2', '0'};
        d.mainDecimals = 2;
        ASSERT_TRUE(sim::FormatRow(v, 0, d.second));
        const SegmentBits bits(LowerDigits(sim::OakFrame(d)));
        const bool readsBack = DecodedRow(bits, 8) == Trimmed(d.SecondText());
        EXPECT_EQ(sim::SecondRowSurvivesOak(d), readsBack) << "second row " << v;
        surviving += readsBack;
    }
    EXPECT_EQ(surviving, 40);  // 0-9, 10-19, 40-49, 70-79
}

// --- Birch frames ---------------------------------------------------------------

TEST(MeterFrames, BirchFramesAreAcceptedAndCarryTheMainRow) {
    Display d;
    ASSERT_TRUE(sim::FormatRow(3.2, 2, d.main));
    d.mainDecimals = 2;
    const auto frame = sim::BirchFrame(d);
    ASSERT_EQ(frame.size(), 11u);
    EXPECT_EQ(frame.front() & 0xF, 0xA);
    EXPECT_EQ(frame.back(), 0x0D);
    EXPECT_EQ(std::count(frame.begin(), frame.end(), 0x0D), 1) << "only the last byte may end the frame";

    test::AcceptedFrames accepted;
    accepted.assembly().HBirchRData(frame.data(), static_cast<std::int32_t>(frame.size()));
    ASSERT_EQ(accepted.birch.size(), 1u);
    EXPECT_EQ(DecodedRow(SegmentBits(accepted.birch[0]), 4), "3.20");
}

// --- the readings ---------------------------------------------------------------

class ReadingRuns : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(ReadingRuns, WanderGustRangeAndOverloadLikeAMeter) {
    sim::ReadingModel model(GetParam());
    std::set<int> decimals;
    int overloads = 0;
    int refreshes = 0;
    std::vector<double> calm;
    for (int i = 0; i < 20 * 60 * 2; ++i) {  // twenty minutes of refreshes
        model.Advance(sim::ReadingModel::kRefreshSeconds);
        const Display& d = model.display();
        ++refreshes;
        const SegmentBits bits(LowerDigits(sim::OakFrame(d)));
        const std::string main = DecodedRow(bits, 4);
        const std::string second = DecodedRow(bits, 8);
        ASSERT_FALSE(second.empty()) << "a blank second row would keep the reading out of the log";
        ASSERT_FALSE(main.empty());
        if (main == "0L") {
            ++overloads;
            continue;
        }
        EXPECT_EQ(main, Trimmed(d.MainText()));
        decimals.insert(d.mainDecimals);
        if (model.unit() == sim::ReadingModel::Unit::MetresPerSecond) calm.push_back(std::stod(main));
    }
    EXPECT_GE(decimals.size(), 2u) << "the point moves now and then";
    EXPECT_GT(overloads, 0);
    EXPECT_LT(overloads, refreshes / 10) << "over-load is the exception";
    ASSERT_FALSE(calm.empty());
    std::sort(calm.begin(), calm.end());
    const double median = calm[calm.size() / 2];
    EXPECT_GT(median, 2.0);
    EXPECT_LT(median, 5.0);
    EXPECT_GT(calm.back() - calm.front(), 1.0) << "the air moves";
}

INSTANTIATE_TEST_SUITE_P(Seeds, ReadingRuns, ::testing::Values(1u, 2u, 3u, 4242u));

TEST(ReadingModel, TheSameSeedReplaysTheSameDisplays) {
    sim::ReadingModel a(7), b(7);
    for (int i = 0; i < 500; ++i) {
        a.Advance(0.3);
        b.Advance(0.3);
        ASSERT_EQ(a.display().MainText(), b.display().MainText());
    }
}

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
