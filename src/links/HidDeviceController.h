#pragma once

// The HID device controller: the list of HID interfaces present on the
// machine, their arrivals and removals, claiming devices, and one reader
// thread per reading device that hands every input report to the main
// thread and waits until it has been handled.
//
// Ownership: the controller owns the objects in Devices() until one is
// claimed; ClaimDevice hands the object to the caller, who releases it with
// `delete`. Releasing a claimed device that is still present puts a fresh,
// unclaimed object in its place, so Devices() keeps its length.

#include <QObject>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "links/HidEvent.h"
#include "links/HidPlatform.h"

namespace corvel {

class THidDevice;
class THidDeviceController;
class THidDeviceReadThread;

using THidPlugEvent = HidEvent<void(THidDevice& HidDev)>;
using THidEnumerateEvent = HidEvent<bool(THidDevice& HidDev, std::int32_t Idx)>;
using THidDataEvent =
    HidEvent<void(THidDevice& HidDev, std::uint8_t ReportID, const std::uint8_t* Data, std::uint16_t Size)>;
using THidDataErrorEvent = HidEvent<void(THidDevice& HidDev, std::uint32_t Error)>;
using THidNotifyEvent = HidEvent<void(THidDeviceController& Sender)>;

// Refusals of the controller.
class EControllerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The setup identity of one interface: the path it is opened by and the
// device instance that tells two scans they see the same device.
struct THidPnPInfo {
    std::string InterfacePath;
    std::uint32_t DevInst = 0;
};

// Where the reader and the main thread meet; defined in the .cpp.
struct HidReadChannel;

class THidDevice {
public:
    // For a device in a controller's list this is its release (see above).
    ~THidDevice();
    THidDevice(const THidDevice&) = delete;
    THidDevice& operator=(const THidDevice&) = delete;

    THidDeviceController* Controller() const { return controller_; }
    bool Present() const { return present_; }
    bool Claimed() const { return claimed_; }
    bool BeingOffered() const { return beingOffered_; }
    const THidPnPInfo& SetupInfo() const { return *setupInfo_; }
    const HidAttributes& Attributes() const { return attributes_; }
    // True when the last full open got read and write access.
    bool CanReadWrite() const { return canReadWrite_; }

    // Read when first asked, while the device may be opened; empty until
    // then, or when the device has none.
    std::u16string ProductText();
    std::u16string SerialText();
    // The longest input report with its number byte, read once; 0 unknown.
    int InputReportByteLength();

    std::int32_t ReadWaitTime() const;
    // Accepts 10 to 10000 milliseconds; any other value is ignored.
    void SetReadWaitTime(std::int32_t ms);

    const THidDataEvent& DataHandler() const { return dataHandler_; }
    // None stops the reader; a handler starts one when the device is
    // present, claimed and readable and none runs.
    void SetDataHandler(THidDataEvent handler);
    const THidDataErrorEvent& DataErrorHandler() const { return dataErrorHandler_; }
    void SetDataErrorHandler(THidDataErrorEvent handler) { dataErrorHandler_ = std::move(handler); }
    const THidPlugEvent& UnplugHandler() const { return unplugHandler_; }
    void SetUnplugHandler(THidPlugEvent handler) { unplugHandler_ = std::move(handler); }

    // bytes[0] is the report number. False when the device can't be opened
    // or refuses the report.
    bool SendFeatureReport(const std::uint8_t* bytes, std::size_t length);

    // The device is gone: handles closed, not present any more, the unplug
    // handler told once. A running reader is not stopped here.
    void MarkUnplugged();

    bool Reading() const { return reader_ != nullptr; }

private:
    friend class THidDeviceController;
    friend class THidDeviceReadThread;

    // Opens the interface to identify it; raises EControllerError when it
    // can be neither opened nor identified.
    THidDevice(std::unique_ptr<THidPnPInfo> info, THidDeviceController* controller);

