#pragma once

// The polled serial driver: opens one of COM1 to COM4, sets its line and,
// while the port is open, reads it on a fixed period from the main thread's
// event loop, handing what arrived to OnReceiveData in chunks of at most
// ComPortInBufSize bytes. It never sends.
//
// Built on QSerialPort, which opens and sets the line. On POSIX systems the
// driver reads the descriptor itself, once a period: QSerialPort would
// otherwise wake the program for every character a slow meter line sends
// (240 a second at 2400 baud), which costs more than all the decoding. Its
// own reader is switched off, and between polls the bytes wait in the
// kernel's queue. Each poll hands over what was waiting when it began, as
// successive chunks, at most kReadAheadLimit bytes a poll, so a flooding
// device cannot keep the event loop in one poll; the rest waits for the
// next one (a pseudo-terminal then blocks its writer, a real line relies on
// the flow control the user chose). Elsewhere QSerialPort fills its own
// buffer, bounded by kReadAheadLimit, and the poll empties it.
//
// A device that disappears while open (a USB adapter pulled out: the kernel
// hangs up the descriptor) is released at once, so that nothing spins on
// the dead descriptor and the system can give the adapter its old node back
// when it returns. The driver stays connected and tries to open the same
// device again about once a second; when it is back, the line is set up as
// before and polling goes on. Disconnect ends the retries.

#include <QObject>
#include <QSerialPort>
#include <cstdint>
#include <functional>
#include <vector>

#include "links/PortMap.h"

class QTimer;

namespace corvel {

enum class TComPortNumber : std::uint8_t { pnCOM1, pnCOM2, pnCOM3, pnCOM4 };
enum class TComPortBaudRate : std::uint8_t {
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200
};
enum class TComPortDataBits : std::uint8_t { db5BITS, db6BITS, db7BITS, db8BITS };
enum class TComPortStopBits : std::uint8_t { sb1BITS, sb1HALFBITS, sb2BITS };
enum class TComPortParity : std::uint8_t { ptNONE, ptODD, ptEVEN, ptMARK, ptSPACE };
enum class TComPortHwHandshaking : std::uint8_t { hhNONE, hhRTSCTS };
enum class TComPortSwHandshaking : std::uint8_t { shNONE, shXONXOFF };

// The baud rate a TComPortBaudRate names (br2400 -> 2400).
int BaudRateValue(TComPortBaudRate rate);

class TCommPortDriver : public QObject {
    Q_OBJECT
public:
    // (sender: the driver, data, size). The bytes are valid only during
    // the call; the handler copies what it keeps.
    using TComPortReceiveDataEvent =
        std::function<void(QObject* sender, const std::uint8_t* data, std::int32_t size)>;

    // The most bytes one poll takes from the device (and, where QSerialPort
    // reads ahead, the most it holds); never less than one receive buffer.
    static constexpr int kReadAheadLimit = 64 * 1024;
    // The shortest polling period the timer runs at; a delay of 0 would
    // otherwise spin the event loop.
    static constexpr int kMinTimerPeriodMs = 10;

    explicit TCommPortDriver(QObject* parent = nullptr);
    ~TCommPortDriver() override;

    // Opens ComPort and starts polling; true when the port is open
    // afterwards. On an open driver returns true without reopening.
    bool Connect();
    // Stops polling and closes the port; nothing when closed.
    void Disconnect();
    // From a successful Connect to Disconnect.
    bool IsConnected() const { return connected_; }
    // Writes the line settings to the open port, purges it.
    void ApplySettings();
    // Discards pending input and/or output of the open port.
    void PurgeBuffers(bool input, bool output);

