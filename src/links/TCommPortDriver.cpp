#include "links/TCommPortDriver.h"

#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>

#include "links/SerialPortSupport.h"

#ifdef Q_OS_UNIX
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace corvel {

namespace {

QSerialPort::Parity toQt(TComPortParity p) {
    switch (p) {
        case TComPortParity::ptODD: return QSerialPort::OddParity;
        case TComPortParity::ptEVEN: return QSerialPort::EvenParity;
        case TComPortParity::ptMARK: return QSerialPort::MarkParity;
        case TComPortParity::ptSPACE: return QSerialPort::SpaceParity;
        case TComPortParity::ptNONE: break;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits toQt(TComPortStopBits s) {
    switch (s) {
        case TComPortStopBits::sb1HALFBITS: return detail::OneAndHalfStopBits();
        case TComPortStopBits::sb2BITS: return QSerialPort::TwoStop;
        case TComPortStopBits::sb1BITS: break;
    }
    return QSerialPort::OneStop;
}

}  // namespace

int BaudRateValue(TComPortBaudRate rate) {
    static constexpr int kRates[] = {110,   300,   600,   1200,  2400,  4800,  9600,
                                     14400, 19200, 38400, 56000, 57600, 115200};
    const auto i = static_cast<std::size_t>(rate);
    return i < std::size(kRates) ? kRates[i] : 9600;
}

TCommPortDriver::TCommPortDriver(QObject* parent)
    : QObject(parent),
      port_(new QSerialPort(this)),
      pollTimer_(new QTimer(this)),
      reopenTimer_(new QTimer(this)),
      receiveBuffer_(inBufSize_) {
    connect(pollTimer_, &QTimer::timeout, this, &TCommPortDriver::PollTimerProc);
    reopenTimer_->setInterval(kReopenPeriodMs);
    connect(reopenTimer_, &QTimer::timeout, this, &TCommPortDriver::Reopen);
    // The error is acted on from the event loop, not inside QSerialPort's
    // own read path that reported it.
    connect(port_, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        if (error == QSerialPort::NoError) return;
        QMetaObject::invokeMethod(
            this, [this, error, generation = generation_] { OnPortError(error, generation); },
            Qt::QueuedConnection);
    });
}

TCommPortDriver::~TCommPortDriver() {
    Disconnect();
}

bool TCommPortDriver::Connect() {
    if (IsConnected()) return true;
    const QString name = QStringLiteral("COM%1").arg(static_cast<int>(comPort_) + 1);
    const QString device = portMap_.Resolve(name);
    if (device.isEmpty()) {
        connectFailure_ = name + QStringLiteral(": no device is assigned to this name");
        return false;
    }
    QString reason;
    if (!OpenDevice(device, &reason)) {
        connectFailure_ = QStringLiteral("%1 (%2): %3").arg(name, device, reason);
        return false;
    }
    connectFailure_.clear();
    connected_ = true;
    openDevice_ = device;
    ApplySettings();
    pollTimer_->start(std::max<int>(pollingDelay_, kMinTimerPeriodMs));
    return true;
}

bool TCommPortDriver::OpenDevice(const QString& device, QString* reason) {
    port_->setPortName(device);
    if (!port_->open(QIODevice::ReadWrite)) {
        *reason = port_->errorString();
        port_->clearError();
        return false;
    }
    ++generation_;
    port_->setReadBufferSize(std::max<qint64>(kReadAheadLimit, inBufSize_));
    SilenceReadAhead();
    return true;
}

void TCommPortDriver::Disconnect() {
    if (!IsConnected()) return;
    reopenTimer_->stop();
    pollTimer_->stop();
    port_->close();
    port_->clearError();
    connected_ = false;
    openDevice_.clear();
    ++generation_;
}

void TCommPortDriver::ApplySettings() {
    if (!IsConnected() || !port_->isOpen()) return;
    // Nothing here is checked: the port keeps whatever the system accepted.
    port_->setBaudRate(BaudRateValue(speed_));
    port_->setDataBits(static_cast<QSerialPort::DataBits>(5 + static_cast<int>(dataBits_)));
    detail::SetExactParity(*port_, toQt(parity_));
    port_->setStopBits(toQt(stopBits_));
    const bool rtsCts = hw_ == TComPortHwHandshaking::hhRTSCTS;
    const bool xonXoff = sw_ == TComPortSwHandshaking::shXONXOFF;
    port_->setFlowControl(rtsCts    ? QSerialPort::HardwareControl
                          : xonXoff ? QSerialPort::SoftwareControl
                                    : QSerialPort::NoFlowControl);
#ifdef Q_OS_UNIX
    // QSerialPort offers one kind of flow control at a time; the line can
    // have both.
    if (rtsCts && xonXoff) {
        termios t{};
        const int fd = static_cast<int>(port_->handle());
        if (::tcgetattr(fd, &t) == 0) {
            t.c_iflag |= IXON | IXOFF;
            ::tcsetattr(fd, TCSANOW, &t);
        }
    }
#endif
    port_->setDataTerminalReady(enableDtr_);
    // With RTS/CTS the driver owns RTS; otherwise it stays low.
    if (!rtsCts) port_->setRequestToSend(false);
    PurgeBuffers(true, true);
    // The system's input queue cannot be sized here; the bounded read-ahead
    // (set at Connect) plays its part. The output queue has no user.
}

void TCommPortDriver::PurgeBuffers(bool input, bool output) {
    if (!IsConnected() || !port_->isOpen()) return;
    QSerialPort::Directions d;
    if (input) d |= QSerialPort::Input;
    if (output) d |= QSerialPort::Output;
    if (d) port_->clear(d);
}

void TCommPortDriver::SetComPort(TComPortNumber port) {
    if (!IsConnected()) comPort_ = port;
}

void TCommPortDriver::SetComPortSpeed(TComPortBaudRate speed) {
    speed_ = speed;
    ApplySettings();
}

void TCommPortDriver::SetComPortDataBits(TComPortDataBits bits) {
    dataBits_ = bits;
    ApplySettings();
}

void TCommPortDriver::SetComPortStopBits(TComPortStopBits bits) {
    stopBits_ = bits;
    ApplySettings();
}

void TCommPortDriver::SetComPortParity(TComPortParity parity) {
    parity_ = parity;
    ApplySettings();
}

void TCommPortDriver::SetComPortHwHandshaking(TComPortHwHandshaking hw) {
    hw_ = hw;
    ApplySettings();
}

void TCommPortDriver::SetComPortSwHandshaking(TComPortSwHandshaking sw) {
    sw_ = sw;
    ApplySettings();
}

void TCommPortDriver::SetComPortInBufSize(std::uint16_t size) {
    if (IsConnected()) return;
    inBufSize_ = size;
    // A handler that disconnects and resizes from inside its own call still
    // holds a pointer into the buffer; the poll resizes it once that call
    // has returned.
    if (deliveryDepth_ == 0) receiveBuffer_.assign(inBufSize_, 0);
}

void TCommPortDriver::SetComPortOutBufSize(std::uint16_t size) {
    if (!IsConnected()) outBufSize_ = size;
}

void TCommPortDriver::SetComPortPollingDelay(std::uint16_t ms) {
    if (ms == pollingDelay_) return;
    if (IsConnected() && !awaitingDevice()) {
        pollTimer_->stop();
        pollingDelay_ = ms;
        pollTimer_->start(std::max<int>(pollingDelay_, kMinTimerPeriodMs));
    } else {
        pollingDelay_ = ms;
    }
}

void TCommPortDriver::PollTimerProc() {
    if (!IsConnected() || !port_->isOpen()) return;
    // Qt does not fire a timer again while its timeout is still being
    // handled, so a handler that opens a modal box would stop the polling
    // until it returned. Armed anew, the timer is a fresh one that fires
    // inside that box's loop too. The chunk is handed over right here; a
    // call queued for it cost an extra turn of the event loop every poll.
    pollTimer_->start();
    Poll();
}

void TCommPortDriver::Poll() {
    if (!IsConnected() || !port_->isOpen()) return;
    if (deliveryDepth_ == 0) {
        receiveBuffer_.resize(inBufSize_);
        DeliverBuffered(receiveBuffer_);
    } else {
        // A handler is still running (a modal box inside it keeps the event
        // loop going): its bytes sit in the receive buffer, so this poll
        // reads into a buffer of its own.
        std::vector<std::uint8_t> nested(inBufSize_);
        DeliverBuffered(nested);
    }
}

void TCommPortDriver::DeliverBuffered(std::vector<std::uint8_t>& buffer) {
    if (buffer.empty()) return;
    const quint64 generation = generation_;
    // Counted down however the handler leaves, an exception included.
    struct Depth {
        int& depth;
        explicit Depth(int& d) : depth(++d) {}
        ~Depth() { --depth; }
    } depth(deliveryDepth_);
    const auto live = [&] { return generation == generation_ && port_->isOpen(); };
    const auto hand = [&](qint64 n) {
        if (onReceiveData_) onReceiveData_(this, buffer.data(), static_cast<std::int32_t>(n));
    };

    // What QSerialPort holds comes first: everything where it reads ahead,
    // else what it took in before its reader was switched off. Only what
    // was waiting when the poll began; later bytes go with the next poll.
    qint64 budget = port_->bytesAvailable();
    while (budget > 0 && live()) {
        const qint64 n = port_->read(reinterpret_cast<char*>(buffer.data()),
                                     std::min<qint64>(budget, qint64(buffer.size())));
        if (n <= 0) break;
        budget -= n;
        hand(n);
    }

#ifdef Q_OS_UNIX
    if (!live()) return;
    SilenceReadAhead();
    const int fd = static_cast<int>(port_->handle());
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0) return;  // nothing waiting (or a signal): the next tick tries again
    if (p.revents & POLLIN) {
        // Whole buffers until a read comes back short: a meter's frames fit
        // one buffer, so one read a poll. A device that streams faster than
        // it is read gives at most the read-ahead limit a poll; the rest
        // goes with the next.
        qint64 left = kReadAheadLimit;
        while (left > 0 && live()) {
            const qint64 want = std::min<qint64>(left, qint64(buffer.size()));
            const ssize_t n = ::read(fd, buffer.data(), static_cast<std::size_t>(want));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;  // failed and empty reads are dropped silently
            left -= n;
            hand(n);
            if (n < want) break;
        }
    }
    if ((p.revents & (POLLHUP | POLLERR | POLLNVAL)) && live()) ReleaseVanishedDevice();
#endif
}

void TCommPortDriver::SilenceReadAhead() {
#ifdef Q_OS_UNIX
    // QSerialPort's reader is a socket notifier it owns; without it the
    // event loop no longer watches the descriptor.
    for (QSocketNotifier* n : port_->findChildren<QSocketNotifier*>(Qt::FindDirectChildrenOnly)) {
        if (n->type() == QSocketNotifier::Read && n->isEnabled()) n->setEnabled(false);
    }
#endif
}

void TCommPortDriver::ReleaseVanishedDevice() {
    port_->close();
    port_->clearError();
    // Nothing to poll until the device is back; the search wakes the
    // program once a second, not once a poll.
    pollTimer_->stop();
    reopenTimer_->start();
}

bool TCommPortDriver::awaitingDevice() const {
    return reopenTimer_->isActive();
}

void TCommPortDriver::Reopen() {
    if (!IsConnected() || port_->isOpen()) {
        reopenTimer_->stop();
        return;
    }
    QString reason;
    if (!OpenDevice(openDevice_, &reason)) return;  // not back yet
    reopenTimer_->stop();
    ApplySettings();
    pollTimer_->start(std::max<int>(pollingDelay_, kMinTimerPeriodMs));
}

void TCommPortDriver::OnPortError(QSerialPort::SerialPortError error, quint64 generation) {
    if (generation != generation_ || !port_->isOpen()) return;
    if (!detail::DeviceGone(*port_, error)) {
        port_->clearError();
        return;
    }
    // Let the device go but stay connected until it is back.
    ReleaseVanishedDevice();
}

}  // namespace corvel
