#pragma once

// Real kernel serial devices for the link tests: a pseudo-terminal's slave
// opens with QSerialPort like any serial port, and the test plays the meter
// on the master side.

#include <termios.h>

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

namespace corvel::test {

class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool ok() const { return master_ >= 0 && slave_ >= 0; }
    const QString& path() const { return path_; }

    // Writes everything to the master, letting the event loop run while the
    // line is full so that the reader can drain it. False if it could not
    // get rid of the bytes within a few seconds.
    bool Write(const QByteArray& bytes);
    bool Write(const std::vector<std::uint8_t>& bytes) {
        return Write(QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
    }
    // The device goes away, as a pulled USB adapter does.
    void CloseMaster();
    // The line settings, read through a slave descriptor of the test's own.
    termios Attributes() const;
    // Changes the line behind the reader's back.
    void SetSpeed(speed_t speed);

private:
    int master_ = -1;
    int slave_ = -1;
    QString path_;
};

// Runs the event loop until `done` or the time is up; returns `done()`.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000);
// Runs the event loop for a while.
void SpinFor(int ms);
// Events the application has dispatched so far (a busy loop shows as a
// flood of them).
std::uint64_t EventCount();

}  // namespace corvel::test
