#include "shell/CoreStartUp.h"

namespace corvel {

RangeValues StartCore(MeterCore& core, const InstrumentProfile& profile,
                      const std::string& decimalSeparator) {
    core.SetDecimalSeparator(decimalSeparator);
    if (profile.presetFirstDigit) core.Mirror().digit(Digit::LcdDa).assign(1, '3');
    RangeValues range = RangeValuesFor(profile.rangeClass);
    core.SetRange(range);
    // The layout draws placeholder symbols there; start-up blanks them,
    // and only a decoder that drives them shows them again.
    core.Mirror().label4.clear();
    core.Mirror().label5.clear();
    return range;
}

}  // namespace corvel