    bool mayOpen() const { return present_ && (claimed_ || beingOffered_); }
    void accessChanged();
    bool OpenQueryHandle();
    void closeQueryHandle() { queryHandle_.reset(); }
    void CloseHandles();
    void StartReading();
    void StopReading();
    // Runs on the main thread for the reader.
    void deliverData(const std::uint8_t* report, std::uint32_t bytesRead);
    void deliverError(std::uint32_t error);

    THidDeviceController* controller_;
    HidPlatform& platform_;
    std::unique_ptr<THidPnPInfo> setupInfo_;
    bool present_ = true;
    bool claimed_ = false;
    bool beingOffered_ = false;
    bool canReadWrite_ = false;
    HidAttributes attributes_;
    std::u16string productText_;
    std::u16string serialText_;
    int inputReportLength_ = -1;  // -1: not fetched yet
    std::unique_ptr<HidHandle> queryHandle_;
    std::shared_ptr<HidReadChannel> channel_;
    THidDataEvent dataHandler_;
    std::shared_ptr<const THidDataEvent> dataCall_;  // what a delivery calls: dataHandler_
    THidDataErrorEvent dataErrorHandler_;
    THidPlugEvent unplugHandler_;
    std::unique_ptr<THidDeviceReadThread> reader_;
};

class THidDeviceController : public QObject {
    Q_OBJECT
public:
    // Raises EControllerError when another controller is alive.
    explicit THidDeviceController(HidPlatform& platform, QObject* owner = nullptr);
    ~THidDeviceController() override;

    static constexpr const char* kVersion = "1.0.22";

    std::int32_t DevThreadSleepTime() const { return devThreadSleepTime_; }
    void SetDevThreadSleepTime(std::int32_t ms);
    std::string Version() const { return kVersion; }
    void SetVersion(const std::string&) {}  // read-only, as published

    const THidPlugEvent& OnArrival() const { return onArrival_; }
    void SetOnArrival(THidPlugEvent h) { onArrival_ = std::move(h); }
    const THidEnumerateEvent& OnEnumerate() const { return onEnumerate_; }
    void SetOnEnumerate(THidEnumerateEvent h) { onEnumerate_ = std::move(h); }
    const THidNotifyEvent& OnDeviceChange() const { return onDeviceChange_; }
    void SetOnDeviceChange(THidNotifyEvent h);
    const THidDataEvent& OnDeviceData() const { return onDeviceData_; }
    void SetOnDeviceData(THidDataEvent h);
    const THidDataErrorEvent& OnDeviceDataError() const { return onDeviceDataError_; }
    void SetOnDeviceDataError(THidDataErrorEvent h);
    const THidPlugEvent& OnDeviceUnplug() const { return onDeviceUnplug_; }
    void SetOnDeviceUnplug(THidPlugEvent h);
    const THidPlugEvent& OnRemoval() const { return onRemoval_; }
    void SetOnRemoval(THidPlugEvent h) { onRemoval_ = std::move(h); }

    // A fresh list of new device objects, one per present interface that
    // can be opened and identified. The caller owns them.
    std::vector<THidDevice*> ScanDevices();
    // Offers each present device to OnEnumerate; the number offered.
    std::int32_t OfferDevices();
    // The device at `index`, now claimed and owned by the caller, or nullptr.
    THidDevice* ClaimDevice(std::int32_t index);
    // Re-scans and reconciles: removals, duplicates, arrivals.
    void DeviceChange();

    const std::vector<THidDevice*>& Devices() const { return devices_; }
    bool ChangeReported() const { return changeReported_; }
    HidPlatform& Platform() { return platform_; }

    static int ControllerCount();

private:
    friend class THidDevice;

    HidPlatform& platform_;
    std::int32_t devThreadSleepTime_ = 100;
    THidPlugEvent onArrival_;
    THidEnumerateEvent onEnumerate_;
    THidNotifyEvent onDeviceChange_;
    THidDataEvent onDeviceData_;
    THidDataErrorEvent onDeviceDataError_;
    THidPlugEvent onDeviceUnplug_;
    THidPlugEvent onRemoval_;
    std::vector<THidDevice*> devices_;
    bool changeReported_ = false;
    bool watching_ = false;
};

}  // namespace corvel
