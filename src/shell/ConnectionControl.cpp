#include "shell/ConnectionControl.h"

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

void ConnectionControl::BTCon1Click() { serialStart(); }
void ConnectionControl::BtDiscon1Click() { serialStop(); }

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

void ConnectionControl::USBConClick() {
    // The bridge's Read and SetFeature commands run first. No HID bridge is
    // listed on this build's device list, so SetFeature finds nothing to
    // configure and says so.
    prompts_.Message(UserPrompts::Kind::Information,
                     "USB interface cable is not securely connected, please check and re-try.");
    SetDown(GroupButton::USBCon, false);
    frames_.ResetEmptyReportCount();
    changed();
}

void ConnectionControl::ConTimerTimer() {
    if (mirror_.idleTicks != 2) {
        ++mirror_.idleTicks;
        return;
    }
    if (frames_.EmptyReportCount() >= 1000) {
        frames_.ResetEmptyReportCount();
        SetDown(GroupButton::USBCon, false);
        prompts_.Message(UserPrompts::Kind::Information,
                         "USB interface cable is securely connected, please check if the meter is ready.");
    }
    mirror_.conOkVisible = false;
    mirror_.conOkNVisible = true;
    mirror_.idleTicks = 0;
    changed();
}

}  // namespace corvel
