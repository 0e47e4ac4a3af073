#include "links/SerialPortList.h"

#include <QSerialPortInfo>
#include <algorithm>

namespace corvel {

namespace {

// The length of the run of digits starting at `i`.
qsizetype DigitRun(const QString& s, qsizetype i) {
    qsizetype n = 0;
    while (i + n < s.size() && s[i + n].isDigit()) ++n;
    return n;
}

}  // namespace

bool DeviceNameLess(const QString& a, const QString& b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const qsizetype da = DigitRun(a, i), db = DigitRun(b, j);
        if (da > 0 && db > 0) {
            // Compare the numbers without converting them, so that any
            // length of digits works: leading zeros off, then the longer
            // run is the bigger number, then digit by digit.
            qsizetype za = 0, zb = 0;
            while (za < da - 1 && a[i + za] == QLatin1Char('0')) ++za;
            while (zb < db - 1 && b[j + zb] == QLatin1Char('0')) ++zb;
            const QStringView na = QStringView(a).mid(i + za, da - za);
            const QStringView nb = QStringView(b).mid(j + zb, db - zb);
            if (na.size() != nb.size()) return na.size() < nb.size();
            if (const int c = na.compare(nb); c != 0) return c < 0;
            i += da;
            j += db;
            continue;
        }
        if (a[i] != b[j]) return a[i] < b[j];
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j)) return (a.size() - i) < (b.size() - j);
    return a < b;  // same up to leading zeros: any fixed order will do
}

void SortForChoosing(QList<SerialPortEntry>& ports) {
    std::stable_sort(ports.begin(), ports.end(), [](const SerialPortEntry& x, const SerialPortEntry& y) {
        if (x.usb != y.usb) return x.usb;
        return DeviceNameLess(x.device, y.device);
    });
}

QList<SerialPortEntry> SystemSerialPortList::AvailablePorts() const {
    QList<SerialPortEntry> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        SerialPortEntry e;
        e.device = info.systemLocation();
        e.description = info.description();
        e.manufacturer = info.manufacturer();
        e.serialNumber = info.serialNumber();
        // Qt knows the vendor of a port only from its USB descriptor.
        e.usb = info.hasVendorIdentifier();
        ports.append(e);
    }
    SortForChoosing(ports);
    return ports;
}

}  // namespace corvel
