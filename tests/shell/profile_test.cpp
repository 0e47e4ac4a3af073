#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <qcustomplot.h>

#include "chart/TrendChart.h"
#include "links/TCommPortDriver.h"
#include "shell/HostInfo.h"
#include "shell/InstrumentProfile.h"
#include "shell/WindowRig.h"

using namespace corvel;
using test::FrameBuilder;
using test::WindowRig;
using PS = ProfileSwitch;
using H = SerialFrameHandler;

namespace {

struct ProfileCase {
    const char* name;
    std::set<ProfileSwitch> checked;
    SerialFrameHandler handler;
    const char* title;
    const char* rangeClass;
    bool baud19200;
    bool presetFirstDigit;
};

const ProfileCase kProfileCases[] = {
    {"NoneChecked", {}, H::None, "", "4", false, false},
    {"IFAlder", {PS::IFAlder}, H::HOakRData, "Corvel Interface Program Ver:2.02", "4", false, true},
    {"Holly", {PS::Holly}, H::HOakRData, "Holly Interface Program _Ver: 1.00", "4", false, true},
    {"IFBirch", {PS::IFBirch}, H::HBirchRData, "Birch USB Interface Program _Ver: 1.00", "4", false, false},
    {"IFCedar", {PS::IFCedar}, H::HBirchRData, "Cedar Interface Program _Ver: 2.06", "34", false, false},
    {"IFHazel", {PS::IFHazel}, H::HBirchRData, "Hazel USB Interface Program _Ver: 1.00", "4", true, false},
    {"IFLarch", {PS::IFLarch}, H::HBirchRData, "Larch USB Interface Program _Ver: 1.00", "4", true, false},
    {"IFMaple", {PS::IFMaple}, H::HBirchRData, "Maple Interface Program _Ver: 1.00", "6", false, false},
    // A later row overrides handler, title and class; the baud rate stays.
    {"HazelThenMapleKeepsTheFastLine", {PS::IFHazel, PS::IFMaple}, H::HBirchRData,
     "Maple Interface Program _Ver: 1.00", "6", true, false},
    // The digit preset stays too.
    {"AlderThenBirchKeepsTheDigitPreset", {PS::IFAlder, PS::IFBirch}, H::HBirchRData,
     "Birch USB Interface Program _Ver: 1.00", "4", false, true},
    // A class set by an earlier row survives a later row without one.
    {"CedarThenLarchReturnsToClassFour", {PS::IFCedar, PS::IFLarch}, H::HBirchRData,
     "Larch USB Interface Program _Ver: 1.00", "4", true, false},
    {"HollyAfterAlderKeepsOakWithHollysTitle", {PS::IFAlder, PS::Holly}, H::HOakRData,
     "Holly Interface Program _Ver: 1.00", "4", false, true},
};

class ProfileTable : public ::testing::TestWithParam<ProfileCase> {};

}  // namespace

TEST_P(ProfileTable, CheckedSwitchesMakeTheProfile) {
    const ProfileCase& c = GetParam();
    const InstrumentProfile p = ApplyProfileSwitches(c.checked);
    EXPECT_EQ(p.handler, c.handler);
    EXPECT_EQ(p.title, c.title);
    EXPECT_EQ(p.rangeClass, c.rangeClass);
    EXPECT_EQ(p.baud19200, c.baud19200);
    EXPECT_EQ(p.presetFirstDigit, c.presetFirstDigit);
}

