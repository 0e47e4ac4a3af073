#pragma once

// Collects the frames the program's own frame handlers accept, so that the
// link tests judge delivered bytes the way the program will.

#include <string>
#include <vector>

#include "decode/FrameAssembly.h"

namespace corvel::test {

class AcceptedFrames : public FrameSink {
public:
    AcceptedFrames() : assembly_(*this) {}
    FrameAssembly& assembly() { return assembly_; }
    void LcdDisplayOak() override { oak.push_back(assembly_.CurrentFrame()); }
    void LcdDisplayBirch() override { birch.push_back(assembly_.CurrentFrame()); }
    void LcdDisplayPine() override {}

    std::vector<std::string> oak;
    std::vector<std::string> birch;

private:
    FrameAssembly assembly_;
};

}  // namespace corvel::test