    TComPortNumber ComPort() const { return comPort_; }
    void SetComPort(TComPortNumber port);  // ignored while open
    TComPortBaudRate ComPortSpeed() const { return speed_; }
    void SetComPortSpeed(TComPortBaudRate speed);
    TComPortDataBits ComPortDataBits() const { return dataBits_; }
    void SetComPortDataBits(TComPortDataBits bits);
    TComPortStopBits ComPortStopBits() const { return stopBits_; }
    void SetComPortStopBits(TComPortStopBits bits);
    TComPortParity ComPortParity() const { return parity_; }
    void SetComPortParity(TComPortParity parity);
    TComPortHwHandshaking ComPortHwHandshaking() const { return hw_; }
    void SetComPortHwHandshaking(TComPortHwHandshaking hw);
    TComPortSwHandshaking ComPortSwHandshaking() const { return sw_; }
    void SetComPortSwHandshaking(TComPortSwHandshaking sw);
    std::uint16_t ComPortInBufSize() const { return inBufSize_; }
    void SetComPortInBufSize(std::uint16_t size);  // ignored while open
    std::uint16_t ComPortOutBufSize() const { return outBufSize_; }
    void SetComPortOutBufSize(std::uint16_t size);  // ignored while open
    std::uint16_t ComPortPollingDelay() const { return pollingDelay_; }
    void SetComPortPollingDelay(std::uint16_t ms);
    bool EnableDTROnOpen() const { return enableDtr_; }
    void SetEnableDTROnOpen(bool enable) { enableDtr_ = enable; }
    std::uint16_t OutputTimeout() const { return outputTimeout_; }
    void SetOutputTimeout(std::uint16_t ms) { outputTimeout_ = ms; }
    const TComPortReceiveDataEvent& OnReceiveData() const { return onReceiveData_; }
    void SetOnReceiveData(TComPortReceiveDataEvent handler) { onReceiveData_ = std::move(handler); }

    // Where the COM names lead on this machine.
    const PortMap& portMap() const { return portMap_; }
    void setPortMap(const PortMap& map) { portMap_ = map; }

    // The device the last Connect opened; empty when closed.
    const QString& openDevice() const { return openDevice_; }
    // Why the last Connect failed, for the user: the COM name, the device
    // it maps to and the system's reason ("COM1 (/dev/ttyUSB0): Permission
    // denied"). Empty after a successful Connect.
    const QString& connectFailure() const { return connectFailure_; }
    // True while the device of a connected driver has gone and the driver
    // waits for it to come back.
    bool awaitingDevice() const;
    // How often a vanished device is looked for.
    static constexpr int kReopenPeriodMs = 1000;

private:
    void PollTimerProc();
    void Poll();
    void OnPortError(QSerialPort::SerialPortError error, quint64 generation);
    void DeliverBuffered(std::vector<std::uint8_t>& buffer);
    // Switches QSerialPort's own reader off where the driver reads the
    // descriptor itself.
    void SilenceReadAhead();
    // Lets go of a device that has gone, staying connected, and starts
    // looking for it.
    void ReleaseVanishedDevice();
    // One attempt to open the vanished device again.
    void Reopen();
    // Opens `device` and sets it up for polling; false if it cannot be
    // opened, with the system's reason in `reason`.
    bool OpenDevice(const QString& device, QString* reason);

    TComPortNumber comPort_ = TComPortNumber::pnCOM2;
    TComPortBaudRate speed_ = TComPortBaudRate::br9600;
    TComPortDataBits dataBits_ = TComPortDataBits::db8BITS;
    TComPortStopBits stopBits_ = TComPortStopBits::sb1BITS;
    TComPortParity parity_ = TComPortParity::ptNONE;
    TComPortHwHandshaking hw_ = TComPortHwHandshaking::hhNONE;
    TComPortSwHandshaking sw_ = TComPortSwHandshaking::shNONE;
    std::uint16_t inBufSize_ = 2048;
    std::uint16_t outBufSize_ = 2048;
    std::uint16_t pollingDelay_ = 50;
    bool enableDtr_ = true;
    std::uint16_t outputTimeout_ = 4000;
    TComPortReceiveDataEvent onReceiveData_;

    PortMap portMap_;
    QSerialPort* port_;
    QTimer* pollTimer_;
    QTimer* reopenTimer_;
    bool connected_ = false;
    // Counts opens, so that an error reported for an earlier open cannot
    // close the device of a later one.
    quint64 generation_ = 0;
    int deliveryDepth_ = 0;
    QString openDevice_;
    QString connectFailure_;
    std::vector<std::uint8_t> receiveBuffer_;
};

}  // namespace corvel
