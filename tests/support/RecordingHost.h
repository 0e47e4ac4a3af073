#pragma once

// A decoder host double that writes down which step was called, in order.

#include <string>
#include <vector>

#include "decode/DecoderHost.h"

namespace corvel::test {

class RecordingHost : public DecoderHost {
public:
    void OverLimitAlarm(double count) override {
        calls.push_back("alarm");
        lastCount = count;
    }
    void JudgeReading() override { calls.push_back("judge"); }
    void INDataToTable() override { calls.push_back("log"); }
    void ShowSeries(int index) override { calls.push_back("series" + std::to_string(index)); }
    bool BtFillChecked() const override { return fill; }

    std::vector<std::string> calls;
    double lastCount = -1;
    bool fill = true;
};

}  // namespace corvel::test
