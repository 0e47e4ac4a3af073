// The recording rules of the reading log: which readings become rows, with
// what number and time, and what else a logged row moves.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "record/test_log_support.h"

namespace corvel::test {
namespace {

using Answer = UserPrompts::Answer;
using Entry = ReadingLog::LimitEntry;

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

// Runs a script of user actions and readings against the log:
//   read[*N] VALUE UNIT [VALUE2 UNIT2]   a reading (N times)
//   tick                                 one tick of the one-second timer
//   repeat on|off, si on|off             the Repeat and Sampling Interval boxes
//   interval TEXT                        the interval edit's text ("interval" alone: empty)
//   limit 1000|5000|...|limitless        a Record menu limit entry
//   new yes|no                           Record -> New with that answer
void Play(LogRig& rig, const std::vector<std::string>& script) {
    for (const std::string& line : script) {
        const auto w = Words(line);
        const std::string& verb = w.at(0);
        if (verb.rfind("read", 0) == 0) {
            const int times = verb.size() > 5 ? std::stoi(verb.substr(5)) : 1;
            for (int i = 0; i < times; ++i)
                rig.Read(w.at(1), w.at(2), w.size() > 3 ? w[3] : "", w.size() > 4 ? w[4] : "");
        } else if (verb == "tick") {
            rig.log.TrecordTimer();
        } else if (verb == "repeat") {
            rig.log.SetRepeatSetChecked(w.at(1) == "on");
        } else if (verb == "si") {
            rig.log.SetRecordSIChecked(w.at(1) == "on");
        } else if (verb == "interval") {
            rig.log.RecordSITimeChange(w.size() > 1 ? w[1] : "");
        } else if (verb == "limit") {
            for (int e = 0; e < ReadingLog::kLimitEntryCount; ++e)
                if (ReadingLog::LimitCaption(static_cast<Entry>(e)) == w.at(1)) {
                    using L = ReadingLog;
                    void (L::*clicks[])() = {&L::N10001Click,  &L::N50001Click,   &L::N100001Click,
                                             &L::N500001Click, &L::N1000001Click, &L::limitessClick};
                    (rig.log.*clicks[e])();
                }
        } else if (verb == "new") {
            rig.prompts.answers.push_back(w.at(1) == "yes" ? Answer::Yes : Answer::No);
            rig.log.RecordNewClick();
        } else {
            FAIL() << "unknown script line " << line;
        }
    }
}

// "No Value Unit" of each row.
std::vector<std::string> Logged(const LogRig& rig) {
    std::vector<std::string> rows;
    for (int r = 0; r < rig.log.RowCount(); ++r)
        rows.push_back(std::to_string(rig.log.RecordNo(r)) + " " + rig.log.Text(r, ReadingLogStore::Value) +
                       " " + rig.log.Text(r, ReadingLogStore::Unit));
    return rows;
}

struct ScriptCase {
    const char* name;
    std::vector<std::string> script;
    int rows;                       // rows in the table afterwards
    std::vector<std::string> tail;  // its last rows, "No Value Unit"
};

class LogScript : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(LogScript, LogsTheRowsTheRulesLetThrough) {
    const ScriptCase& c = GetParam();
    LogRig rig;
    Play(rig, c.script);
    const auto rows = Logged(rig);
    ASSERT_EQ(static_cast<int>(rows.size()), c.rows);
    const std::vector<std::string> tail(rows.end() - static_cast<long>(c.tail.size()), rows.end());
    EXPECT_EQ(tail, c.tail);
    EXPECT_TRUE(rig.prompts.Messages().empty());
}

const ScriptCase kScripts[] = {
    {"RepeatOnLogsEveryReading",
     {"read 1.23 m|s", "read 1.23 m|s", "read 1.23 m|s"},
     3,
     {"1 1.23 m|s", "2 1.23 m|s", "3 1.23 m|s"}},
    {"RepeatOffDropsARepeatedValueAndUnit",
     {"repeat off", "read 1.23 m|s", "read 1.23 m|s", "read 1.24 m|s"},
     2,
     {"1 1.23 m|s", "2 1.24 m|s"}},
    {"RepeatOffIgnoresTheSecondRow",
     {"repeat off", "read 1.23 m|s 5 C", "read 1.23 m|s 6 F"},
     1,
     {"1 1.23 m|s"}},
    {"RepeatOffLogsAChangedUnit",
     {"repeat off", "read 1.23 m|s", "read 1.23 km|h"},
     2,
     {"1 1.23 m|s", "2 1.23 km|h"}},
    {"RepeatOffKeyJoinsValueAndUnitWithoutSeparator",
     {"repeat off", "read 1.2 3m|s", "read 1.23 m|s"},
     1,
     {"1 1.2 3m|s"}},
    {"RepeatOffKeyIsCaseSensitive",
     {"repeat off", "read OL m|s", "read ol m|s"},
     2,
     {"1 OL m|s", "2 ol m|s"}},
    {"RepeatOffComparesWithTheLastRowOnly",
     {"repeat off", "read 1 u", "read 2 u", "read 1 u"},
     3,
     {"1 1 u", "2 2 u", "3 1 u"}},
    {"RepeatOnStillKeepsTheKey", {"read 7 u", "repeat off", "read 7 u"}, 1, {"1 7 u"}},
    {"KeySurvivesNew",
     {"repeat off", "read 1.23 m|s", "new yes", "read 1.23 m|s", "read 1.24 m|s"},
     1,
     {"1 1.24 m|s"}},
    {"NewAnsweredNoChangesNothing",
     {"read 1 u", "read 2 u", "new no", "read 3 u"},
     3,
     {"1 1 u", "2 2 u", "3 3 u"}},
    {"NewRestartsNumbering", {"read 1 u", "read 2 u", "new yes", "read 3 u"}, 1, {"1 3 u"}},
    {"LimitReachedDropsSilently", {"limit 1000", "read*1001 a u"}, 1000, {"1000 a u"}},
    {"HigherLimitResumesNumbering",
     {"limit 1000", "read*1001 a u", "limit 5000", "read b u"},
     1001,
     {"1000 a u", "1001 b u"}},
    {"LimitBelowTheCountStops",
     {"limit 5000", "read*1200 a u", "limit 1000", "read b u"},
     1200,
     {"1200 a u"}},
    {"NewRestartsTheCountUnderTheLimit",
     {"limit 1000", "read*1000 a u", "new yes", "read b u"},
     1,
     {"1 b u"}},
    {"SamplingWaitsForTheIntervalToRunDown",
     {"interval 3", "si on", "tick", "tick", "tick", "read a u", "read b u", "tick", "tick", "read c u",
      "tick", "read d u"},
     2,
     {"1 a u", "2 d u"}},
    {"SamplingHoldsWhileTheCountdownRuns", {"interval 3", "si on", "tick", "tick", "read a u"}, 0, {}},
    {"SamplingIntervalZeroLogsEveryReading",
     {"interval 0", "si on", "read a u", "read b u", "read c u"},
     3,
     {"1 a u", "2 b u", "3 c u"}},
    {"SamplingIntervalEmptyLogsEveryReading",
     {"interval", "si on", "read a u", "read b u", "read c u"},
     3,
     {"1 a u", "2 b u", "3 c u"}},
    {"SamplingIntervalMinusLogsEveryReading",
     {"interval -", "si on", "read a u", "read b u"},
     2,
     {"1 a u", "2 b u"}},
    {"SamplingIntervalPlusLogsEveryReading",
     {"interval +", "si on", "read a u", "read b u"},
     2,
     {"1 a u", "2 b u"}},
    {"SamplingOffIgnoresTheIntervalButReloadsIt",
     {"interval 0", "read a u", "interval 2", "read b u", "tick", "tick", "si on", "read c u", "tick",
      "read d u", "tick", "read e u"},
     3,
     {"1 a u", "2 b u", "3 e u"}},
    {"SamplingOffTheCountdownStandsStill",
     {"interval 2", "tick", "tick", "tick", "si on", "read a u"},
     0,
     {}},
    {"EditingTheIntervalRestartsTheCountdown",
     {"interval 2", "si on", "tick", "interval 1", "read a u", "tick", "read b u"},
     1,
     {"1 b u"}},
    {"UncheckingSamplingLetsReadingsThrough",
     {"interval 5", "si on", "read a u", "si off", "read b u"},
     1,
     {"1 b u"}},
};

INSTANTIATE_TEST_SUITE_P(Rules, LogScript, ::testing::ValuesIn(kScripts),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReadingLog, LoadedRowsDoNotCountTowardTheLimitOrNumbering) {
    LogRig rig;
    for (int no = 1; no <= 500; ++no) rig.log.AppendRow(no, "10:00:00", "9", "u", "", "");
    Play(rig, {"limit 1000", "read*1001 a u"});
    EXPECT_EQ(rig.log.RowCount(), 1500);
    EXPECT_EQ(rig.log.RecordNo(500), 1);
    EXPECT_EQ(rig.log.RecordNo(1499), 1000);
    EXPECT_EQ(rig.log.RecordCount(), 1000);
}

struct BadInterval {
    const char* text;
};

class LogBadInterval : public ::testing::TestWithParam<BadInterval> {};

TEST_P(LogBadInterval, IsReportedAndLogsNothing) {
    const std::string text = GetParam().text;
    const std::string message = "'" + text + "' is not a valid integer value";
    LogRig rig;
    Play(rig, {"interval 4"});
    rig.log.RecordSITimeChange(text);
    EXPECT_EQ(rig.log.SampleCountdown(), 4) << "the countdown keeps its value";
    EXPECT_EQ(rig.prompts.Messages(), std::vector<std::string>{message});

    rig.Read("1.5", "m|s");
    EXPECT_EQ(rig.log.RowCount(), 0);
    EXPECT_EQ(rig.log.RecordCount(), 0);
    EXPECT_EQ(rig.log.LastRowKey(), "") << "nothing changes, the key included";
    EXPECT_TRUE(rig.chart.values.empty());
    ASSERT_EQ(rig.prompts.Messages().size(), 2u);
    EXPECT_EQ(rig.prompts.Messages()[1], message);
    EXPECT_EQ(rig.prompts.shown[1].kind, UserPrompts::Kind::Error);

    // Mended text logs again, the reading refused before included, even
    // with Repeat off.
    rig.log.SetRepeatSetChecked(false);
    rig.log.RecordSITimeChange("0");
    rig.Read("1.5", "m|s");
    EXPECT_EQ(rig.log.RowCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(Texts, LogBadInterval,
                         ::testing::Values(BadInterval{"abc"}, BadInterval{"12a"}, BadInterval{"2147483648"},
                                           BadInterval{"--1"}, BadInterval{" 5"}, BadInterval{"1.5"}));

TEST(ReadingLog, AnIntervalAtTheInt32EdgeIsAccepted) {
    LogRig rig;
    rig.log.RecordSITimeChange("2147483647");
    EXPECT_EQ(rig.log.SampleCountdown(), 2147483647);
    EXPECT_TRUE(rig.prompts.Messages().empty());
}

struct TimeCase {
    QTime time;
    const char* separator;
    const char* text;
};

class LogTime : public ::testing::TestWithParam<TimeCase> {};

TEST_P(LogTime, IsTwoDigitsEachWithTheSystemSeparator) {
    const TimeCase& c = GetParam();
    Reading reading{"1", "u", "", "", 0};
    LcdMirror mirror;
    RecordingLogChart chart;
    ScriptedPrompts prompts;
    ScriptedClock clock;
    clock.now = c.time;
    ReadingLog log(reading, mirror, chart, prompts, clock, c.separator);
    log.INDataToTable();
    ASSERT_EQ(log.RowCount(), 1);
    EXPECT_EQ(log.Text(0, ReadingLogStore::Time), c.text);
}

INSTANTIATE_TEST_SUITE_P(Clock, LogTime,
                         ::testing::Values(TimeCase{QTime(14, 5, 9), ":", "14:05:09"},
                                           TimeCase{QTime(9, 7, 3), ":", "09:07:03"},
                                           TimeCase{QTime(0, 0, 0), ":", "00:00:00"},
                                           TimeCase{QTime(23, 59, 59, 999), ":", "23:59:59"},
                                           TimeCase{QTime(9, 7, 3), ".", "09.07.03"}));

TEST(ReadingLog, ARowHoldsTheReadingsFourTextsUnderTheNextNumber) {
    LogRig rig;
    rig.clock.now = QTime(10, 0, 1);
    rig.Read("1.23", "m|s", "25.1", "C");
    rig.clock.now = QTime(10, 0, 2);
    rig.Read("", "", "", "");
    EXPECT_EQ(rig.Rows(), (std::vector<std::string>{"1|10:00:01|1.23|m|s|25.1|C", "2|10:00:02||||"}));
    EXPECT_EQ(rig.log.NextRecordNo(), 3);
    EXPECT_EQ(rig.log.RecordCount(), 2);
}

TEST(ReadingLog, CutsTextsAtTwentyCharacters) {
    LogRig rig;
    const std::string longText = "0123456789abcdefghijKLMNO";
    rig.Read(longText, longText, longText, longText);
    for (int field = ReadingLogStore::Value; field <= ReadingLogStore::Unit2; ++field)
        EXPECT_EQ(rig.log.Text(0, field), "0123456789abcdefghij") << ReadingLog::FieldName(field);
}

struct BarCase {
    double measured;
    int bar;
};

class LogBar : public ::testing::TestWithParam<BarCase> {};

TEST_P(LogBar, TakesTheSizeOfTheValueCutTowardZero) {
    LogRig rig;
    rig.Read("x", "u", "", "", GetParam().measured);
    EXPECT_EQ(rig.mirror.pbar2Position, GetParam().bar);
}

INSTANTIATE_TEST_SUITE_P(Values, LogBar,
                         ::testing::Values(BarCase{12.7, 12}, BarCase{-12.7, 12}, BarCase{0.99, 0},
                                           BarCase{60, 60}, BarCase{75.5, 60}, BarCase{-3999, 60},
                                           BarCase{1e300, 60},
                                           BarCase{std::numeric_limits<double>::infinity(), 60},
                                           BarCase{std::nan(""), 0}));

TEST(ReadingLog, ADroppedReadingLeavesBarAndChartAlone) {
    LogRig rig;
    rig.log.SetRepeatSetChecked(false);
    rig.Read("5", "u", "", "", 5);
    rig.chart.page = 7;
    rig.Read("5", "u", "", "", 9);
    EXPECT_EQ(rig.mirror.pbar2Position, 5);
    EXPECT_EQ(rig.chart.values, std::vector<double>{5});
    EXPECT_EQ(rig.chart.caption, 1);
}

TEST(ReadingLog, ALoggedReadingBecomesTheNextChartPointAndPageCaption) {
    LogRig rig;
    rig.chart.page = 1;
    rig.Read("1.5", "u", "", "", 1.5);
    rig.chart.page = 2;
    rig.Read("-2.5", "u", "", "", -2.5);
    EXPECT_EQ(rig.chart.values, (std::vector<double>{1.5, -2.5}));
    EXPECT_EQ(rig.chart.caption, 2);
}

TEST(ReadingLog, RecordNewAsksTheQuestionAndStartsAgainOnYes) {
    LogRig rig;
    Play(rig, {"limit 5000", "repeat off", "interval 3", "read 1 u", "read 2 u"});
    rig.prompts.answers.push_back(Answer::Yes);
    rig.log.RecordNewClick();

    ASSERT_EQ(rig.prompts.shown.size(), 1u);
    EXPECT_EQ(rig.prompts.shown[0].type, ScriptedPrompts::Shown::Type::Question);
    EXPECT_EQ(rig.prompts.shown[0].kind, UserPrompts::Kind::Information);
    EXPECT_EQ(rig.prompts.shown[0].text, "Are you ensure to exit the program\xEF\xBC\x9F");
    EXPECT_EQ(rig.log.RowCount(), 0);
    EXPECT_EQ(rig.log.NextRecordNo(), 1);
    EXPECT_EQ(rig.log.RecordCount(), 0);
    EXPECT_EQ(rig.chart.calls, (std::vector<std::string>{"clear", "new"}));
    // These carry over into the new log.
    EXPECT_EQ(rig.log.RecordLimit(), 5000);
    EXPECT_EQ(rig.log.LastRowKey(), "2u");
    EXPECT_EQ(rig.log.SampleCountdown(), 3);
}

TEST(ReadingLog, RecordNewAnsweredNoTouchesNothing) {
    LogRig rig;
    Play(rig, {"read 1 u", "read 2 u", "new no"});
    EXPECT_EQ(rig.log.RowCount(), 2);
    EXPECT_EQ(rig.log.NextRecordNo(), 3);
    EXPECT_EQ(rig.log.RecordCount(), 2);
    EXPECT_TRUE(rig.chart.calls.empty());
}

struct LimitCase {
    void (ReadingLog::*click)();
    Entry entry;
    int limit;
};

class LogLimitMenu : public ::testing::TestWithParam<LimitCase> {};

TEST_P(LogLimitMenu, SetsTheLimitAndChecksOnlyItsEntry) {
    LogRig rig;
    (rig.log.*GetParam().click)();
    EXPECT_EQ(rig.log.RecordLimit(), GetParam().limit);
    for (int e = 0; e < ReadingLog::kLimitEntryCount; ++e)
        EXPECT_EQ(rig.log.LimitEntryChecked(static_cast<Entry>(e)), static_cast<Entry>(e) == GetParam().entry)
            << ReadingLog::LimitCaption(static_cast<Entry>(e));
}

INSTANTIATE_TEST_SUITE_P(Entries, LogLimitMenu,
                         ::testing::Values(LimitCase{&ReadingLog::N10001Click, Entry::N1000, 1000},
                                           LimitCase{&ReadingLog::N50001Click, Entry::N5000, 5000},
                                           LimitCase{&ReadingLog::N100001Click, Entry::N10000, 10000},
                                           LimitCase{&ReadingLog::N500001Click, Entry::N50000, 50000},
                                           LimitCase{&ReadingLog::N1000001Click, Entry::N100000, 100000},
                                           LimitCase{&ReadingLog::limitessClick, Entry::Limitless,
                                                     10000000}));

TEST(ReadingLog, StartsWithTheLayoutsControlsAndCounters) {
    LogRig rig;
    EXPECT_TRUE(rig.log.LimitEntryChecked(Entry::N10000));
    EXPECT_EQ(rig.log.RecordLimit(), 10000);
    EXPECT_EQ(rig.log.NextRecordNo(), 1);
    EXPECT_EQ(rig.log.RecordCount(), 0);
    EXPECT_EQ(rig.log.SampleCountdown(), 0);
    EXPECT_EQ(rig.log.LastRowKey(), "");
    EXPECT_TRUE(rig.log.RepeatSetChecked());
    EXPECT_FALSE(rig.log.RecordSIChecked());
    EXPECT_EQ(rig.log.RecordSITimeText(), "1");
}

class CountingObserver : public ReadingLog::Observer {
public:
    int controls = 0;
    void ControlsChanged() override { ++controls; }
};

TEST(ReadingLog, TellsObserversWhenAControlStateChanges) {
    LogRig rig;
    CountingObserver observer;
    rig.log.AddObserver(&observer);
    Play(rig, {"limit 1000", "limit 1000", "repeat off", "si on", "interval 7", "interval 7"});
    EXPECT_EQ(observer.controls, 4);
    rig.log.RemoveObserver(&observer);
}

struct KeyCase {
    char key;
    bool passes;
};

class LogKeyFilter : public ::testing::TestWithParam<KeyCase> {};

TEST_P(LogKeyFilter, LetsOnlyDigitsAndBackspaceThrough) {
    char key = GetParam().key;
    EXPECT_EQ(ReadingLog::RecordSITimeKeyPress(key), GetParam().passes);
    EXPECT_EQ(key, GetParam().passes ? GetParam().key : '\0');
}

INSTANTIATE_TEST_SUITE_P(Keys, LogKeyFilter,
                         ::testing::Values(KeyCase{'0', true}, KeyCase{'5', true}, KeyCase{'9', true},
                                           KeyCase{'\b', true}, KeyCase{'a', false}, KeyCase{'-', false},
                                           KeyCase{'+', false}, KeyCase{'.', false}, KeyCase{' ', false},
                                           KeyCase{'\r', false}));

struct NameCase {
    const char* name;
    int field;
};

class LogFieldNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(LogFieldNames, MatchWhateverTheirCase) {
    EXPECT_EQ(ReadingLog::FieldIndex(GetParam().name), GetParam().field);
}

INSTANTIATE_TEST_SUITE_P(Names, LogFieldNames,
                         ::testing::Values(NameCase{"No", 0}, NameCase{"no", 0}, NameCase{"Time", 1},
                                           NameCase{"time", 1}, NameCase{"VALUE", 2}, NameCase{"unit", 3},
                                           NameCase{"value2", 4}, NameCase{"UNIT2", 5}, NameCase{"Units", -1},
                                           NameCase{"", -1}, NameCase{"Value 2", -1}));

}  // namespace
}  // namespace corvel::test
