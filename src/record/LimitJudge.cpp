#include "record/LimitJudge.h"

#include "record/NumberText.h"

namespace corvel {

namespace {

// An entry the user is still typing: a lone sign, or nothing but blanks.
bool entryInProgress(const std::string& text) {
    if (text == "-" || text == "+") return true;
    for (char c : text) {
        if (static_cast<unsigned char>(c) > ' ') return false;
    }
    return true;
}

}  // namespace

void LimitJudge::JudgeReading() {
    value_ = reading_.ValueText;
    const char dec = decimalKey();
    const long double hi = ReadNumberOrDefault(high_, dec);
    const long double lo = ReadNumberOrDefault(low_, dec);
    if (hi == kNoNumber || lo == kNoNumber) return;  // a limit is being edited
    const long double v = ReadNumberOrDefault(reading_.ValueText, dec);
    if (v == kNoNumber) {
        // No number on the display (an over-load reads 0L): that fails, and
        // the chart gets a fixed mark well above any reading.
        verdict_ = Verdict::Fail;
        reading_.MeasuredValue = 4000.0;
        return;
    }
    reading_.MeasuredValue = static_cast<double>(v);
    verdict_ = (lo > v || v > hi) ? Verdict::Fail : Verdict::Pass;
}

void LimitJudge::OverLimitAlarm(double count) {
    const bool on = (count > alarmHigh_ && SetMaxB) || (count < alarmLow_ && SetMinB);
    if (on) beeper_.Beep();
    alarmShown_ = on;
}

void LimitJudge::limitChange(Edit edit, std::string& text, std::string& last,
                             const std::string& newText) {
    text = newText;
    if (entryInProgress(text)) {
        if (onLimitsChanged) onLimitsChanged();
        return;
    }
    if (ReadNumberOrDefault(text, decimalKey()) == kNoNumber) {
        prompts_.Message(UserPrompts::Kind::Error, "Numerical input errors");
        // Putting the last good text back raises the change event again,
        // as typing it would.
        const std::string restored = last;
        if (onEditTextSet) onEditTextSet(edit, restored);
        limitChange(edit, text, last, restored);
    }
    last = text;
    if (onLimitsChanged) onLimitsChanged();
}

void LimitJudge::T1HIChange(const std::string& text) { limitChange(Edit::T1HI, high_, lastHigh_, text); }
void LimitJudge::T1LOChange(const std::string& text) { limitChange(Edit::T1LO, low_, lastLow_, text); }

void LimitJudge::limitExit(Edit edit, std::string& text, const std::string& last) {
    if (!entryInProgress(text)) return;
    const std::string restored = last;
    if (onEditTextSet) onEditTextSet(edit, restored);
    if (edit == Edit::T1HI) {
        T1HIChange(restored);
    } else {
        T1LOChange(restored);
    }
}

void LimitJudge::T1HIExit() { limitExit(Edit::T1HI, high_, lastHigh_); }
void LimitJudge::T1LOExit() { limitExit(Edit::T1LO, low_, lastLow_); }

bool LimitJudge::limitKeyPasses(char key, const std::string& text) const {
    const char dec = decimalKey();
    if (key == dec && text.find(dec) != std::string::npos) return false;
    if (key == 8 || key == 39 || key == '+' || key == '-' || key == '.' || key == 96 || key == dec)
        return true;
    return key >= '0' && key <= '9';
}

std::optional<double> LimitJudge::limitValue(const std::string& text) const {
    const long double v = ReadNumberOrDefault(text, decimalKey());
    if (v == kNoNumber) return std::nullopt;
    return static_cast<double>(v);
}

bool LimitJudge::SetmaxKeyPress(char key) {
    return (key >= '0' && key <= '9') || key == 8 || key == '+' || key == '-';
}

}  // namespace corvel
