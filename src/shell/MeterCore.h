#pragma once

#include <functional>
#include <string_view>

#include "decode/DecoderHost.h"
#include "decode/FrameAssembly.h"
#include "decode/LcdMirror.h"
#include "decode/RangeClass.h"
#include "decode/SegmentDecoders.h"
#include "record/LimitJudge.h"

namespace corvel {

// Where a decoded reading goes next: the log and the chart. The core holds
// only this interface so it runs the same in the window and in the tools.
class ReadingRecorder {
public:
    virtual ~ReadingRecorder() = default;
    virtual void INDataToTable() = 0;
    virtual void ShowSeries(int index) = 0;
    virtual bool BtFillChecked() const = 0;
};

// One run's worth of the frame path: the frame handlers, the decoders, the
// mirror and reading they fill, and the limit judge. The window forwards
// its handlers here; corvel-decode and the benchmarks drive it directly.
class MeterCore final : private FrameSink, private DecoderHost {
public:
    MeterCore(ReadingRecorder& recorder, Beeper& beeper, UserPrompts& prompts);

    // Start-up values: the range class and the system's decimal separator.
    void SetRange(const RangeValues& range);
    void SetDecimalSeparator(const std::string& separator);

    FrameAssembly& Frames() { return frames_; }
    const FrameAssembly& Frames() const { return frames_; }
    SegmentDecoders& Decoders() { return decoders_; }
    const SegmentDecoders& Decoders() const { return decoders_; }
    LimitJudge& Judge() { return judge_; }
    const LimitJudge& Judge() const { return judge_; }
    LcdMirror& Mirror() { return mirror_; }
    const LcdMirror& Mirror() const { return mirror_; }
    Reading& CurrentReading() { return reading_; }
    const Reading& CurrentReading() const { return reading_; }

    // Called after every decoder run with the decoder's name ("oak",
    // "pine", "birch"), once the mirror and the reading are up to date.
    std::function<void(std::string_view decoder)> afterDecode;

private:
    void LcdDisplayOak() override;
    void LcdDisplayBirch() override;
    void LcdDisplayPine() override;
    void OverLimitAlarm(double displayCount) override { judge_.OverLimitAlarm(displayCount); }
    void JudgeReading() override { judge_.JudgeReading(); }
    void INDataToTable() override { recorder_.INDataToTable(); }
    void ShowSeries(int index) override { recorder_.ShowSeries(index); }
    bool BtFillChecked() const override { return recorder_.BtFillChecked(); }

    ReadingRecorder& recorder_;
    LcdMirror mirror_;
    Reading reading_;
    FrameAssembly frames_{*this};
    SegmentDecoders decoders_{mirror_, reading_, *this};
    LimitJudge judge_;
};

}  // namespace corvel
