#include "links/SerialPortSupport.h"

#ifdef Q_OS_UNIX
#include <poll.h>
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

}  // namespace corvel::detail
