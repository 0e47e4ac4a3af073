#pragma once

// A double for everything the frame path calls out to, answering nothing:
// no dialogs, no beep, no log. For fuzzing, benchmarks and tests of the
// decoding core alone.

#include <string>

#include "shell/MeterCore.h"

namespace corvel::test {

struct QuietPlatform : UserPrompts, Beeper, ReadingRecorder {
    void Message(Kind, const std::string&) override {}
    Answer Ask(Kind, const std::string&) override { return Answer::No; }
    std::string SaveFileName(const std::string&, const std::string&, const std::string&) override { return {}; }
    std::string OpenFileName(const std::string&, const std::string&) override { return {}; }
    void Beep() override {}
    void INDataToTable() override {}
    void ShowSeries(int) override {}
    bool BtFillChecked() const override { return true; }
};

}  // namespace corvel::test
