#include "links/UsbBridge.h"

#include <QString>
#include <cstdio>
#include <cstring>

namespace corvel {

namespace {

std::string Narrow(const std::u16string& text) {
    return QString::fromStdU16String(text).toStdString();
}

std::string Hex4(std::uint16_t v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%.4X", v);
    return buf;
}

}  // namespace

std::string SystemErrorText(std::uint32_t error) {
    std::string text = std::strerror(static_cast<int>(error));
    while (!text.empty()) {
        const auto c = static_cast<unsigned char>(text.back());
        if (c > ' ' && c != '.' && c != 127) break;
        text.pop_back();
    }
    return text;
}

UsbBridge::UsbBridge(HidPlatform& platform, UserPrompts& prompts, Host host, THidDataEvent frameHandler)
    : prompts_(prompts), host_(std::move(host)), frameHandler_(std::move(frameHandler)) {
    try {
        hidCtl_ = std::make_unique<THidDeviceController>(platform);
    } catch (const EControllerError& e) {
        // A second window in one process: it works without the USB link.
        std::fprintf(stderr, "%s\n", e.what());
        return;
    }
    // The layout's values, in this order: the device change handler's
    // assignment lists and claims every present device while the error and
    // removal handlers are still unset.
    THidDeviceController& c = *hidCtl_;
    c.SetDevThreadSleepTime(1000);
    c.SetOnArrival(THidPlugEvent(this, &UsbBridge::HidCtlArrival));
    c.SetOnEnumerate(THidEnumerateEvent(this, &UsbBridge::HidCtlEnumerate));
    c.SetOnDeviceChange(THidNotifyEvent(this, &UsbBridge::HidCtlDeviceChange));
    c.SetOnDeviceDataError(THidDataErrorEvent(this, &UsbBridge::HidCtlDeviceDataError));
    c.SetOnRemoval(THidPlugEvent(this, &UsbBridge::HidCtlRemoval));
}

UsbBridge::~UsbBridge() {
    afterDeviceChange = nullptr;
    showInfo = nullptr;
    host_ = {};
    // Readers first, while everything they deliver to is still here; then
    // the controller, so that the devices it let us hold are not handed
    // back to it one by one on the way out.
    for (DevListItem& item : devList_)
        if (item.device) item.device->SetDataHandler({});
    hidCtl_.reset();
    devList_.clear();
}

THidDevice* UsbBridge::SelectedItemDevice() const {
    if (devSelected_ < 0 || devSelected_ >= static_cast<int>(devList_.size())) return nullptr;
    return devList_[static_cast<std::size_t>(devSelected_)].device.get();
}

std::string DescribeHidDevice(THidDevice& device) {
    std::string text = Narrow(device.ProductText());
    if (text.empty()) {
        text = "Device VID=" + Hex4(device.Attributes().vendorId) +
               " PID=" + Hex4(device.Attributes().productId);
    }
    const std::string serial = Narrow(device.SerialText());
    if (!serial.empty()) text += " (Serial=" + serial + ")";
    return text;
}

std::string UsbBridge::DescribeHidDevice(THidDevice& device) {
    return corvel::DescribeHidDevice(device);
}

std::string UsbBridge::InfoText(THidDevice& device) {
    const HidAttributes& a = device.Attributes();
    const std::string product = Narrow(device.ProductText());
    const std::string serial = Narrow(device.SerialText());
    std::string t;
    t += "Device: " + DescribeHidDevice(device) + "\n";
    t += "Path: " + device.SetupInfo().InterfacePath + "\n";
    t += "Vendor ID: " + Hex4(a.vendorId) + "\n";
    t += "Product ID: " + Hex4(a.productId) + "\n";
    t += "Version: " + Hex4(a.versionNumber) + "\n";
    t += "Product: " + (product.empty() ? std::string("(none)") : product) + "\n";
    t += "Serial number: " + (serial.empty() ? std::string("(none)") : serial) + "\n";
    const int length = device.InputReportByteLength();
    t += "Input report length: " + (length > 0 ? std::to_string(length) + " bytes" : std::string("unknown")) +
         "\n";
    t += std::string("Access: ") + (device.CanReadWrite() ? "read and write" : "query only") + "\n";
    t += std::string("Reading: ") + (device.Reading() ? "yes" : "no");
    return t;
}

void UsbBridge::addHistory(std::string line) {
    history_.push_back(std::move(line));
    historySelected_ = static_cast<int>(history_.size()) - 1;
    changed();
}

void UsbBridge::HidCtlArrival(THidDevice& HidDev) {
    addHistory("Arrival of " + DescribeHidDevice(HidDev));
}

void UsbBridge::HidCtlRemoval(THidDevice& HidDev) {
    addHistory("Removal of " + DescribeHidDevice(HidDev));
}

bool UsbBridge::HidCtlEnumerate(THidDevice& HidDev, std::int32_t Idx) {
    DevListItem item;
    item.text = DescribeHidDevice(HidDev);
    devList_.push_back(std::move(item));
    devList_.back().device.reset(hidCtl_->ClaimDevice(Idx));
    return true;
}

void UsbBridge::HidCtlDeviceChange(THidDeviceController&) {
    if (host_.ReleaseReadBtn) host_.ReleaseReadBtn();
    ReadBtnClick();
    // Each claimed device goes back to the controller as it is destroyed.
    std::vector<DevListItem> old;
    old.swap(devList_);
    devSelected_ = -1;
    SelectedDevice = nullptr;
    for (DevListItem& item : old) item.device.reset();
    old.clear();
    if (hidCtl_) hidCtl_->OfferDevices();
    for (std::size_t i = 0; i < devList_.size(); ++i)
        if (devList_[i].text == kBridgeProduct) devSelected_ = static_cast<int>(i);
    changed();
    if (afterDeviceChange) afterDeviceChange();
}

void UsbBridge::HidCtlDeviceDataError(THidDevice&, std::uint32_t Error) {
    char code[16];
    std::snprintf(code, sizeof code, "%X", static_cast<unsigned>(Error));
    addHistory("READ ERROR: " + SystemErrorText(Error) + " (" + code + ")");
}

void UsbBridge::ReadBtnClick() {
    SelectedDevice = nullptr;
    THidDevice* device = SelectedItemDevice();
    if (!device) return;
    SelectedDevice = device;
    if (!device->CanReadWrite()) {
        if (host_.ReleaseReadBtn) host_.ReleaseReadBtn();
        return;
    }
    const bool down = host_.ReadBtnDown && host_.ReadBtnDown();
    device->SetDataHandler(down ? frameHandler_ : THidDataEvent());
}

std::vector<std::uint8_t> UsbBridge::FeatureReport() {
    // Report 0: the line rate 9600 (little-endian), then the line setting.
    return {0x00, 0x80, 0x25, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00};
}

void UsbBridge::SetFeatureClick() {
    SelectedDevice = nullptr;
    if (devSelected_ >= 0 && devSelected_ < static_cast<int>(devList_.size())) {
        SelectedDevice = SelectedItemDevice();
        const std::vector<std::uint8_t> report = FeatureReport();
        // The answer is not looked at: a bridge that refuses it simply
        // delivers nothing, which the link watch notices.
        if (SelectedDevice) SelectedDevice->SendFeatureReport(report.data(), report.size());
        std::string echo;
        for (std::uint8_t b : report) {
            char pair[4];
            std::snprintf(pair, sizeof pair, "%.2X ", b);
            echo += pair;
        }
        addHistory(echo);
        return;
    }
    prompts_.Message(UserPrompts::Kind::Information, kNoCable);
    if (host_.ReleaseUSBCon) host_.ReleaseUSBCon();
}

void UsbBridge::ClearBtnClick() {
    history_.clear();
    historySelected_ = -1;
    changed();
}

void UsbBridge::InfoBtnClick() {
    THidDevice* device = SelectedItemDevice();
    if (devSelected_ < 0 || !device) return;
    if (showInfo) showInfo(InfoText(*device));
}

}  // namespace corvel
