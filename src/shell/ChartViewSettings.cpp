#include "shell/ChartViewSettings.h"

namespace corvel {

bool ChartViewSettings::Read(const char* key) const {
    if (!open_) return false;
    const auto settings = open_();
    if (!settings) return false;
    const QVariant value = settings->value(QLatin1String(key));
    // The file is the user's to edit: only a plain true turns an option on.
    return value.toString() == QLatin1String("true");
}

void ChartViewSettings::Write(const char* key, bool on) const {
    if (!open_) return;
    const auto settings = open_();
    if (!settings) return;
    settings->setValue(QLatin1String(key), on);
    settings->sync();
}

}  // namespace corvel
