#include "shell/ConnectionControl.h"

#include "links/UsbBridge.h"

namespace corvel {

void ConnectionControl::serialStart() {
    const MenuItemState start1Before = START1, stop1Before = STOP1;
    START1.checked = true;
    START1.enabled = false;
    STOP1.enabled = true;
    STOP1.checked = false;
    // ---- a port that cannot be opened
    // Showing the started state would leave the user waiting for data that
    // never comes: the controls go back to the stopped state they were in,
    // and a message says which port failed and why.
    if (!comm2_.Connect()) {
        START1 = start1Before;
        STOP1 = stop1Before;
        down_[static_cast<int>(GroupButton::COMCon)] = false;
        changed();
        prompts_.Message(UserPrompts::Kind::Error, comm2_.connectFailure().toStdString());
        return;
    }
    BTConVisible = false;
    BtDisconVisible = true;
    PortPanelsEnabled = false;
    changed();
}

void ConnectionControl::serialStop() {
    START1.checked = false;
    START1.enabled = true;
    STOP1.enabled = false;
    STOP1.checked = true;
    comm2_.Disconnect();
    BTConVisible = true;
    BtDisconVisible = false;
    PortPanelsEnabled = true;
    changed();
}

void ConnectionControl::BTCon1Click() {
    serialStart();
}
void ConnectionControl::BtDiscon1Click() {
    serialStop();
}

void ConnectionControl::COMConClick() {
    if (IsDown(GroupButton::COMCon)) {
        serialStart();
    } else {
        serialStop();
    }
}

void ConnectionControl::cyclePort(int from) {
    if (!PortPanelsEnabled || VisiblePort != from) return;  // only the showing, enabled panel clicks
    VisiblePort = (from + 1) % 4;
    comm2_.SetComPort(static_cast<TComPortNumber>(VisiblePort));
    changed();
}

void ConnectionControl::SetDown(GroupButton button, bool down) {
    if (down) {
        for (bool& d : down_) d = false;
    }
    down_[static_cast<int>(button)] = down;
    changed();
}

void ConnectionControl::AttachUsb(UsbBridge& usb, THidDataEvent frameHandler, bool profileReadsUsb) {
    usb_ = &usb;
    frameHandler_ = std::move(frameHandler);
    profileReadsUsb_ = profileReadsUsb;
    usb.afterDeviceChange = [this] { UsbDevicesRebuilt(); };
}

void ConnectionControl::USBConClick() {
    if (!usb_) {
        // No bridge handling at all: as with an empty device list.
        prompts_.Message(UserPrompts::Kind::Information, UsbBridge::kNoCable);
        SetDown(GroupButton::USBCon, false);
        frames_.ResetEmptyReportCount();
        return;
    }
    // Read runs with ReadBtn up (the group released it): it detaches the
    // selected device. SetFeature configures the bridge, or says there is
    // none and releases USBCon; it runs both ways.
    usb_->ReadBtnClick();
    usb_->SetFeatureClick();
    frames_.ResetEmptyReportCount();
    usb_->SelectedDevice = nullptr;
    THidDevice* device = usb_->SelectedItemDevice();
    if (!device) {
        changed();
        return;
    }
    usb_->SelectedDevice = device;
    if (!device->CanReadWrite()) {
        SetDown(GroupButton::USBCon, false);
        return;
    }
    if (IsDown(GroupButton::USBCon)) {
        if (profileReadsUsb_) device->SetDataHandler(frameHandler_);
    } else {
        device->SetDataHandler({});
    }
    changed();
}

void ConnectionControl::UsbDevicesRebuilt() {
    // A device change detaches the handler from every device it lists again;
    // left so, logging would stop while the button still says connected.
    if (!usb_ || !IsDown(GroupButton::USBCon)) return;
    THidDevice* device = usb_->SelectedItemDevice();
    if (device && device->CanReadWrite()) {
        // A bridge plugged in again starts with its line unset.
        usb_->SetFeatureClick();
        usb_->SelectedDevice = device;
        if (profileReadsUsb_) device->SetDataHandler(frameHandler_);
        changed();
        return;
    }
    SetDown(GroupButton::USBCon, false);
    if (usb_->DevListSelected() >= 0) {
        // A bridge is there but cannot be read (only queried): let go
        // without a word, as USB Connect does with such a bridge, and keep
        // it selected. The message below is for a cable that is gone.
        usb_->SelectedDevice = device;
        return;
    }
    later([this] { prompts_.Message(UserPrompts::Kind::Information, UsbBridge::kNoCable); });
}

void ConnectionControl::ConTimerTimer() {
    if (mirror_.idleTicks != 2) {
        ++mirror_.idleTicks;
        return;
    }
    if (frames_.EmptyReportCount() >= 1000) {
        frames_.ResetEmptyReportCount();
        SetDown(GroupButton::USBCon, false);
        if (usb_ && usb_->SelectedDevice) usb_->SelectedDevice->SetDataHandler({});
        // Shown once this tick is over: the watch goes on ticking while the
        // box waits for its OK.
        later([this] { prompts_.Message(UserPrompts::Kind::Information, kMeterSilent); });
    }
    mirror_.conOkVisible = false;
    mirror_.conOkNVisible = true;
    mirror_.idleTicks = 0;
    changed();
}

}  // namespace corvel
