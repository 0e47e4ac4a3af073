// corvel-hid: lists the machine's HID interfaces and records a USB bridge's
// input reports in the form corvel-decode --handler hid replays, through
// the same HID controller the program uses.

#include <QCoreApplication>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Version.h"
#include "links/HidDeviceController.h"
#include "links/SystemHidPlatform.h"
#include "links/UsbBridge.h"

namespace {

constexpr const char* kUsage =
    "usage: corvel-hid list\n"
    "       corvel-hid read PATH [--configure]\n"
    "       corvel-hid --help | --version\n"
    "list prints each present HID interface on a line: its description, its\n"
    "vendor and product identifiers and its path, separated by tabs.\n"
    "read prints each input report of the interface at PATH on a line as\n"
    "hexadecimal byte pairs separated by blanks (the bytes after the report\n"
    "number), until the device goes; --configure first sends the USB to\n"
    "Serial bridge its configuration (9600 baud).\n";

std::string Hex4(std::uint16_t v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%.4X", v);
    return buf;
}

// The controller's own devices, each claimed while it is offered so that
// its strings can be read.
struct Claimed {
    std::vector<std::unique_ptr<corvel::THidDevice>> devices;
    bool Enumerate(corvel::THidDevice&, std::int32_t index) {
        devices.emplace_back(controller->ClaimDevice(index));
        return true;
    }
    corvel::THidDeviceController* controller = nullptr;
};

int List(corvel::HidPlatform& platform) {
    if (!platform.Available()) {
        std::fprintf(stderr,
                     "corvel-hid: the system's HID services are not available; no device can be listed\n");
        return 0;
    }
    corvel::THidDeviceController controller(platform);
    Claimed claimed;
    claimed.controller = &controller;
    controller.SetOnEnumerate(corvel::THidEnumerateEvent(&claimed, &Claimed::Enumerate));
    controller.OfferDevices();
    const std::vector<corvel::HidInterfaceInfo> interfaces = platform.Enumerate();
    if (interfaces.empty()) std::fputs("corvel-hid: no HID interfaces found\n", stderr);
    for (const corvel::HidInterfaceInfo& info : interfaces) {
        corvel::THidDevice* device = nullptr;
        for (auto& d : claimed.devices)
            if (d && d->SetupInfo().InterfacePath == info.path) device = d.get();
        if (device) {
            const corvel::HidAttributes& a = device->Attributes();
            std::printf("%s\t%s:%s\t%s\n", corvel::DescribeHidDevice(*device).c_str(),
                        Hex4(a.vendorId).c_str(), Hex4(a.productId).c_str(), info.path.c_str());
            continue;
        }
        // Left out by the controller: say why, by path.
        int error = 0;
        auto handle = platform.Open(info.path, corvel::HidPlatform::Access::QueryOnly, error);
        const std::string why =
            handle ? "cannot be identified" : std::string("cannot be opened: ") + std::strerror(error);
        std::printf("(%s)\t????:????\t%s\n", why.c_str(), info.path.c_str());
    }
    return 0;
}

int Read(corvel::HidPlatform& platform, const std::string& path, bool configure) {
    corvel::THidDeviceController controller(platform);
    int index = -1;
    for (std::size_t i = 0; i < controller.Devices().size(); ++i)
        if (controller.Devices()[i]->SetupInfo().InterfacePath == path) index = static_cast<int>(i);
    if (index < 0) {
        int error = ENOENT;
        auto handle = platform.Open(path, corvel::HidPlatform::Access::QueryOnly, error);
        std::fprintf(stderr, "corvel-hid: %s: %s\n", path.c_str(),
                     handle ? "not a HID interface that can be identified" : std::strerror(error));
        return 1;
    }
    std::unique_ptr<corvel::THidDevice> device(controller.ClaimDevice(index));
    if (!device->CanReadWrite()) {
        std::fprintf(stderr, "corvel-hid: %s: cannot be opened for reading (%s)\n", path.c_str(),
                     std::strerror(EACCES));
        return 1;
    }
    if (configure) {
        const std::vector<std::uint8_t> report = corvel::UsbBridge::FeatureReport();
        if (!device->SendFeatureReport(report.data(), report.size()))
            std::fprintf(stderr, "corvel-hid: %s: the configuration report was refused\n", path.c_str());
    }
    device->SetDataErrorHandler(
        corvel::THidDataErrorEvent("print", [&path](corvel::THidDevice&, std::uint32_t e) {
            std::fprintf(stderr, "corvel-hid: %s: read error: %s\n", path.c_str(),
                         corvel::SystemErrorText(e).c_str());
        }));
    std::string line;
    device->SetDataHandler(corvel::THidDataEvent(
        "print", [&line](corvel::THidDevice&, std::uint8_t, const std::uint8_t* data, std::uint16_t size) {
            static const char kHex[] = "0123456789ABCDEF";
            line.clear();
            for (std::uint16_t i = 0; i < size; ++i) {
                if (i) line.push_back(' ');
                line.push_back(kHex[data[i] >> 4]);
                line.push_back(kHex[data[i] & 15]);
            }
            line.push_back('\n');
            std::fwrite(line.data(), 1, line.size(), stdout);
            std::fflush(stdout);
        }));
    int status = 0;
    controller.SetOnDeviceChange(corvel::THidNotifyEvent("gone?", [&](corvel::THidDeviceController&) {
        if (device->Present()) return;
        std::fprintf(stderr, "corvel-hid: %s: the device is gone\n", path.c_str());
        QCoreApplication::exit(status);
    }));
    return QCoreApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    const QString command = args.value(0);
    if (args.size() == 1 && (command == QLatin1String("--help") || command == QLatin1String("-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args.size() == 1 && command == QLatin1String("--version")) {
        std::printf("corvel-hid %s\n", corvel::kVersion);
        return 0;
    }
    if (!args.isEmpty() && command != QLatin1String("list") && command != QLatin1String("read")) {
        std::fprintf(stderr, "corvel-hid: unknown command: %s\n", qPrintable(command));
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::unique_ptr<corvel::HidPlatform> platform = corvel::CreateSystemHidPlatform();
    if (args.size() == 1 && command == QLatin1String("list")) return List(*platform);
    if ((args.size() == 2 || args.size() == 3) && command == QLatin1String("read")) {
        const bool configure = args.size() == 3;
        if (configure && args[2] != QLatin1String("--configure")) {
            std::fputs(kUsage, stderr);
            return 2;
        }
        return Read(*platform, args[1].toStdString(), configure);
    }
    std::fputs(kUsage, stderr);
    return 2;
}
