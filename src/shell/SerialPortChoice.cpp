#include "shell/SerialPortChoice.h"

#include <sys/stat.h>

#include <QSettings>
#include <QVariant>

namespace corvel {

bool SerialPortChoice::Readable(const QString& device) {
    // The same rules as a --port value, so that whatever the command line
    // refuses is no remembered device either.
    const auto parsed = ParsePortAssignment(QString::fromLatin1(kComName) + QLatin1Char('=') + device);
    if (!parsed || parsed->device != device) return false;
    // Missing is fine (an adapter unplugged); something that is there but is
    // no device (a folder, a plain file) is not what the user chose.
    struct stat st {};
    const QByteArray path = device.toLocal8Bit();
    if (::stat(path.constData(), &st) != 0) return true;
    return S_ISCHR(st.st_mode);
}

SerialPortChoice::SerialPortChoice(QSettings* settings, const PortMap& ports, bool fixedForThisRun)
    : settings_(settings), ports_(ports), fixed_(fixedForThisRun) {
    if (settings_) {
        // A value the INI reader took for a list ("a,b") or for a typed value
        // ("@ByteArray(...)") is no device path.
        const QVariant value = settings_->value(QString::fromLatin1(kKey));
        if (value.typeId() == QMetaType::QString && Readable(value.toString()))
            remembered_ = value.toString();
    }
    if (!fixed_ && !remembered_.isEmpty()) ports_.Set(QString::fromLatin1(kComName), remembered_);
}

QList<SerialPortChoice::Row> SerialPortChoice::Rows(const QList<SerialPortEntry>& present) const {
    const QString current = Current();
    QList<Row> rows;
    bool listed = false;
    for (const SerialPortEntry& port : present) {
        const bool here = !current.isEmpty() && port.device == current;
        listed = listed || here;
        rows.append({port, here, false});
    }
    if (!current.isEmpty() && !listed) {
        Row absent;
        absent.port.device = current;
        absent.current = true;
        absent.absent = true;
        rows.append(absent);
    }
    return rows;
}

QString SerialPortChoice::SettingsFile() const {
    return settings_ ? settings_->fileName() : QString();
}

bool SerialPortChoice::Choose(const QString& device) {
    if (!fixed_) ports_.Set(QString::fromLatin1(kComName), device.isEmpty() ? DefaultDevice() : device);
    remembered_ = device;
    if (!settings_) return true;
    if (device.isEmpty())
        settings_->remove(QString::fromLatin1(kKey));
    else
        settings_->setValue(QString::fromLatin1(kKey), device);
    settings_->sync();
    // A file that was damaged reads as a format error even once it has been
    // written anew; only an access error means the choice was not kept.
    return settings_->status() != QSettings::AccessError;
}

}  // namespace corvel