INSTANTIATE_TEST_SUITE_P(Rows, ProfileTable, ::testing::ValuesIn(kProfileCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ProfileSwitchNames, ParseKnownNamesAndReportUnknownOnes) {
    std::vector<std::string> unknown;
    const auto set = ParseProfileSwitches("IFMaple;Bogus,IFAlder;;IFHazel ifbirch", &unknown);
    EXPECT_EQ(set, (std::set<ProfileSwitch>{PS::IFAlder, PS::IFHazel, PS::IFMaple}));
    EXPECT_EQ(unknown, (std::vector<std::string>{"Bogus", "ifbirch"}));
    // Without a place for them unknown names are just dropped.
    EXPECT_EQ(ParseProfileSwitches("Nothing"), std::set<ProfileSwitch>{});
    EXPECT_EQ(ParseProfileSwitches(""), std::set<ProfileSwitch>{});
}

TEST(ProfileSwitchNames, EverySwitchIsFoundByItsName) {
    for (PS s : {PS::IFAlder, PS::Holly, PS::IFBirch, PS::IFCedar, PS::IFHazel, PS::IFLarch, PS::IFMaple})
        EXPECT_EQ(ProfileSwitchNamed(ProfileSwitchName(s)), s) << ProfileSwitchName(s);
    EXPECT_EQ(ProfileSwitchNamed("IFOak"), std::nullopt);
}

TEST(HostBitness, OnlyX86And64BitItaniumHostsCountAs64Bit) {
    const struct {
        const char* architecture;
        bool is64;
    } cases[] = {{"x86_64", true}, {"ia64", true}, {"arm64", false}, {"i386", false}, {"", false}};
    for (const auto& c : cases) EXPECT_EQ(Is64BitArchitecture(c.architecture), c.is64) << c.architecture;
}

// ---- the profile as the window applies it

TEST(WindowProfile, TitleCarriesTheHostsBitness) {
    for (const bool is64 : {false, true}) {
        WindowRig rig([is64](WindowPlatform& p) { p.host64 = is64; });
        EXPECT_EQ(rig.w->windowTitle(), is64 ? "Corvel Interface Program Ver:2.02(x64)"
                                             : "Corvel Interface Program Ver:2.02(x86)");
    }
}

TEST(WindowProfile, NoSwitchLeavesOnlyTheSuffixAndNoSerialHandler) {
    WindowRig rig([](WindowPlatform& p) { p.profile = {}; });
    EXPECT_EQ(rig.w->windowTitle(), "(x86)");
    EXPECT_FALSE(rig.w->COMM2().OnReceiveData());
}

namespace {

struct WindowProfileCase {
    const char* name;
    std::set<ProfileSwitch> checked;
    TComPortBaudRate speed;
    int fullScale;
    int overloadBar;
    float alarmHigh;
    const char* setmax;
    const char* setmin;
    const char* minText;
    const char* maxText;
};

const WindowProfileCase kWindowCases[] = {
    // Class "4" leaves the layout's texts.
    {"Shipped", {PS::IFAlder}, TComPortBaudRate::br2400, 4000, 40, 40.0f, "3000", "-3000", "00.00", "30.00"},
    {"IFMaple", {PS::IFMaple}, TComPortBaudRate::br2400, 6000, 60, 6002.0f, "6000", "-6000", "6001", "-6001"},
    {"IFCedar", {PS::IFCedar}, TComPortBaudRate::br2400, 3400, 34, 3402.0f, "3400", "-3400", "3401", "-3401"},
    {"IFHazel", {PS::IFHazel}, TComPortBaudRate::br19200, 4000, 40, 40.0f, "3000", "-3000", "00.00", "30.00"},
    {"HazelAndMaple", {PS::IFHazel, PS::IFMaple}, TComPortBaudRate::br19200, 6000, 60, 6002.0f, "6000", "-6000",
     "6001", "-6001"},
};

class WindowProfileTable : public ::testing::TestWithParam<WindowProfileCase> {};

}  // namespace

TEST_P(WindowProfileTable, RangeClassReachesLineAxisAndTexts) {
    const WindowProfileCase& c = GetParam();
    WindowRig rig([&c](WindowPlatform& p) { p.profile = c.checked; });
    TFCOMM& w = *rig.w;
    EXPECT_EQ(w.COMM2().ComPortSpeed(), c.speed);
    EXPECT_EQ(w.COMM2().ComPort(), TComPortNumber::pnCOM1);
    // The rest of the line is the same for every profile: 8N1, DTR raised,
    // no flow control, read every 50 ms.
    EXPECT_EQ(w.COMM2().ComPortDataBits(), TComPortDataBits::db8BITS);
    EXPECT_EQ(w.COMM2().ComPortParity(), TComPortParity::ptNONE);
    EXPECT_EQ(w.COMM2().ComPortStopBits(), TComPortStopBits::sb1BITS);
    EXPECT_EQ(w.COMM2().ComPortHwHandshaking(), TComPortHwHandshaking::hhNONE);
    EXPECT_EQ(w.COMM2().ComPortSwHandshaking(), TComPortSwHandshaking::shNONE);
    EXPECT_TRUE(w.COMM2().EnableDTROnOpen());
    EXPECT_EQ(w.COMM2().ComPortPollingDelay(), 50);
    const QCPRange axis = w.Chart().Chtshow().yAxis->range();
    EXPECT_DOUBLE_EQ(axis.lower, -c.fullScale);
    EXPECT_DOUBLE_EQ(axis.upper, c.fullScale);
    const RangeValues& range = w.Core().Decoders().Range();
    EXPECT_EQ(range.FullScale, c.fullScale);
    EXPECT_EQ(range.OverloadBarPosition, c.overloadBar);
    EXPECT_EQ(range.AlarmHigh, c.alarmHigh);
    EXPECT_EQ(range.AlarmLow, -c.alarmHigh);
    EXPECT_EQ(w.Setmax()->text(), c.setmax);
    EXPECT_EQ(w.SetMin()->text(), c.setmin);
    EXPECT_EQ(w.MinText()->text(), c.minText);
    EXPECT_EQ(w.MaxText()->text(), c.maxText);
}

INSTANTIATE_TEST_SUITE_P(Rows, WindowProfileTable, ::testing::ValuesIn(kWindowCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WindowProfile, OverLoadDisplayGoesToTheBarPositionOfTheClass) {
    // The Oak decoder takes an over-load display as full scale.
    WindowRig rig([](WindowPlatform& p) { p.profile = {PS::IFAlder}; });
    rig.oak(FrameBuilder().main(" 0@ ").second("0001"));
    EXPECT_EQ(rig.w->Core().Mirror().pbar2Position, 40);
}

TEST(WindowProfile, TheSerialHandlerIsTheProfilesOne) {
    const auto oakBytes = FrameBuilder().main("1234").second("0001").oakBytes();
    const auto birchBytes = WindowRig::BirchBytes();
    auto deliver = [](TFCOMM& w, const std::vector<std::uint8_t>& b) {
        ASSERT_TRUE(w.COMM2().OnReceiveData());
        w.COMM2().OnReceiveData()(&w.COMM2(), b.data(), static_cast<std::int32_t>(b.size()));
    };

    // Shipped: Oak frames decode, Birch frames are no frames to it. (The
    // foreign frame goes last: its bytes would spoil the next frame.)
    WindowRig shipped;
    deliver(*shipped.w, oakBytes);
    EXPECT_EQ(shipped.w->Core().Mirror().digit(Digit::LcdDa), "1");
    EXPECT_EQ(shipped.w->Core().Mirror().digit(Digit::LcdDd), "4");
    deliver(*shipped.w, birchBytes);
    EXPECT_FALSE(shipped.w->Core().Mirror().conOkVisible);

    // Birch: the other way round.
    WindowRig birch([](WindowPlatform& p) { p.profile = {PS::IFBirch}; });
    deliver(*birch.w, birchBytes);
    EXPECT_TRUE(birch.w->Core().Mirror().conOkVisible);
    EXPECT_FALSE(birch.w->CONok()->isHidden());
    const auto digits = birch.w->Core().Mirror().digits;
    deliver(*birch.w, oakBytes);
    EXPECT_EQ(birch.w->Core().Mirror().digits, digits);
}
