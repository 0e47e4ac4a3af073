#include "FuzzCore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static corvel::fuzz::Harness h;  // state carries over, as in a long run
    corvel::fuzz::Chunked(data, size, [](const std::uint8_t* p, std::size_t n) {
        h.core.Frames().HBirchRData(p, static_cast<std::int32_t>(n));
        h.check();
    });
    return 0;
}
