#pragma once

#include <functional>
#include <optional>
#include <string>

#include "decode/LcdMirror.h"
#include "record/UserPrompts.h"

namespace corvel {

// The system's default beep; a test double counts the beeps.
class Beeper {
public:
    virtual ~Beeper() = default;
    virtual void Beep() = 0;
};

enum class Verdict { None, Pass, Fail };

// The limit panel: the high and low limit edits, the measured value, the
// Pass/Fail lamp, and the over-limit alarm of the range class. Holds the
// texts of its edits; the window mirrors them.
class LimitJudge {
public:
    LimitJudge(Reading& reading, Beeper& beeper, UserPrompts& prompts)
        : reading_(reading), beeper_(beeper), prompts_(prompts) {}

    void SetDecimalSeparator(const std::string& separator) { separator_ = separator; }
    void SetAlarmThresholds(float high, float low) {
        alarmHigh_ = high;
        alarmLow_ = low;
    }

    // The edits' texts as a layout or a command line gives them, without
    // the change events (nothing is accepted or refused by this).
    void SetLimitTexts(const std::string& high, const std::string& low) {
        high_ = high;
        low_ = low;
    }

    // Decoder steps.
    void JudgeReading();
    void OverLimitAlarm(double count);

    // Edit events. The change handlers take the edit's new text; where a
    // rule puts another text into the edit, onEditTextSet tells the window.
    void T1HIChange(const std::string& text);
    void T1LOChange(const std::string& text);
    void T1HIExit();
    void T1LOExit();
    // Key filters: true when the key may go into the edit.
    bool T1HIKeyPress(char key) const { return limitKeyPasses(key, high_); }
    bool T1LOKeyPress(char key) const { return limitKeyPasses(key, low_); }
    static bool SetmaxKeyPress(char key);

    enum class Edit { T1HI, T1LO };
    std::function<void(Edit, const std::string&)> onEditTextSet;
    // Runs after every change of a limit's text, whoever made it (typing,
    // or a rule putting a text back), for what shows the limits elsewhere.
    std::function<void()> onLimitsChanged;

    const std::string& HighText() const { return high_; }
    const std::string& LowText() const { return low_; }
    const std::string& ValueText() const { return value_; }  // T1VALUE
    // The limits as numbers, read as the judge reads them; nothing for a
    // text that is none (an entry in progress, a text being refused).
    std::optional<double> HighLimit() const { return limitValue(high_); }
    std::optional<double> LowLimit() const { return limitValue(low_); }
    const std::string& LastHighLimitText() const { return lastHigh_; }
    const std::string& LastLowLimitText() const { return lastLow_; }
    Verdict CurrentVerdict() const { return verdict_; }
    bool AlarmShown() const { return alarmShown_; }  // the "OL !!" panel

    bool SetMaxB = false;  // the alarm's two switches, unchecked at start
    bool SetMinB = false;

    static constexpr std::uint32_t kPassRgb = 0x008000;
    static constexpr std::uint32_t kFailRgb = 0xFF0000;

private:
    char decimalKey() const { return separator_.empty() ? '.' : separator_[0]; }
    bool limitKeyPasses(char key, const std::string& text) const;
    std::optional<double> limitValue(const std::string& text) const;
    void limitChange(Edit edit, std::string& text, std::string& last, const std::string& newText);
    void limitExit(Edit edit, std::string& text, const std::string& last);

    Reading& reading_;
    Beeper& beeper_;
    UserPrompts& prompts_;
    std::string separator_ = ".";
    float alarmHigh_ = 40.0f;
    float alarmLow_ = -40.0f;

    std::string high_ = "6000";
    std::string low_ = "-6000";
    std::string value_ = "0";
    std::string lastHigh_;
    std::string lastLow_;
    Verdict verdict_ = Verdict::None;
    bool alarmShown_ = false;
};

}  // namespace corvel
