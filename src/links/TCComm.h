#pragma once

// The event-driven serial component: opens a port by name, sets its line,
// and hands every burst of received bytes to OnReceiveData as soon as it
// arrives, one chunk at a time, on the main thread.
//
// The classic shape of such a component is a reading thread that only
// waits for the port's "character received" event and then has the main
// thread read and deliver. Qt's QSerialPort already turns that event into
// readyRead on the main thread's event loop, which gives the same things
// the thread was there for: delivery on the main thread, a burst read as
// soon as its first byte is seen, everything waiting read at once, and one
// chunk in flight at a time (a handler that runs a nested event loop does
// not get a second chunk until it returns). So there is no thread here, and
// no read-interval timeout either: the reads never block, so there is
// nothing for such a timeout to cut short.
//
// A device that disappears while open is let go at once (see the polled
// driver); the component stays Connected, so Open raises " has been
// opened!" until Close, after which Open finds the device again.
//
// What used to be process-wide (the port, the notification plumbing) is per
// instance; the program has one.

#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "links/PortMap.h"

namespace corvel {

enum class TBaudrate : std::uint8_t {
    CBR_110,
    CBR_300,
    CBR_600,
    CBR_1200,
    CBR_2400,
    CBR_4800,
    CBR_9600,
    CBR_14400,
    CBR_19200,
    CBR_38400,
    CBR_56000,
    CBR_57600,
    CBR_115200,
    CBR_128000,
    CBR_256000
};
enum class TByteSize : std::uint8_t { _5, _6, _7, _8 };
enum class TParity : std::uint8_t { Non, Odd, Even, Mark, Space };
enum class TStopBits : std::uint8_t { _1, _1_5, _2 };

// The rate a TBaudrate names; a value outside the enumeration gives 9600.
int BaudRateValue(TBaudrate rate);

class TCComm : public QObject {
    Q_OBJECT
public:
    // (buffer, length): a copy made for this call, freed when it returns.
    using TReceiveDataEvent = std::function<void(const std::uint8_t* buffer, std::uint32_t length)>;
    using TNotifyEvent = std::function<void(QObject* sender)>;

    // The most one delivery carries: the size of the port's input queue.
    static constexpr int kInputQueueSize = 5120;

    // Lists the present ports (PortNames) through `map`.
    explicit TCComm(QObject* parent = nullptr, const PortMap& map = PortMap());
    // Releases a port that is still held, without Close and without
    // OnClosed.
    ~TCComm() override;

    // Opens CommPort. Throws ComponentError with CommPort + " has been
    // opened!" when a port is held already, and "Failed to open " +
    // CommPort + "!" when the port is missing or busy (nothing is held
    // afterwards, so a later Open tries again).
    void Open();
    // Releases the port and calls OnClosed; nothing when no port is held.
    void Close();
    // Writes BaudRate, ByteSize, Parity, StopBits to the held port, with DTR
    // raised, RTS low and no flow control.
    void ApplySettings();

    // From a successful Open to Close.
    bool Connected() const { return held_; }

    TBaudrate BaudRate() const { return baudRate_; }
    void SetBaudRate(TBaudrate rate);
    const QString& CommPort() const { return commPort_; }
    // A different name closes the component and opens it on the new port;
    // an exception from that Open reaches the caller.
    void SetCommPort(const QString& port);
    TByteSize ByteSize() const { return byteSize_; }
    void SetByteSize(TByteSize size);
    TParity Parity() const { return parity_; }
    void SetParity(TParity parity);
    TStopBits StopBits() const { return stopBits_; }
    void SetStopBits(TStopBits bits);

    // Names of the serial ports present when the component was created (or
    // its map last set), sorted; see PortMap for what the names are on Linux.
    const QStringList& PortNames() const { return portNames_; }

    const TReceiveDataEvent& OnReceiveData() const { return onReceiveData_; }
    void SetOnReceiveData(TReceiveDataEvent handler) { onReceiveData_ = std::move(handler); }
    const TNotifyEvent& OnOpened() const { return onOpened_; }
    void SetOnOpened(TNotifyEvent handler) { onOpened_ = std::move(handler); }
    const TNotifyEvent& OnClosed() const { return onClosed_; }
    void SetOnClosed(TNotifyEvent handler) { onClosed_ = std::move(handler); }

    const PortMap& portMap() const { return portMap_; }
    // Takes a new map and lists the present ports again through it.
    void setPortMap(const PortMap& map);

    // The data-ready notification: reads everything waiting (up to one
    // input queue) and hands it to OnReceiveData, even when nothing is
    // waiting, which gives a count of 0. The port's readyRead leads here;
    // it is public so that the program and its tests can poke it.
    void NotifyReceive();

private:
    void OnReadyRead();
    void OnPortError(QSerialPort::SerialPortError error, quint64 generation);
    void ListPorts();

    TBaudrate baudRate_ = TBaudrate::CBR_9600;
    QString commPort_ = QStringLiteral("COM1");
    QStringList portNames_;
    TByteSize byteSize_ = TByteSize::_8;
    TParity parity_ = TParity::Non;
    TStopBits stopBits_ = TStopBits::_1;
    TReceiveDataEvent onReceiveData_;
    TNotifyEvent onOpened_;
    TNotifyEvent onClosed_;

    PortMap portMap_;
    QSerialPort* port_;
    bool held_ = false;
    bool delivering_ = false;
    bool notifyPending_ = false;
    quint64 generation_ = 0;
};

}  // namespace corvel
