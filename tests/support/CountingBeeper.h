#pragma once

// A beeper double that counts the beeps instead of sounding them.

#include "record/LimitJudge.h"

namespace corvel::test {

struct CountingBeeper : Beeper {
    int beeps = 0;
    void Beep() override { ++beeps; }
};

}  // namespace corvel::test
