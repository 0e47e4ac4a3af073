#include "links/PortMap.h"

#include <algorithm>

namespace corvel {

namespace {
constexpr int kMaxComNumber = 256;
}

PortMap::PortMap() {
#ifndef Q_OS_WIN
    for (int n = 1; n <= 4; ++n) devices_.insert(n, QStringLiteral("/dev/ttyS%1").arg(n - 1));
#endif
}

int PortMap::ComNumber(const QString& name) {
    if (name.size() < 4 || name.size() > 6) return 0;
    if (name.left(3).compare(QLatin1String("COM"), Qt::CaseInsensitive) != 0) return 0;
    const QString digits = name.mid(3);
    // No sign, no leading zero, digits only: "COM01" or "COM+1" are typing
    // mistakes, not other spellings of COM1.
    if (digits.front() == QLatin1Char('0')) return 0;
    int n = 0;
    for (QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return 0;
        n = n * 10 + (c.unicode() - '0');
    }
    return n <= kMaxComNumber ? n : 0;
}

bool PortMap::IsComName(const QString& name) {
    return ComNumber(name) != 0;
}

bool PortMap::Set(const QString& comName, const QString& device) {
    const int n = ComNumber(comName);
    if (n == 0) return false;
    if (device.isEmpty())
        devices_.remove(n);
    else
        devices_.insert(n, device);
    return true;
}

QString PortMap::Resolve(const QString& name) const {
    if (name.isEmpty()) return {};
#ifdef Q_OS_WIN
    return name;
#else
    if (const int n = ComNumber(name)) return devices_.value(n);
    // A misspelt COM name ("COM0", "COM01") is no port at all rather than a
    // device of that name under /dev.
    if (name.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) return {};
    if (name.startsWith(QLatin1Char('/'))) return name;
    return QStringLiteral("/dev/") + name;
#endif
}

QString PortMap::ComNameFor(const QString& device) const {
    for (auto it = devices_.cbegin(); it != devices_.cend(); ++it)
        if (it.value() == device) return QStringLiteral("COM%1").arg(it.key());
    return {};
}

QStringList PortMap::PortNamesFor(const QStringList& deviceLocations) const {
    QStringList names;
    for (const QString& location : deviceLocations) {
        const QString com = ComNameFor(location);
        const QString name = com.isEmpty() ? location : com;
        if (!names.contains(name)) names.append(name);
    }
    names.sort(Qt::CaseInsensitive);
    return names;
}

std::optional<PortAssignment> ParsePortAssignment(const QString& text, QString* error) {
    auto fail = [error](const QString& message) -> std::optional<PortAssignment> {
        if (error) *error = message;
        return std::nullopt;
    };
    const qsizetype eq = text.indexOf(QLatin1Char('='));
    if (eq < 0)
        return fail(
            QStringLiteral("port \"%1\": expected COMn=DEVICE, for example COM1=/dev/ttyUSB0").arg(text));
    const QString name = text.left(eq).trimmed();
    const QString device = text.mid(eq + 1).trimmed();
    const int n = PortMap::ComNumber(name);
    if (n == 0)
        return fail(QStringLiteral("port \"%1\": \"%2\" is not a port name; use COM1 to COM%3")
                        .arg(text, name)
                        .arg(kMaxComNumber));
    if (device.isEmpty())
        return fail(QStringLiteral("port \"%1\": no device given for COM%2").arg(text).arg(n));
    if (!device.startsWith(QLatin1Char('/')))
        return fail(QStringLiteral(
                        "port \"%1\": the device must be an absolute path such as /dev/ttyUSB0, not \"%2\"")
                        .arg(text, device));
    if (device.contains(QLatin1Char('=')) || std::any_of(device.cbegin(), device.cend(), [](QChar c) {
            return c.isSpace() || c.unicode() < 0x20;
        }))
        return fail(QStringLiteral("port \"%1\": \"%2\" is not a device path").arg(text, device));
    return PortAssignment{QStringLiteral("COM%1").arg(n), device};
}

}  // namespace corvel
