#pragma once

#include <QLocale>
#include <QTime>
#include <algorithm>
#include <chrono>
#include <ctime>
#include <string>

namespace corvel {

// Where the log gets the time of day from. The program uses SystemClock;
// tests script the time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QTime LocalTime() const = 0;
};

// The system's local time. Turning the system time into local time reads
// the time-zone rules, which costs far more than logging a row, so it is
// done once for each new second; within a second the answer is the same.
class SystemClock final : public Clock {
public:
    QTime LocalTime() const override {
        const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
        if (now != second_ || !time_.isValid()) {
            std::tm local{};
            if (localtime_r(&now, &local))
                time_ = QTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59));
            second_ = now;
        }
        return time_;
    }

private:
    mutable std::time_t second_ = 0;
    mutable QTime time_;
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
