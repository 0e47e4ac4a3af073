#pragma once

// A test double for the machine's serial port list. Qt Serial Port does not
// enumerate pseudo-terminals, so this list names the ones a test made, each
// described as the system describes an adapter. Like the system's list it
// leaves out a device whose node has gone.

#include <QFileInfo>

#include "links/SerialPortList.h"

namespace corvel::test {

class FakePtySerialPorts final : public SerialPortList {
public:
    QList<SerialPortEntry> ports;

    void Add(const QString& device, const QString& description, bool usb = false,
             const QString& manufacturer = {}, const QString& serialNumber = {}) {
        ports.append({device, description, manufacturer, serialNumber, usb});
    }

    QList<SerialPortEntry> AvailablePorts() const override {
        QList<SerialPortEntry> present;
        for (const SerialPortEntry& p : ports)
            if (QFileInfo::exists(p.device)) present.append(p);
        SortForChoosing(present);
        return present;
    }
};

}  // namespace corvel::test
