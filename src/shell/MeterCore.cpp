#include "shell/MeterCore.h"

namespace corvel {

MeterCore::MeterCore(ReadingRecorder& recorder, Beeper& beeper, UserPrompts& prompts)
    : recorder_(recorder), judge_(reading_, beeper, prompts) {
    SetRange(RangeValuesFor("4"));
}

void MeterCore::SetRange(const RangeValues& range) {
    decoders_.SetRange(range);
    judge_.SetAlarmThresholds(range.AlarmHigh, range.AlarmLow);
    if (!range.MinTextCaption.empty()) mirror_.minText = range.MinTextCaption;
    if (!range.MaxTextCaption.empty()) mirror_.maxText = range.MaxTextCaption;
}

void MeterCore::SetDecimalSeparator(const std::string& separator) {
    decoders_.SetDecimalSeparator(separator);
    judge_.SetDecimalSeparator(separator);
}

void MeterCore::LcdDisplayOak() {
    decoders_.LcdDisplayOak(frames_.CurrentFrame());
    if (afterDecode) afterDecode("oak");
}

void MeterCore::LcdDisplayBirch() {
    decoders_.LcdDisplayBirch(frames_.CurrentFrame());
    if (afterDecode) afterDecode("birch");
}

void MeterCore::LcdDisplayPine() {
    decoders_.LcdDisplayPine(frames_.CurrentFrame());
    if (afterDecode) afterDecode("pine");
}

}  // namespace corvel
