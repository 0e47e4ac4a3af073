#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace corvel {

// The simulated meter of --demo: corvel-meter-sim on a pseudo-terminal,
// started beside the program and stopped with it.
class DemoMeter {
public:
    DemoMeter() = default;
    ~DemoMeter();
    DemoMeter(const DemoMeter&) = delete;
    DemoMeter& operator=(const DemoMeter&) = delete;

    // Starts the simulator and waits for the terminal it opened. On
    // failure returns false and says why in `error`.
    bool Start(const QString& program, QString* error);
    // The terminal's device path, once started.
    const QString& Device() const { return device_; }

    // Where the simulator lives: beside this program, else in the folder of
    // helper programs it was installed with, else on PATH.
    static QString FindSimulator();
    // The first of `folders` holding an executable simulator, else PATH's.
    static QString FindSimulator(const QStringList& folders);

private:
    QProcess process_;
    QString device_;
};

}  // namespace corvel
