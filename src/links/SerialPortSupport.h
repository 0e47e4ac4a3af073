#pragma once

// What the two serial links share about QSerialPort.

#include <QSerialPort>

namespace corvel::detail {

// One and a half stop bits: Windows has them; POSIX lines know one or two,
// and a UART asked for two on a 5-bit word sends one and a half, which is
// what the setting is for.
constexpr QSerialPort::StopBits OneAndHalfStopBits() {
#ifdef Q_OS_WIN
    return QSerialPort::OneAndHalfStop;
#else
    return QSerialPort::TwoStop;
#endif
}

// True when the device behind an open port has gone: the kernel hangs up a
// descriptor whose USB adapter was pulled or whose pseudo-terminal master
// was closed, and Qt then reports read errors (with whatever errno was
// left over) for as long as the port stays open. Other errors, such as a
// pseudo-terminal refusing modem-line calls, are no reason to let go.
bool DeviceGone(const QSerialPort& port, QSerialPort::SerialPortError error);

// Puts exactly `parity` on an open port's line. Qt sets the stick-parity
// flag for Mark and Space but leaves it set when the parity changes to
// None, Even or Odd; a real UART then sends Space or Mark where Even or Odd
// was asked for, and the device keeps the flag across close and open. So
// the parity bits are written whole here, every time.
void SetExactParity(QSerialPort& port, QSerialPort::Parity parity);

}  // namespace corvel::detail
