#include "links/SerialPortSupport.h"

#ifdef Q_OS_UNIX
#include <poll.h>
#include <termios.h>
#endif

namespace corvel::detail {

bool DeviceGone(const QSerialPort& port, QSerialPort::SerialPortError error) {
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError) return false;
#ifdef Q_OS_UNIX
    pollfd p{static_cast<int>(port.handle()), POLLIN, 0};
    if (p.fd < 0) return true;
    if (::poll(&p, 1, 0) < 0) return false;
    return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    Q_UNUSED(port);
    return error == QSerialPort::ResourceError;
#endif
}

void SetExactParity(QSerialPort& port, QSerialPort::Parity parity) {
    port.setParity(parity);
#ifdef Q_OS_UNIX
    const int fd = static_cast<int>(port.handle());
    termios t{};
    if (fd < 0 || ::tcgetattr(fd, &t) != 0) return;
    tcflag_t bits = 0;
    switch (parity) {
        case QSerialPort::NoParity: break;
        case QSerialPort::EvenParity: bits = PARENB; break;
        case QSerialPort::OddParity: bits = PARENB | PARODD; break;
#ifdef CMSPAR
        case QSerialPort::SpaceParity: bits = PARENB | CMSPAR; break;
        case QSerialPort::MarkParity: bits = PARENB | CMSPAR | PARODD; break;
#else
        // Without stick parity the line cannot send a constant bit; Qt
        // reports that itself, and the port keeps what it had.
        case QSerialPort::SpaceParity:
        case QSerialPort::MarkParity: return;
#endif
    }
    tcflag_t mask = PARENB | PARODD;
#ifdef CMSPAR
    mask |= CMSPAR;
#endif
    if ((t.c_cflag & mask) == bits) return;
    t.c_cflag = (t.c_cflag & ~mask) | bits;
    ::tcsetattr(fd, TCSANOW, &t);
#endif
}

}  // namespace corvel::detail
