#include "links/TCComm.h"

#include <QByteArray>
#include <QSerialPortInfo>

#include "links/ComponentError.h"
#include "links/SerialPortSupport.h"

namespace corvel {

namespace {

QSerialPort::Parity toQt(TParity p) {
    switch (p) {
        case TParity::Odd: return QSerialPort::OddParity;
        case TParity::Even: return QSerialPort::EvenParity;
        case TParity::Mark: return QSerialPort::MarkParity;
        case TParity::Space: return QSerialPort::SpaceParity;
        case TParity::Non: break;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits toQt(TStopBits s) {
    switch (s) {
        case TStopBits::_1_5: return detail::OneAndHalfStopBits();
        case TStopBits::_2: return QSerialPort::TwoStop;
        case TStopBits::_1: break;
    }
    return QSerialPort::OneStop;
}

}  // namespace

int BaudRateValue(TBaudrate rate) {
    static constexpr int kRates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                     19200, 38400, 56000, 57600, 115200, 128000, 256000};
    const auto i = static_cast<std::size_t>(rate);
    return i < std::size(kRates) ? kRates[i] : 9600;
}

TCComm::TCComm(QObject* parent, const PortMap& map)
    : QObject(parent), portMap_(map), port_(new QSerialPort(this)) {
    connect(port_, &QSerialPort::readyRead, this, &TCComm::OnReadyRead);
    connect(port_, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        if (error == QSerialPort::NoError) return;
        QMetaObject::invokeMethod(
            this, [this, error, generation = generation_] { OnPortError(error, generation); },
            Qt::QueuedConnection);
    });
    ListPorts();
}

TCComm::~TCComm() {
    // Nobody is told: the program never destroys an open component, and a
    // handler called from a destructor would find a half-gone owner.
    port_->close();
}

void TCComm::setPortMap(const PortMap& map) {
    portMap_ = map;
    ListPorts();
}

void TCComm::ListPorts() {
    QStringList locations;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports)
#ifdef Q_OS_WIN
        locations.append(info.portName());
#else
        locations.append(info.systemLocation());
#endif
    portNames_ = portMap_.PortNamesFor(locations);
}

void TCComm::Open() {
    if (held_) throw ComponentError((commPort_ + QStringLiteral(" has been opened!")).toStdString());
    const QString failed = QStringLiteral("Failed to open ") + commPort_ + QStringLiteral("!");
    const QString device = portMap_.Resolve(commPort_);
    if (device.isEmpty()) throw ComponentError(failed.toStdString());
    port_->setPortName(device);
    if (!port_->open(QIODevice::ReadWrite)) {
        port_->clearError();
        throw ComponentError(failed.toStdString());
    }
    port_->setReadBufferSize(kInputQueueSize);
    ++generation_;
    held_ = true;
    notifyPending_ = false;
    ApplySettings();
    port_->clear(QSerialPort::AllDirections);
    if (onOpened_) onOpened_(this);
}

void TCComm::Close() {
    if (!held_) return;
    port_->close();
    port_->clearError();
    held_ = false;
    notifyPending_ = false;
    ++generation_;
    if (onClosed_) onClosed_(this);
}

void TCComm::ApplySettings() {
    if (!held_ || !port_->isOpen()) return;
    // Results are not checked; the port keeps what the system accepted.
    port_->setBaudRate(BaudRateValue(baudRate_));
    port_->setStopBits(toQt(stopBits_));
    detail::SetExactParity(*port_, toQt(parity_));
    port_->setDataBits(static_cast<QSerialPort::DataBits>(5 + (static_cast<int>(byteSize_) & 3)));
    port_->setFlowControl(QSerialPort::NoFlowControl);
    port_->setDataTerminalReady(true);
    port_->setRequestToSend(false);
}

void TCComm::SetBaudRate(TBaudrate rate) {
    if (rate == baudRate_) return;
    baudRate_ = rate;
    ApplySettings();
}

void TCComm::SetByteSize(TByteSize size) {
    if (size == byteSize_) return;
    byteSize_ = size;
    ApplySettings();
}

void TCComm::SetParity(TParity parity) {
    if (parity == parity_) return;
    parity_ = parity;
    ApplySettings();
}

void TCComm::SetStopBits(TStopBits bits) {
    if (bits == stopBits_) return;
    stopBits_ = bits;
    ApplySettings();
}

void TCComm::SetCommPort(const QString& port) {
    if (port == commPort_) return;
    commPort_ = port;
    Close();
    Open();
    ApplySettings();
}

void TCComm::OnReadyRead() {
    if (delivering_) {
        // A handler is still busy with the previous chunk; this burst goes
        // once it has returned.
        notifyPending_ = true;
        return;
    }
    NotifyReceive();
}

void TCComm::NotifyReceive() {
    if (delivering_) {
        notifyPending_ = true;
        return;
    }
    QByteArray chunk;
    if (port_->isOpen()) chunk = port_->read(kInputQueueSize);
    // The handler gets a copy of its own; a zero-length chunk still points
    // at a valid, empty block.
    const QByteArray copy(chunk.constData(), chunk.size());
    const quint64 generation = generation_;
    {
        // Cleared however the handler leaves, an exception included, or the
        // component would never deliver again.
        struct Delivering {
            bool& flag;
            explicit Delivering(bool& f) : flag(f) { flag = true; }
            ~Delivering() { flag = false; }
        } delivering(delivering_);
        if (onReceiveData_)
            onReceiveData_(reinterpret_cast<const std::uint8_t*>(copy.constData()),
                           static_cast<std::uint32_t>(copy.size()));
    }
    // Bytes that came while the handler ran raise no new readyRead, so they
    // are fetched here, from the event loop, one chunk at a time.
    if (generation == generation_ && port_->isOpen() && (notifyPending_ || port_->bytesAvailable() > 0)) {
        notifyPending_ = false;
        QMetaObject::invokeMethod(
            this,
            [this, generation] {
                if (generation == generation_ && port_->isOpen() && port_->bytesAvailable() > 0)
                    NotifyReceive();
            },
            Qt::QueuedConnection);
    }
}

void TCComm::OnPortError(QSerialPort::SerialPortError error, quint64 generation) {
    if (generation != generation_ || !port_->isOpen()) return;
    if (!detail::DeviceGone(*port_, error)) {
        port_->clearError();
        return;
    }
    // The device went away: let it go so that it can come back under its
    // old name, but stay open as far as the program knows; Close and Open
    // pick it up again.
    port_->close();
    port_->clearError();
}

}  // namespace corvel
