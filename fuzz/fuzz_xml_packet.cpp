#include "FuzzFiles.h"
#include "record/XmlPacketReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    corvel::fuzz::ReadFile<corvel::XmlPacketReader>(data, size);
    return 0;
}
