#pragma once

#include <QSettings>
#include <memory>

// What the user picks once and expects to find again on the next start (the
// serial device behind COM1, the chart's view options) lives in one INI file
// in the user's configuration folder: $XDG_CONFIG_HOME/corvel/corvel.conf,
// ~/.config/corvel/corvel.conf by default. The application's organisation
// name stays unset on purpose: setting it would move the journal's folder.
// A damaged or unreadable file reads as empty, so every key falls back to
// "nothing remembered".
inline std::unique_ptr<QSettings> OpenUserSettings() {
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("corvel"), QStringLiteral("corvel"));
}
