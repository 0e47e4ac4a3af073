#pragma once

#include <QTime>

#include "record/Clock.h"

namespace corvel::test {

// A clock that says whatever time the test sets.
class ScriptedClock : public Clock {
public:
    QTime now{12, 0, 0};
    QTime LocalTime() const override { return now; }
};

}  // namespace corvel::test
