#pragma once

// Serial port names.
//
// The program names its ports the way the meters' manuals do: "COM1" to
// "COM4". On Windows those names are the devices themselves and nothing is
// translated. On Linux a COM name is only a label; each one maps to a device
// node:
//
//     COM1 -> /dev/ttyS0    COM2 -> /dev/ttyS1
//     COM3 -> /dev/ttyS2    COM4 -> /dev/ttyS3
//
// and the user can point any COM name (COM1 to COM256) somewhere else, most
// often at a USB adapter: the program's --port option takes "COM1=/dev/ttyUSB0"
// (ParsePortAssignment) and the result goes into PortMap::Set. A COM name
// with no mapping (COM5 unless the user set it, or one the user cleared)
// resolves to nothing, and a link asked to open it behaves as for a missing
// port, and so does a misspelt one ("COM0", "COM01"). A name that does not
// begin with COM is taken as a device itself:
// "/dev/ttyACM0" as it stands, "ttyACM0" under /dev.
//
// The list of present ports (the serial component's PortNames) is, on
// Linux, the serial devices Qt finds on the machine, each under the COM
// name mapped to it when there is one and under its device path otherwise,
// sorted like the Windows list (case-insensitive). Devices that exist but
// have no COM name are listed by path so that the user can still see and
// use them.

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

namespace corvel {

class PortMap {
public:
    // With the documented defaults for COM1 to COM4.
    PortMap();

    // Points a COM name at a device; an empty device removes the mapping so
    // that the name resolves to nothing. Returns false (and changes nothing)
    // when `comName` is not a COM name.
    bool Set(const QString& comName, const QString& device);

    // The device to open for a port name, or an empty string when the name
    // maps to nothing.
    QString Resolve(const QString& name) const;

    // The COM name mapped to a device path, or an empty string.
    QString ComNameFor(const QString& device) const;

    // Names for the present devices (system locations such as /dev/ttyUSB0):
    // the COM name where one maps to the device, else the path; sorted.
    QStringList PortNamesFor(const QStringList& deviceLocations) const;

    // "COM1" to "COM256", any letter case.
    static bool IsComName(const QString& name);
    // The number of a COM name (COM3 -> 3), 0 when it is not one.
    static int ComNumber(const QString& name);

private:
    QMap<int, QString> devices_;  // COM number -> device path
};

struct PortAssignment {
    QString comName;  // normalised to upper case, "COM1"
    QString device;   // absolute device path
};

// Parses one command-line value "COMn=/dev/path". On a malformed value
// returns nothing and, if `error` is given, a message that says what is
// wrong and what was expected.
std::optional<PortAssignment> ParsePortAssignment(const QString& text, QString* error = nullptr);

}  // namespace corvel
