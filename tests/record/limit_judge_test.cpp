#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "record/LimitJudge.h"
#include "record/NumberText.h"
#include "support/ScriptedPrompts.h"
#include "support/CountingBeeper.h"

using namespace corvel;

namespace {

using test::CountingBeeper;
struct Judge {
    Reading reading;
    CountingBeeper beeper;
    test::ScriptedPrompts prompts;
    LimitJudge judge{reading, beeper, prompts};
    std::vector<std::string> echoed;  // texts the judge put back into an edit
    explicit Judge(const std::string& separator = ".") {
        judge.SetDecimalSeparator(separator);
        judge.onEditTextSet = [this](LimitJudge::Edit, const std::string& t) { echoed.push_back(t); };
    }
};

}  // namespace

TEST(NumberText, ReadsTheLocaleNotation) {
    const struct {
        const char* text;
        char decimal;
        long double value;
    } cases[] = {
        {"1.234", '.', 1.234L},  {" -5 ", '.', -5},     {"+.5", '.', 0.5L},     {"12,5", ',', 12.5L},
        {"1e3", '.', 1000},      {"2.5E-1", '.', 0.25L}, {"7.", '.', 7},        {"12.5", ',', kNoNumber},
        {"", '.', kNoNumber},    {"-", '.', kNoNumber},  {".", '.', kNoNumber}, {"5-", '.', kNoNumber},
        {"1.2.3", '.', kNoNumber}, {"0L", '.', kNoNumber}, {"1e", '.', kNoNumber}, {"'5", '.', kNoNumber},
        {"inf", '.', kNoNumber}, {"1 2", '.', kNoNumber},
    };
    for (const auto& c : cases) EXPECT_EQ(ReadNumberOrDefault(c.text, c.decimal), c.value) << c.text;
}

TEST(NumberText, Int32Texts) {
    EXPECT_EQ(ReadInt32("42"), 42);
    EXPECT_EQ(ReadInt32("-7"), -7);
    EXPECT_EQ(ReadInt32("+7"), 7);
    EXPECT_EQ(ReadInt32("2147483647"), 2147483647);
    for (const char* bad : {"", "2147483648", "1a", "+", "+-1", " 1", "1.0"})
        EXPECT_FALSE(ReadInt32(bad).has_value()) << bad;
    EXPECT_EQ(NotAnIntegerMessage("x1"), "'x1' is not a valid integer value");
}

