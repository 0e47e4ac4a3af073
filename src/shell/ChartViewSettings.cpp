#include "shell/ChartViewSettings.h"

namespace corvel {

bool ChartViewSettings::Read(const char* key) const {
    if (!settings_) return false;
    const QVariant value = settings_->value(QLatin1String(key));
    // The file is the user's to edit: only a plain true turns an option on.
    return value.toString() == QLatin1String("true");
}

void ChartViewSettings::Write(const char* key, bool on) const {
    if (!settings_) return;
    settings_->setValue(QLatin1String(key), on);
    settings_->sync();
}

}  // namespace corvel
