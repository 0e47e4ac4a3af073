#pragma once

// Which device the serial link opens as COM1.
//
// The window reaches the meter's serial line only as COM1, and on Linux
// COM1 is /dev/ttyS0 unless something points it elsewhere. The user picks
// the device once (a USB adapter, usually) and the choice is remembered in
// the user's settings under "serial/COM1". At the next start COM1 leads to
// the remembered device, present or not: an adapter left unplugged is
// shown as absent and START on it reports the port, as for any port that
// cannot be opened. A COM1 given on the command line wins for that run; a
// choice made meanwhile is remembered for the next start. With nothing
// remembered COM1 keeps its usual meaning.
//
// A value that cannot be read as a device (not text, not an absolute path,
// a path that is something other than a device) counts as nothing
// remembered; so does a damaged or unreadable settings file.

#include <QList>
#include <QString>

#include "links/PortMap.h"
#include "links/SerialPortList.h"

class QSettings;

namespace corvel {

class SerialPortChoice {
public:
    static constexpr const char* kComName = "COM1";
    static constexpr const char* kKey = "serial/COM1";

    // `settings` may be null: nothing is remembered and nothing written.
    // `ports` is the map the run starts with; `fixedForThisRun` says the
    // command line set COM1 in it.
    SerialPortChoice(QSettings* settings, const PortMap& ports, bool fixedForThisRun);

    // The remembered device; empty when nothing usable is remembered.
    const QString& Remembered() const { return remembered_; }
    // The device COM1 leads to in this run; empty when it leads nowhere.
    QString Current() const { return ports_.Resolve(QString::fromLatin1(kComName)); }
    // COM1's device when nothing is remembered.
    static QString DefaultDevice() { return PortMap().Resolve(QString::fromLatin1(kComName)); }
    bool FixedForThisRun() const { return fixed_; }
    // Where the COM names lead in this run.
    const PortMap& Ports() const { return ports_; }

    // One line of the list the user picks from.
    struct Row {
        SerialPortEntry port;
        bool current = false;  // COM1 leads here now
        bool absent = false;   // not on the machine now
        bool operator==(const Row&) const = default;
    };
    // The present ports in the list's order, COM1's device marked; a COM1
    // device that is not present comes last, marked absent.
    QList<Row> Rows(const QList<SerialPortEntry>& present) const;

    // The user chose `device`; an empty one goes back to the default
    // (nothing remembered). Applies it to this run unless the command line
    // fixed COM1, and remembers it. False when the settings could not be
    // written (the run still uses the choice).
    bool Choose(const QString& device);

    // The settings file the choice is kept in; empty without one.
    QString SettingsFile() const;

    // Whether a settings value names something usable as COM1's device.
    static bool Readable(const QString& device);

private:
    QSettings* settings_;
    PortMap ports_;
    bool fixed_;
    QString remembered_;
};

}  // namespace corvel