TEST(JudgeReading, VerdictsAndMeasuredValue) {
    const struct {
        const char* name;
        const char* high;
        const char* low;
        const char* value;
        Verdict verdict;
        double measured;
    } cases[] = {
        {"inside the start-up limits", "6000", "-6000", "1.234", Verdict::Pass, 1.234},
        {"equal to the high limit", "5", "-5", "5.00", Verdict::Pass, 5.0},
        {"equal to the low limit", "5", "-5", "-5", Verdict::Pass, -5.0},
        {"above the high limit", "5", "-5", "5.01", Verdict::Fail, 5.01},
        {"below the low limit", "5", "-5", "-5.1", Verdict::Fail, -5.1},
        {"low above high fails everything", "5", "10", "7", Verdict::Fail, 7.0},
        {"over-load is no number", "6000", "-6000", "0L", Verdict::Fail, 4000.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Judge j;
        j.judge.T1HIChange(c.high);
        j.judge.T1LOChange(c.low);
        j.reading.ValueText = c.value;
        j.judge.JudgeReading();
        EXPECT_EQ(j.judge.CurrentVerdict(), c.verdict);
        EXPECT_DOUBLE_EQ(j.reading.MeasuredValue, c.measured);
        EXPECT_EQ(j.judge.ValueText(), c.value);
    }
}

TEST(JudgeReading, ALimitBeingTypedLeavesTheLastVerdict) {
    Judge j;
    j.reading.ValueText = "1.5";
    j.judge.JudgeReading();
    ASSERT_EQ(j.judge.CurrentVerdict(), Verdict::Pass);
    j.judge.T1HIChange("-");
    j.reading.ValueText = "0L";
    j.judge.JudgeReading();
    EXPECT_EQ(j.judge.CurrentVerdict(), Verdict::Pass);
    EXPECT_DOUBLE_EQ(j.reading.MeasuredValue, 1.5);
    EXPECT_EQ(j.judge.ValueText(), "0L");  // the value is shown all the same
    EXPECT_TRUE(j.prompts.shown.empty());
}

TEST(JudgeReading, CommaSeparatorReadsTheDisplay) {
    Judge j(",");
    j.reading.ValueText = "12,34";
    j.judge.JudgeReading();
    EXPECT_DOUBLE_EQ(j.reading.MeasuredValue, 12.34);
}

TEST(LimitEdits, BadTextIsRefusedAndTheLastGoodOneComesBack) {
    Judge j;
    j.judge.T1HIChange("5");
    j.judge.T1HIChange("5-");
    EXPECT_EQ(j.prompts.Messages(), std::vector<std::string>{"Numerical input errors"});
    EXPECT_EQ(j.prompts.shown[0].kind, UserPrompts::Kind::Error);
    EXPECT_EQ(j.echoed, std::vector<std::string>{"5"});
    EXPECT_EQ(j.judge.HighText(), "5");
    EXPECT_EQ(j.judge.LastHighLimitText(), "5");
}

TEST(LimitEdits, EntriesInProgressAreToleratedUntilTheEditIsLeft) {
    Judge j;
    j.judge.T1LOChange("-3");
    for (const char* partial : {"-", "+", "", "   "}) {
        SCOPED_TRACE(partial);
        j.echoed.clear();
        j.judge.T1LOChange(partial);
        EXPECT_TRUE(j.prompts.shown.empty());
        EXPECT_EQ(j.judge.LastLowLimitText(), "-3");
        j.judge.T1LOExit();
        EXPECT_EQ(j.echoed, std::vector<std::string>{"-3"});
        EXPECT_EQ(j.judge.LowText(), "-3");
    }
}

TEST(LimitEdits, LeavingAnEmptiedEditWithNothingTypedSinceStartUp) {
    Judge j;  // "-6000" is the layout's text, never typed: nothing accepted yet
    j.judge.T1LOChange("");
    j.judge.T1LOExit();
    EXPECT_EQ(j.echoed, std::vector<std::string>{""});
    EXPECT_EQ(j.judge.LowText(), "");
}

TEST(LimitEdits, KeyFilters) {
    Judge dot;
    Judge comma(",");
    dot.judge.T1HIChange("1.5");
    comma.judge.T1HIChange("1,5");
    const struct {
        Judge* j;
        char key;
        bool passes;
    } cases[] = {
        {&dot, 'x', false},  {&dot, '7', true},    {&dot, '-', true},   {&dot, '+', true},
        {&dot, 8, true},     {&dot, '\'', true},   {&dot, '`', true},   {&dot, '.', false},
        {&dot, ',', false},  {&dot, 'e', false},   {&comma, ',', false}, {&comma, '.', true},
        {&dot, ' ', false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.j->judge.T1HIKeyPress(c.key), c.passes) << int(c.key) << " " << c.j->judge.HighText();
    Judge fresh(",");
    fresh.judge.T1LOChange("12");
    EXPECT_TRUE(fresh.judge.T1LOKeyPress(','));
    // A second point passes the filter, and the change event then refuses it.
    dot.judge.T1HIChange("1.5.");
    EXPECT_EQ(dot.prompts.Messages().size(), 1U);
    EXPECT_EQ(dot.judge.HighText(), "1.5");

    for (char k : {'0', '9', '+', '-', '\b'}) EXPECT_TRUE(LimitJudge::SetmaxKeyPress(k)) << k;
    for (char k : {'.', ',', 'a', ' '}) EXPECT_FALSE(LimitJudge::SetmaxKeyPress(k)) << k;
}

TEST(OverLimitAlarm, BeepsAndShowsWhileAboveOrBelow) {
    const struct {
        bool maxOn;
        bool minOn;
        double count;
        bool shown;
    } cases[] = {
        {true, false, 41, true},    {true, false, 40, false},  {false, false, 41, false},
        {false, true, -41, true},   {false, true, -40, false}, {true, false, -41, false},
        {true, true, 4000, true},   {true, true, 0, false},
    };
    for (const auto& c : cases) {
        Judge j;
        j.judge.SetAlarmThresholds(40.0f, -40.0f);
        j.judge.SetMaxB = c.maxOn;
        j.judge.SetMinB = c.minOn;
        j.judge.OverLimitAlarm(c.count);
        EXPECT_EQ(j.judge.AlarmShown(), c.shown) << c.count;
        EXPECT_EQ(j.beeper.beeps, c.shown ? 1 : 0) << c.count;
    }
}

TEST(OverLimitAlarm, BeepsOncePerReadingAndHidesAgain) {
    Judge j;
    j.judge.SetMaxB = true;
    j.judge.OverLimitAlarm(41);
    j.judge.OverLimitAlarm(41);
    EXPECT_EQ(j.beeper.beeps, 2);
    j.judge.OverLimitAlarm(40);
    EXPECT_FALSE(j.judge.AlarmShown());
}
