#include <gtest/gtest.h>

#include "DecodeReport.h"
#include "support/FrameBuilder.h"
#include "support/QuietPlatform.h"

using namespace corvel;

namespace {
using Quiet = test::QuietPlatform;
}  // namespace

TEST(DecodeReport, OneLineOfJsonPerDecoderRun) {
    Quiet q;
    MeterCore core(q, q, q);
    core.SetDecimalSeparator(".");
    std::vector<std::string> lines;
    core.afterDecode = [&](std::string_view d) { lines.push_back(DecodeReportLine(d, core)); };
    const auto bytes = test::FrameBuilder().main(" 0@ ").bit(28).second("0001").oakBytes();
    core.Frames().HOakRData(bytes.data(), static_cast<int>(bytes.size()));
    ASSERT_EQ(lines.size(), 1U);
    const std::string& l = lines[0];
    for (const char* part : {"\"decoder\":\"oak\"", "\"digits\":[\"\",\"0\",\"@\",\"\",", "\"points\":[\"LcdP2\"",
                             "\"value\":\"0.L\"", "\"display_count\":4000", "\"measured_value\":4000",
                             "\"verdict\":\"Fail\"", "\"alarm\":false", "\"bar\":40", "\"label4\":\"\""})
        EXPECT_NE(l.find(part), std::string::npos) << part << " in " << l;
    EXPECT_EQ(l.front(), '{');
    EXPECT_EQ(l.back(), '}');
}

TEST(DecodeReport, JsonStringsEscapeWhatMustBe) {
    EXPECT_EQ(JsonString("m|s"), "\"m|s\"");
    EXPECT_EQ(JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(JsonString(std::string("\x01\n", 2)), "\"\\u0001\\u000a\"");
    EXPECT_EQ(JsonString("\xEF\xBC\x9F"), "\"\xEF\xBC\x9F\"");
}
