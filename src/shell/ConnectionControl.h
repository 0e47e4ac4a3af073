#pragma once

#include <functional>

#include "decode/FrameAssembly.h"
#include "decode/LcdMirror.h"
#include "links/HidDeviceController.h"
#include "links/TCommPortDriver.h"
#include "record/UserPrompts.h"

namespace corvel {

class UsbBridge;

// A menu item's two states the connection control sets.
struct MenuItemState {
    bool checked = false;
    bool enabled = true;
    bool operator==(const MenuItemState&) const = default;
};

// The window's control of the meter links: the serial link's start and stop
// with its port cycle, the USB toggle, the exclusive button group they share,
// and the 100 ms link watch. It holds the controls' states; the window shows
// them and forwards the clicks.
class ConnectionControl {
public:
    ConnectionControl(TCommPortDriver& comm2, LcdMirror& mirror, FrameAssembly& frames, UserPrompts& prompts)
        : comm2_(comm2), mirror_(mirror), frames_(frames), prompts_(prompts) {}

    // Serial link.
    void BTCon1Click();
    void BtDiscon1Click();
    // The "COM Connect" toggle, after its down state has changed.
    void COMConClick();
    // Port cycle: each handler belongs to the panel now showing.
    void COM21Click() { cyclePort(0); }
    void COM31Click() { cyclePort(1); }
    void COM41Click() { cyclePort(2); }
    void COM11Click() { cyclePort(3); }

    // "USB Connect", after its down state has changed.
    void USBConClick();
    // The link watch.
    void ConTimerTimer();

    // The exclusive group of USBCon, COMCon and ReadBtn: putting one down
    // releases the others without running their handlers.
    enum class GroupButton { USBCon, COMCon, ReadBtn };
    void SetDown(GroupButton button, bool down);
    bool IsDown(GroupButton button) const { return down_[static_cast<int>(button)]; }

    MenuItemState START1{false, true};
    MenuItemState STOP1{false, false};
    bool BTConVisible = true;
    bool BtDisconVisible = false;
    bool PortPanelsEnabled = true;
    int VisiblePort = 0;  // 0..3: which of BtCOM1..BtCOM4 shows

    // Tells the window to show the new states.
    std::function<void()> onChanged;

    // ---- USB link
    // The bridge handling USBConClick drives, the frame handler it attaches
    // and whether the profile reads frames from USB at all (IFBirch or
    // IFAlder checked).
    void AttachUsb(UsbBridge& usb, THidDataEvent frameHandler, bool profileReadsUsb);
    // After a device change rebuilt the list: keeps the user's choice to be
    // connected on the bridge selected again; lets go silently when that
    // bridge cannot be read, and with a message when none is left.
    void UsbDevicesRebuilt();
    static constexpr const char* kMeterSilent =
        "USB interface cable is securely connected, please check if the meter is ready.";
    // Runs a message box after the current handler returned (the window
    // queues it on its event loop), so that the link watch keeps ticking
    // while the box is open. Without it the box shows at once.
    std::function<void(std::function<void()>)> defer;

private:
    void serialStart();
    void serialStop();
    void cyclePort(int from);
    void changed() {
        if (onChanged) onChanged();
    }

    TCommPortDriver& comm2_;
    LcdMirror& mirror_;
    FrameAssembly& frames_;
    UserPrompts& prompts_;
    bool down_[3] = {false, false, false};
    void later(std::function<void()> f) {
        if (defer) {
            defer(std::move(f));
        } else {
            f();
        }
    }
    UsbBridge* usb_ = nullptr;
    THidDataEvent frameHandler_;
    bool profileReadsUsb_ = false;
};

}  // namespace corvel
