#include <gtest/gtest.h>

#include "links/PortMap.h"

namespace corvel {
namespace {

struct ResolveCase {
    const char* name;
    const char* port;
    const char* device;  // "" = maps to nothing
};

class ResolveDefaults : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(ResolveDefaults, LeadsToTheDocumentedDevice) {
    const auto& c = GetParam();
    EXPECT_EQ(PortMap().Resolve(QString::fromLatin1(c.port)), QString::fromLatin1(c.device));
}

INSTANTIATE_TEST_SUITE_P(
    Linux, ResolveDefaults,
    ::testing::Values(ResolveCase{"Com1", "COM1", "/dev/ttyS0"}, ResolveCase{"Com2", "COM2", "/dev/ttyS1"},
                      ResolveCase{"Com3", "COM3", "/dev/ttyS2"}, ResolveCase{"Com4", "COM4", "/dev/ttyS3"},
                      ResolveCase{"LowerCase", "com2", "/dev/ttyS1"}, ResolveCase{"UnmappedCom5", "COM5", ""},
                      ResolveCase{"ComZeroIsNoPort", "COM0", ""}, ResolveCase{"LeadingZero", "COM01", ""},
                      ResolveCase{"AbsolutePath", "/dev/ttyUSB0", "/dev/ttyUSB0"},
                      ResolveCase{"BareDeviceName", "ttyACM0", "/dev/ttyACM0"}, ResolveCase{"Empty", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PortMap, SetPointsAComNameElsewhereAndEmptyClearsIt) {
    PortMap map;
    EXPECT_TRUE(map.Set("COM1", "/dev/ttyUSB0"));
    EXPECT_TRUE(map.Set("com9", "/dev/ttyACM1"));
    EXPECT_EQ(map.Resolve("COM1"), "/dev/ttyUSB0");
    EXPECT_EQ(map.Resolve("COM9"), "/dev/ttyACM1");
    EXPECT_EQ(map.Resolve("COM2"), "/dev/ttyS1");  // the others keep their defaults
    EXPECT_TRUE(map.Set("COM2", ""));
    EXPECT_EQ(map.Resolve("COM2"), "");
    EXPECT_EQ(map.ComNameFor("/dev/ttyACM1"), "COM9");
    EXPECT_EQ(map.ComNameFor("/dev/ttyS1"), "");
}

TEST(PortMap, SetRefusesWhatIsNotAComName) {
    PortMap map;
    for (const char* bad : {"LPT1", "COM", "COM257", "COMX", "COM-1", "", "/dev/ttyS0"}) {
        EXPECT_FALSE(map.Set(QString::fromLatin1(bad), "/dev/null")) << bad;
    }
    EXPECT_EQ(map.Resolve("COM1"), "/dev/ttyS0");
}

struct ParseCase {
    const char* name;
    const char* text;
    const char* com;     // expected COM name, or "" for a refused value
    const char* device;  // expected device, or a fragment of the message
};

class ParseAssignment : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseAssignment, AcceptsComEqualsPathAndExplainsMistakes) {
    const auto& c = GetParam();
    QString error;
    const auto result = ParsePortAssignment(QString::fromLatin1(c.text), &error);
    if (*c.com) {
        ASSERT_TRUE(result.has_value()) << error.toStdString();
        EXPECT_EQ(result->comName, QString::fromLatin1(c.com));
        EXPECT_EQ(result->device, QString::fromLatin1(c.device));
    } else {
        EXPECT_FALSE(result.has_value());
        EXPECT_TRUE(error.contains(QString::fromLatin1(c.device))) << error.toStdString();
        EXPECT_TRUE(error.contains(QString::fromLatin1(c.text)))
            << "the message names the value: " << error.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, ParseAssignment,
    ::testing::Values(ParseCase{"Usb", "COM1=/dev/ttyUSB0", "COM1", "/dev/ttyUSB0"},
                      ParseCase{"LowerCaseName", "com3=/dev/ttyACM0", "COM3", "/dev/ttyACM0"},
                      ParseCase{"BlanksAroundParts", " COM2 = /dev/pts/4 ", "COM2", "/dev/pts/4"},
                      ParseCase{"HighComNumber", "COM256=/dev/x", "COM256", "/dev/x"},
                      ParseCase{"NoEquals", "COM1", "", "expected COMn=DEVICE"},
                      ParseCase{"NotAComName", "LPT1=/dev/lp0", "", "is not a port name"},
                      ParseCase{"ComOutOfRange", "COM300=/dev/x", "", "COM1 to COM256"},
                      ParseCase{"EmptyName", "=/dev/ttyUSB0", "", "is not a port name"},
                      ParseCase{"NoDevice", "COM1=", "", "no device given for COM1"},
                      ParseCase{"RelativeDevice", "COM1=ttyUSB0", "", "absolute path"},
                      ParseCase{"TwoEquals", "COM1=/dev/a=b", "", "is not a device path"},
                      ParseCase{"InnerBlank", "COM1=/dev/tty USB0", "", "is not a device path"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PortMap, PortNamesAreComNamesWhereMappedElsePathsSortedCaseInsensitively) {
    PortMap map;
    map.Set("COM3", "/dev/ttyUSB0");
    const QStringList present{"/dev/ttyUSB0", "/dev/ttyS0", "/dev/ttyACM0", "/dev/ttyS1", "/dev/ttyUSB0"};
    EXPECT_EQ(map.PortNamesFor(present), (QStringList{"/dev/ttyACM0", "COM1", "COM2", "COM3"}));
    EXPECT_TRUE(map.PortNamesFor({}).isEmpty());
}

}  // namespace
}  // namespace corvel
