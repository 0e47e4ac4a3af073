#pragma once

// The whole frame path as the fuzz targets drive it: handlers, decoders and
// the judge, with the log and the chart left out.

#include <cstdint>
#include <cstdlib>

#include "shell/MeterCore.h"
#include "../tests/support/QuietPlatform.h"

namespace corvel::fuzz {

using Quiet = test::QuietPlatform;

struct Harness {
    Quiet quiet;
    MeterCore core{quiet, quiet, quiet};
    Harness() { core.SetDecimalSeparator(","); }

    // The collections must stay within their bounds whatever arrives.
    void check() const {
        const FrameAssembly& f = core.Frames();
        if (f.FrameNibbles().size() > FrameAssembly::kMaxNibbles ||
            f.FramePositions().size() > FrameAssembly::kMaxNibbles ||
            f.CurrentFrame().size() > FrameAssembly::kMaxHexText ||
            f.HidFrameText().size() > FrameAssembly::kMaxHexText)
            std::abort();
    }
};

// Splits the input into chunks whose sizes the input itself chooses.
template <typename Feed>
void Chunked(const std::uint8_t* data, std::size_t size, Feed feed) {
    std::size_t i = 0;
    while (i < size) {
        const std::size_t n = std::min<std::size_t>(1 + data[i] % 64, size - i - 1);
        ++i;
        feed(data + i, n);
        i += n;
    }
}

}  // namespace corvel::fuzz
