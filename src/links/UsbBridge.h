#pragma once

// The main window's side of the USB link: the HID controller HidCtl with
// the window's handlers on its events, the device list (every present HID
// device, claimed by the window, the bridge selected) and the history of
// arrivals, removals and read errors, and the Read, SetFeature, Clear and
// Info commands. The lists are model state; the window only mirrors them.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "links/HidDeviceController.h"
#include "record/UserPrompts.h"

namespace corvel {

class UsbBridge {
public:
    static constexpr const char* kBridgeProduct = "USB to Serial";
    static constexpr const char* kNoCable =
        "USB interface cable is not securely connected, please check and re-try.";

    // What the commands need from the window: the exclusive group's Read and
    // USB buttons, the frame handler to attach, and a word when the lists
    // changed.
    struct Host {
        std::function<bool()> ReadBtnDown;
        std::function<void()> ReleaseReadBtn;
        std::function<void()> ReleaseUSBCon;
        std::function<void()> Changed;
    };

    // Creates HidCtl on `platform` and applies the layout's values in their
    // order, which lists and claims every present device. `frameHandler` is
    // what Read attaches (the window's HidDataToFrame).
    UsbBridge(HidPlatform& platform, UserPrompts& prompts, Host host, THidDataEvent frameHandler);
    ~UsbBridge();
    UsbBridge(const UsbBridge&) = delete;
    UsbBridge& operator=(const UsbBridge&) = delete;

    THidDeviceController& HidCtl() { return *hidCtl_; }

    // ---- HidCtl's events
    void HidCtlArrival(THidDevice& HidDev);
    void HidCtlRemoval(THidDevice& HidDev);
    bool HidCtlEnumerate(THidDevice& HidDev, std::int32_t Idx);
    void HidCtlDeviceChange(THidDeviceController& Sender);
    void HidCtlDeviceDataError(THidDevice& HidDev, std::uint32_t Error);

    // ---- commands
    void ReadBtnClick();
    void SetFeatureClick();
    void ClearBtnClick();
    void InfoBtnClick();

    std::string DescribeHidDevice(THidDevice& device);
    // What the Info window says about a device.
    std::string InfoText(THidDevice& device);

    // ---- the lists
    struct DevListItem {
        std::string text;
        std::unique_ptr<THidDevice> device;  // none when the claim failed
    };
    const std::vector<DevListItem>& DevListBox() const { return devList_; }
    int DevListSelected() const { return devSelected_; }
    const std::vector<std::string>& HistoryListBox() const { return history_; }
    int HistorySelected() const { return historySelected_; }
    // The device of the selected item, or none.
    THidDevice* SelectedItemDevice() const;

    THidDevice* SelectedDevice = nullptr;

    // The 10-byte feature report that sets the bridge's line to 9600 baud.
    static std::vector<std::uint8_t> FeatureReport();

    // Called at the end of each device change, once the list is rebuilt.
    std::function<void()> afterDeviceChange;
    // Shows the Info window (modal) with a device's description.
    std::function<void(const std::string&)> showInfo;

private:
    void addHistory(std::string line);
    void changed() {
        if (host_.Changed) host_.Changed();
    }

    UserPrompts& prompts_;
    Host host_;
    THidDataEvent frameHandler_;
    std::unique_ptr<THidDeviceController> hidCtl_;
    std::vector<DevListItem> devList_;
    int devSelected_ = -1;
    std::vector<std::string> history_;
    int historySelected_ = -1;
};

// A device's description as the device list shows it: its product string,
// or its vendor and product identifiers, and its serial number if any.
std::string DescribeHidDevice(THidDevice& device);

// The system's message text for an error code, as the history shows it:
// trailing blanks, control characters and full stops removed.
std::string SystemErrorText(std::uint32_t error);

}  // namespace corvel
