#include "FuzzFiles.h"
#include "record/TextTableReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    corvel::fuzz::ReadFile<corvel::TextTableReader>(data, size);
    return 0;
}
