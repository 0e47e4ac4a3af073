#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace corvel {

// The profile switches, in the order start-up tests them.
enum class ProfileSwitch { IFAlder, Holly, IFBirch, IFCedar, IFHazel, IFLarch, IFMaple };
std::string_view ProfileSwitchName(ProfileSwitch s);
std::optional<ProfileSwitch> ProfileSwitchNamed(std::string_view name);

// Which frame handler the polled serial driver gets.
enum class SerialFrameHandler { None, HOakRData, HBirchRData };

// What the checked switches make of the program: applied once at start-up.
struct InstrumentProfile {
    SerialFrameHandler handler = SerialFrameHandler::None;
    std::string title;  // before the bitness suffix
    std::string rangeClass = "4";
    bool baud19200 = false;       // else the layout's 2400
    bool presetFirstDigit = false;  // LcdDa shows "3"
};

// Applies the rows of the checked switches in table order: a later row
// overrides handler, title and range class; a baud rate or digit preset
// once set stays.
InstrumentProfile ApplyProfileSwitches(const std::set<ProfileSwitch>& checked);

// The switches this build was made with (the CMake option naming them).
std::set<ProfileSwitch> BuiltInProfileSwitches();

// Parses a ;- or ,-separated list of switch names; unknown names are
// returned in `unknown`.
std::set<ProfileSwitch> ParseProfileSwitches(std::string_view list, std::vector<std::string>* unknown = nullptr);

}  // namespace corvel
