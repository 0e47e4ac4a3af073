#pragma once

#include <QLocale>
#include <QTime>

#include <string>

namespace corvel {

// Where the log gets the time of day from. The program uses SystemClock;
// tests script the time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QTime LocalTime() const = 0;
};

class SystemClock final : public Clock {
public:
    QTime LocalTime() const override { return QTime::currentTime(); }
};

// The separator the system's locale puts between hours and minutes. It is
// read once, when the log is made; ":" when the locale's format has none.
inline std::string SystemTimeSeparator(const QLocale& locale = QLocale::system()) {
    const QString format = locale.timeFormat(QLocale::ShortFormat);
    qsizetype i = 0;
    while (i < format.size() && format[i] != u'h' && format[i] != u'H') ++i;
    while (i < format.size() && (format[i] == u'h' || format[i] == u'H')) ++i;
    QString separator;
    while (i < format.size() && !format[i].isLetter()) separator += format[i++];
    if (separator.isEmpty() || separator.contains(u'\'')) return ":";
    return separator.toStdString();
}

}  // namespace corvel
