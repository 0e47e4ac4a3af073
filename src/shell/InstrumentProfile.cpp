#include "shell/InstrumentProfile.h"

#include <array>

namespace corvel {

namespace {

struct ProfileRow {
    ProfileSwitch sw;
    const char* name;
    SerialFrameHandler handler;
    const char* title;
    const char* rangeClass;  // nullptr: left as it is
    bool baud19200;
    bool presetFirstDigit;
};

constexpr std::array<ProfileRow, 7> kProfiles{{
    {ProfileSwitch::IFAlder, "IFAlder", SerialFrameHandler::HOakRData, "Corvel Interface Program Ver:2.02",
     nullptr, false, true},
    {ProfileSwitch::Holly, "Holly", SerialFrameHandler::HOakRData, "Holly Interface Program _Ver: 1.00", nullptr,
     false, true},
    {ProfileSwitch::IFBirch, "IFBirch", SerialFrameHandler::HBirchRData, "Birch USB Interface Program _Ver: 1.00",
     nullptr, false, false},
    {ProfileSwitch::IFCedar, "IFCedar", SerialFrameHandler::HBirchRData, "Cedar Interface Program _Ver: 2.06", "34",
     false, false},
    {ProfileSwitch::IFHazel, "IFHazel", SerialFrameHandler::HBirchRData, "Hazel USB Interface Program _Ver: 1.00",
     "4", true, false},
    {ProfileSwitch::IFLarch, "IFLarch", SerialFrameHandler::HBirchRData, "Larch USB Interface Program _Ver: 1.00",
     "4", true, false},
    {ProfileSwitch::IFMaple, "IFMaple", SerialFrameHandler::HBirchRData, "Maple Interface Program _Ver: 1.00", "6",
     false, false},
}};

}  // namespace

std::string_view ProfileSwitchName(ProfileSwitch s) { return kProfiles[static_cast<int>(s)].name; }

std::optional<ProfileSwitch> ProfileSwitchNamed(std::string_view name) {
    for (const ProfileRow& row : kProfiles)
        if (name == row.name) return row.sw;
    return std::nullopt;
}

InstrumentProfile ApplyProfileSwitches(const std::set<ProfileSwitch>& checked) {
    InstrumentProfile p;
    for (const ProfileRow& row : kProfiles) {
        if (!checked.count(row.sw)) continue;
        p.handler = row.handler;
        p.title = row.title;
        if (row.presetFirstDigit) p.presetFirstDigit = true;
        if (row.baud19200) p.baud19200 = true;
        if (row.rangeClass) p.rangeClass = row.rangeClass;
    }
    return p;
}

std::set<ProfileSwitch> ParseProfileSwitches(std::string_view list, std::vector<std::string>* unknown) {
    std::set<ProfileSwitch> out;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find_first_of(";, ", start);
        if (end == std::string_view::npos) end = list.size();
        const std::string_view name = list.substr(start, end - start);
        if (!name.empty()) {
            if (auto s = ProfileSwitchNamed(name)) {
                out.insert(*s);
            } else if (unknown) {
                unknown->emplace_back(name);
            }
        }
        start = end + 1;
    }
    return out;
}

std::set<ProfileSwitch> BuiltInProfileSwitches() {
#ifdef CORVEL_PROFILE_SWITCHES
    return ParseProfileSwitches(CORVEL_PROFILE_SWITCHES);
#else
    return {ProfileSwitch::IFAlder};
#endif
}

}  // namespace corvel
