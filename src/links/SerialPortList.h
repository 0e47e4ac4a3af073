#pragma once

// The machine's serial ports as the user picks among them: each with what
// the system says about it, listed the way a user looks for a meter's cable
// (a USB adapter first).
//
// The list sits behind a narrow interface so that the window does not care
// where it comes from: on the machine it is Qt Serial Port's enumeration.

#include <QList>
#include <QString>

namespace corvel {

struct SerialPortEntry {
    QString device;        // the node to open, "/dev/ttyUSB0"
    QString description;   // "USB-Serial Controller"
    QString manufacturer;  // "Prolific Technology Inc."
    QString serialNumber;  // the adapter's own, when it has one
    bool usb = false;      // the port sits on a USB adapter
    bool operator==(const SerialPortEntry&) const = default;
};

// Orders ports for choosing: USB adapters first, then by device name with
// the numbers in it compared as numbers ("ttyS2" before "ttyS10").
void SortForChoosing(QList<SerialPortEntry>& ports);

// "ttyS2" before "ttyS10": texts compared piecewise, runs of digits by value.
bool DeviceNameLess(const QString& a, const QString& b);

class SerialPortList {
public:
    virtual ~SerialPortList() = default;
    // The ports present now, in the order SortForChoosing gives.
    virtual QList<SerialPortEntry> AvailablePorts() const = 0;
};

// The ports Qt Serial Port finds on this machine.
class SystemSerialPortList final : public SerialPortList {
public:
    QList<SerialPortEntry> AvailablePorts() const override;
};

}  // namespace corvel
