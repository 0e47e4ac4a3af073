#pragma once

// A main window with every outside party scripted, and a pseudo-terminal to
// play the meter on a real serial device.

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QString>
#include <QThread>
#include <cerrno>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "shell/TFCOMM.h"
#include "support/CountingBeeper.h"
#include "support/FakeHidPlatform.h"
#include "support/FrameBuilder.h"
#include "support/LinkTestSupport.h"
#include "support/ScriptedClock.h"
#include "support/ScriptedPrompts.h"

namespace corvel::test {

// The window under test. Its own timers are stopped so that a test ticks
// the link watch and the sampling countdown itself; `setUp` may change the
// platform (profile, ports, host) before the window is made.
struct WindowRig {
    ScriptedPrompts prompts;
    CountingBeeper beeper;
    ScriptedClock clock;
    // No HID device unless a test puts one in (before the window is made,
    // or followed by hid.Change()).
    FakeHidPlatform hid;
    std::unique_ptr<TFCOMM> w;

    explicit WindowRig(const std::function<void(WindowPlatform&)>& setUp = {}, bool stopTimers = true) {
        WindowPlatform platform(prompts, beeper, ".", false);
        platform.clock = &clock;
        platform.hid = &hid;
        if (setUp) setUp(platform);
        w = std::make_unique<TFCOMM>(std::move(platform));
        if (stopTimers) {
            w->ConTimer().stop();
            w->Trecord().stop();
        }
    }

    // A 14-byte Oak frame as the serial driver hands it over.
    void oak(const FrameBuilder& f) {
        const auto bytes = f.oakBytes();
        w->HOakRData(nullptr, bytes.data(), static_cast<std::int32_t>(bytes.size()));
    }
    // The shortest Birch frame the serial handler takes: 0A, nine bytes, 0D.
    void birch() {
        const std::vector<std::uint8_t> bytes = BirchBytes();
        w->HBirchRData(nullptr, bytes.data(), static_cast<std::int32_t>(bytes.size()));
    }
    static std::vector<std::uint8_t> BirchBytes() { return {0x0A, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0D}; }
    // A HID report that carries no data.
    void emptyReport() {
        const std::uint8_t none = 0;
        w->HidDataToFrame(nullptr, 0, &none, 1);
    }
};

// The window opens the slave as its serial port; the test writes the
// meter's bytes to the master.
using PseudoTerminal = Pty;

}  // namespace corvel::test
