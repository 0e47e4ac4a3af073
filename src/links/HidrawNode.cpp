#include "links/HidrawNode.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <QString>
#include <cerrno>
#include <climits>
#include <fstream>
#include <sstream>

namespace corvel {

namespace {

std::string ReadSmallFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::string text;
    text.resize(64 * 1024);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

// A sysfs attribute's one line of text, without its line end.
std::string ReadAttribute(const std::string& path) {
    std::string text = ReadSmallFile(path);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

std::string Parent(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string Basename(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::u16string Utf16(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).toStdU16String();
}

bool ParseHexField(const std::string& text, std::uint32_t& value) {
    if (text.empty() || text.size() > 8) return false;
    value = 0;
    for (char c : text) {
        int digit = 0;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return true;
}

}  // namespace

std::string UeventValue(const std::string& uevent, const std::string& key) {
    std::istringstream lines(uevent);
    std::string line;
    const std::string prefix = key + "=";
    while (std::getline(lines, line))
        if (line.compare(0, prefix.size(), prefix) == 0) return line.substr(prefix.size());
    return {};
}

bool ParseHidId(const std::string& text, std::uint16_t& vendor, std::uint16_t& product) {
    const auto first = text.find(':');
    const auto second = first == std::string::npos ? first : text.find(':', first + 1);
    if (second == std::string::npos) return false;
    std::uint32_t bus = 0, v = 0, p = 0;
    if (!ParseHexField(text.substr(0, first), bus) ||
        !ParseHexField(text.substr(first + 1, second - first - 1), v) ||
        !ParseHexField(text.substr(second + 1), p) || v > 0xFFFF || p > 0xFFFF)
        return false;
    vendor = static_cast<std::uint16_t>(v);
    product = static_cast<std::uint16_t>(p);
    return true;
}

std::uint32_t HidrawIdentity(const std::string& syspath, std::uint64_t devnum) {
    // FNV-1a over the path and the node number.
    std::uint32_t hash = 2166136261u;
    auto mix = [&hash](std::uint8_t byte) {
        hash ^= byte;
        hash *= 16777619u;
    };
    for (char c : syspath) mix(static_cast<std::uint8_t>(c));
    for (int i = 0; i < 8; ++i) mix(static_cast<std::uint8_t>(devnum >> (8 * i)));
    return hash;
}

bool ResolveHidrawNode(const std::string& path, HidrawNode& node, int& error) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        error = errno;
        return false;
    }
    if (!S_ISCHR(st.st_mode)) {
        error = ENODEV;
        return false;
    }
    const std::string link =
        "/sys/dev/char/" + std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev));
    char resolved[PATH_MAX];
    if (::realpath(link.c_str(), resolved) == nullptr) {
        error = ENODEV;
        return false;
    }
    node = HidrawNode{};
    node.syspath = resolved;
    char subsystem[PATH_MAX];
    if (::realpath((node.syspath + "/subsystem").c_str(), subsystem) == nullptr ||
        Basename(subsystem) != "hidraw") {
        error = ENODEV;
        return false;
    }
    // .../<HID device>/hidraw/hidrawN
    node.hidDevice = Parent(Parent(node.syspath));
    const std::string hidUevent = ReadSmallFile(node.hidDevice + "/uevent");
    node.haveIds =
        ParseHidId(UeventValue(hidUevent, "HID_ID"), node.attributes.vendorId, node.attributes.productId);

    // The USB device, when there is one, is a few levels up (the interface
    // sits between); nothing above /sys/devices is looked at.
    for (std::string dir = Parent(node.hidDevice); dir.size() > std::string("/sys/devices").size();
         dir = Parent(dir)) {
        if (UeventValue(ReadSmallFile(dir + "/uevent"), "DEVTYPE") == "usb_device") {
            node.usbDevice = dir;
            break;
        }
    }

    // Strings: a USB device's own product and serial strings are what the
    // cable's chip reports, so they are preferred. Without a USB device the
    // kernel's names serve: HID_NAME (for USB devices it would be maker and
    // product run together, which is why it comes second) and HID_UNIQ.
    if (!node.usbDevice.empty()) {
        node.product = Utf16(ReadAttribute(node.usbDevice + "/product"));
        node.serial = Utf16(ReadAttribute(node.usbDevice + "/serial"));
        std::uint32_t version = 0;
        if (ParseHexField(ReadAttribute(node.usbDevice + "/bcdDevice"), version) && version <= 0xFFFF)
            node.attributes.versionNumber = static_cast<std::uint16_t>(version);
    }
    if (node.product.empty()) node.product = Utf16(UeventValue(hidUevent, "HID_NAME"));
    if (node.serial.empty()) node.serial = Utf16(UeventValue(hidUevent, "HID_UNIQ"));
    return true;
}

}  // namespace corvel
