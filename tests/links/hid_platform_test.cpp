// The Linux HID layer on this machine, which has libudev but no HID device:
// the binding, the node checks, and reading on a sequenced-packet socket,
// which hands over one message per read and reports a hang-up the way a
// hidraw node does. The layer on real kernel HID devices is tested in the
// emulated machine (tests/vm).

#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <cerrno>
#include <thread>

#include "links/HidrawNode.h"
#include "links/LinuxHidHandle.h"
#include "links/LinuxHidPlatform.h"
#include "links/SystemHidPlatform.h"
#include "links/UdevLibrary.h"

namespace corvel {
namespace {

// ---- binding -------------------------------------------------------------

TEST(UdevBinding, OneMissingNameClearsEverySlot) {
    void* libc = dlopen("libc.so.6", RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(libc, nullptr);
    void* strlenSlot = reinterpret_cast<void*>(1);
    void* missingSlot = reinterpret_cast<void*>(1);
    void* getpidSlot = reinterpret_cast<void*>(1);
    const SymbolSlot table[] = {
        {"strlen", &strlenSlot}, {"no_such_function_anywhere", &missingSlot}, {"getpid", &getpidSlot}};
    EXPECT_FALSE(BindAllSymbols(libc, table));
    EXPECT_EQ(strlenSlot, nullptr);
    EXPECT_EQ(missingSlot, nullptr);
    EXPECT_EQ(getpidSlot, nullptr);

    const SymbolSlot present[] = {{"strlen", &strlenSlot}, {"getpid", &getpidSlot}};
    EXPECT_TRUE(BindAllSymbols(libc, present));
    EXPECT_NE(strlenSlot, nullptr);
    EXPECT_NE(getpidSlot, nullptr);
    dlclose(libc);
}

struct LoadCase {
    const char* name;
    const char* soname;
    bool bound;
};

void PrintTo(const LoadCase& c, std::ostream* os) {
    *os << c.name;
}

class UdevLoad : public ::testing::TestWithParam<LoadCase> {};

TEST_P(UdevLoad, BindsAllOrNothing) {
    const auto& c = GetParam();
    std::string why;
    const auto lib = UdevLibrary::Load(c.soname, &why);
    EXPECT_EQ(lib != nullptr, c.bound) << why;
    if (lib) {
        EXPECT_NE(lib->udev_monitor_receive_device, nullptr);
    } else {
        EXPECT_FALSE(why.empty());
    }

    // The platform over the same library: without it nothing is listed and
    // nothing is watched, and nothing breaks.
    LinuxHidPlatform platform(c.soname);
    EXPECT_EQ(platform.Available(), c.bound);
    int calls = 0;
    platform.SetChangeHandler([&calls] { ++calls; });
    if (!c.bound) {
        EXPECT_TRUE(platform.Enumerate().empty());
        EXPECT_TRUE(platform.WatchSource().empty());
    }
    platform.SetChangeHandler({});
    EXPECT_TRUE(platform.WatchSource().empty());
    EXPECT_EQ(calls, 0);
}

INSTANTIATE_TEST_SUITE_P(Hid, UdevLoad,
                         ::testing::Values(LoadCase{"SystemLibudev", "libudev.so.1", true},
                                           LoadCase{"LibraryWithoutTheFunctions", "libc.so.6", false},
                                           LoadCase{"MissingLibrary", "libcorvel-no-such-library.so.1",
                                                    false}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- a machine without HID devices -------------------------------------

TEST(LinuxHidPlatform, ListsNothingWhereThereAreNoHidrawNodes) {
    if (!QDir("/sys/class/hidraw").entryList(QDir::Dirs | QDir::System | QDir::NoDotAndDotDot).isEmpty())
        GTEST_SKIP() << "this machine has HID devices";
    const auto platform = CreateSystemHidPlatform();
    ASSERT_TRUE(platform->Available());
    EXPECT_TRUE(platform->Enumerate().empty());
}

struct OpenCase {
    const char* name;
    std::string path;
    HidPlatform::Access access;
    int error;
};

void PrintTo(const OpenCase& c, std::ostream* os) {
    *os << c.name;
}

class OpenRefused : public ::testing::TestWithParam<OpenCase> {};

TEST_P(OpenRefused, OnlyHidrawNodesAreOpened) {
    const auto& c = GetParam();
    LinuxHidPlatform platform;
    int error = 0;
    EXPECT_EQ(platform.Open(c.path, c.access, error), nullptr);
    EXPECT_EQ(error, c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Hid, OpenRefused,
    ::testing::Values(
        OpenCase{"MissingNode", "/dev/hidraw250", HidPlatform::Access::ReadWrite, ENOENT},
        OpenCase{"MissingNodeForQuery", "/dev/hidraw250", HidPlatform::Access::QueryOnly, ENOENT},
        OpenCase{"OtherCharacterDevice", "/dev/null", HidPlatform::Access::ReadWrite, ENODEV},
        OpenCase{"OtherCharacterDeviceForQuery", "/dev/zero", HidPlatform::Access::QueryOnly, ENODEV},
        OpenCase{"Directory", "/dev", HidPlatform::Access::Read, ENODEV},
        OpenCase{"RegularFile", "/etc/hostname", HidPlatform::Access::Read, ENODEV},
        OpenCase{"EmptyPath", "", HidPlatform::Access::ReadWrite, ENOENT}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LinuxHidPlatform, WatchingStartsAndStopsWithTheHandler) {
    LinuxHidPlatform platform;
    ASSERT_TRUE(platform.Available());
    int calls = 0;
    platform.SetChangeHandler([&calls] { ++calls; });
    // A sandbox may refuse the netlink socket; then there is no watching,
    // which the program survives.
    const std::string source = platform.WatchSource();
    EXPECT_TRUE(source.empty() || source == "udev" || source == "kernel") << source;
    EXPECT_EQ(source == "udev", source.empty() ? false : ::access("/run/udev/control", F_OK) == 0);
    platform.SetChangeHandler({});
    EXPECT_TRUE(platform.WatchSource().empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 0);
}

// ---- sysfs texts -----------------------------------------------------------

struct HidIdCase {
    const char* name;
    const char* text;
    bool ok;
    std::uint16_t vendor;
    std::uint16_t product;
};

void PrintTo(const HidIdCase& c, std::ostream* os) {
    *os << c.name;
}

class HidId : public ::testing::TestWithParam<HidIdCase> {};

TEST_P(HidId, ReadsBusVendorAndProduct) {
    const auto& c = GetParam();
    std::uint16_t vendor = 0xAAAA, product = 0xBBBB;
    EXPECT_EQ(ParseHidId(c.text, vendor, product), c.ok);
    if (c.ok) {
        EXPECT_EQ(vendor, c.vendor);
        EXPECT_EQ(product, c.product);
    }
}

INSTANTIATE_TEST_SUITE_P(Hid, HidId,
                         ::testing::Values(HidIdCase{"Usb", "0003:00001A86:0000E008", true, 0x1A86, 0xE008},
                                           HidIdCase{"LowerCase", "0005:0000046d:0000b33d", true, 0x046D,
                                                     0xB33D},
                                           HidIdCase{"Short", "3:627:1", true, 0x0627, 0x0001},
                                           HidIdCase{"VendorTooWide", "0003:00010000:00000001", false, 0, 0},
                                           HidIdCase{"NotHex", "0003:0000XYZ0:00000001", false, 0, 0},
                                           HidIdCase{"TwoFields", "0003:00001A86", false, 0, 0},
                                           HidIdCase{"EmptyField", "0003::00000001", false, 0, 0},
                                           HidIdCase{"TrailingText", "0003:00001A86:0000E008 x", false, 0, 0},
                                           HidIdCase{"Empty", "", false, 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HidrawNode, UeventValueFindsWholeKeysOnly) {
    const std::string uevent =
        "DRIVER=hid-generic\nHID_ID=0003:00000627:00000001\nHID_NAME=QEMU QEMU USB Tablet\n"
        "HID_PHYS=usb-0000:00:04.0-1/input0\nHID_UNIQ=\nMODALIAS=hid:b0003\n";
    EXPECT_EQ(UeventValue(uevent, "HID_NAME"), "QEMU QEMU USB Tablet");
    EXPECT_EQ(UeventValue(uevent, "HID_ID"), "0003:00000627:00000001");
    EXPECT_EQ(UeventValue(uevent, "HID_UNIQ"), "");
    EXPECT_EQ(UeventValue(uevent, "HID"), "");
    EXPECT_EQ(UeventValue(uevent, "NAME"), "");
    EXPECT_EQ(UeventValue("", "HID_NAME"), "");
}

TEST(HidrawNode, IdentityFollowsPathAndNodeNumber) {
    const std::string first = "/sys/devices/virtual/misc/uhid/0003:1A86:E008.0001/hidraw/hidraw0";
    const std::string again = "/sys/devices/virtual/misc/uhid/0003:1A86:E008.0002/hidraw/hidraw0";
    EXPECT_EQ(HidrawIdentity(first, 0xF100), HidrawIdentity(first, 0xF100));
    EXPECT_NE(HidrawIdentity(first, 0xF100), HidrawIdentity(again, 0xF100));
    EXPECT_NE(HidrawIdentity(first, 0xF100), HidrawIdentity(first, 0xF101));
}

// ---- reading ---------------------------------------------------------------

// A connected pair of sequenced-packet sockets: the layer reads one end as
// it reads a hidraw node, the test writes reports into the other.
struct ReportPipe {
    int device = -1;  // the layer's end
    int feeder = -1;
    ReportPipe() {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds) == 0) {
            device = fds[0];
            feeder = fds[1];
            ::fcntl(device, F_SETFL, O_NONBLOCK);
        }
    }
    ~ReportPipe() {
        if (feeder >= 0) ::close(feeder);
    }
    void Send(std::vector<std::uint8_t> bytes) const {
        ASSERT_EQ(::write(feeder, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    void HangUp() {
        ::close(feeder);
        feeder = -1;
    }
};

HidReportSummary Summary(bool numbered, int longest) {
    HidReportSummary s;
    s.numberedInput = numbered;
    s.longestInputReport = longest;
    return s;
}

std::vector<std::uint8_t> ReadOne(HidHandle& handle, std::size_t size, int& result, int& error) {
    std::vector<std::uint8_t> buffer(size, 0xEE);
    error = 0;
    result = handle.Read(buffer.data(), buffer.size(), 2000, error);
    buffer.resize(result > 0 ? static_cast<std::size_t>(result) : 0);
    return buffer;
}

struct ReadCase {
    const char* name;
    bool numbered;
    std::vector<std::vector<std::uint8_t>> sent;
    std::size_t bufferSize;
    std::vector<std::vector<std::uint8_t>> read;
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class HandleRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(HandleRead, DeliversReportsInOrderWithTheirNumberFirst) {
    const auto& c = GetParam();
    ReportPipe pipe;
    ASSERT_GE(pipe.device, 0);
    LinuxHidHandle handle(pipe.device, HidrawNode{}, Summary(c.numbered, 8));
    for (const auto& report : c.sent) pipe.Send(report);
    for (const auto& expected : c.read) {
        int result = 0, error = 0;
        EXPECT_EQ(ReadOne(handle, c.bufferSize, result, error), expected);
        EXPECT_EQ(result, static_cast<int>(expected.size()));
        EXPECT_EQ(error, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Hid, HandleRead,
    ::testing::Values(ReadCase{"UnnumberedGetsReportNumberZero",
                               false,
                               {{0xF2, 0x31, 0x32}, {0xF0}, {0xF1, 0x41}},
                               9,
                               {{0x00, 0xF2, 0x31, 0x32}, {0x00, 0xF0}, {0x00, 0xF1, 0x41}}},
                      ReadCase{"NumberedKeepsTheKernelsNumber",
                               true,
                               {{0x02, 0xAA, 0xBB}, {0x01, 0xCC}},
                               9,
                               {{0x02, 0xAA, 0xBB}, {0x01, 0xCC}}},
                      ReadCase{"LongReportIsCutToTheBuffer",
                               false,
                               {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {11}},
                               4,
                               {{0, 1, 2, 3}, {0, 11}}},
                      ReadCase{"OneByteBufferHoldsOnlyTheNumber", true, {{0x07, 0x01}}, 1, {{0x07}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HandleRead, AWaitWithoutReportEndsWithNothing) {
    ReportPipe pipe;
    LinuxHidHandle handle(pipe.device, HidrawNode{}, Summary(false, 8));
    std::uint8_t buffer[9];
    int error = 0;
    EXPECT_EQ(handle.Read(buffer, sizeof buffer, 20, error), 0);
    EXPECT_EQ(error, 0);
}

TEST(HandleRead, CancelEndsAWaitingReadAndEveryLaterOne) {
    ReportPipe pipe;
    LinuxHidHandle handle(pipe.device, HidrawNode{}, Summary(false, 8));
    int result = 1, error = 0;
    std::thread reader([&] {
        std::uint8_t buffer[9];
        // Far longer than the test takes: only Cancel can end this wait
        // with an error; running out of time would give 0.
        result = handle.Read(buffer, sizeof buffer, 60000, error);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    handle.Cancel();
    reader.join();
    EXPECT_EQ(result, -1);
    EXPECT_EQ(error, ECANCELED);

    pipe.Send({0x01});  // a report waiting changes nothing after a cancel
    std::uint8_t buffer[9];
    error = 0;
    EXPECT_EQ(handle.Read(buffer, sizeof buffer, 1000, error), -1);
    EXPECT_EQ(error, ECANCELED);
}

TEST(HandleRead, ADeviceThatGoesAwayFailsEveryReadAtOnce) {
    ReportPipe pipe;
    LinuxHidHandle handle(pipe.device, HidrawNode{}, Summary(false, 8));
    pipe.Send({0x05});
    pipe.HangUp();
    int result = 0, error = 0;
    // What came before the hang-up is still delivered ...
    EXPECT_EQ(ReadOne(handle, 9, result, error), (std::vector<std::uint8_t>{0x00, 0x05}));
    // ... then each read fails without waiting out its time.
    for (int i = 0; i < 3; ++i) {
        std::uint8_t buffer[9];
        error = 0;
        EXPECT_EQ(handle.Read(buffer, sizeof buffer, 60000, error), -1);
        EXPECT_NE(error, 0);
    }
}

// ---- a node known only through sysfs --------------------------------------

TEST(QueryOnlyHandle, AnswersFromWhatSysfsSaid) {
    HidrawNode node;
    node.haveIds = true;
    node.attributes = {0x1A86, 0xE008, 0x0114};
    node.product = u"USB to Serial";
    LinuxHidHandle handle(-1, node, Summary(false, 8));

    HidAttributes attributes;
    ASSERT_TRUE(handle.GetAttributes(attributes));
    EXPECT_EQ(attributes.vendorId, 0x1A86);
    EXPECT_EQ(attributes.productId, 0xE008);
    EXPECT_EQ(attributes.versionNumber, 0x0114);
    std::u16string text;
    ASSERT_TRUE(handle.GetProductString(text));
    EXPECT_EQ(text, u"USB to Serial");
    EXPECT_FALSE(handle.GetSerialNumberString(text));
    EXPECT_EQ(handle.InputReportByteLength(), 9);

    const std::uint8_t report[10] = {0x00, 0x80, 0x25, 0x00, 0x00, 0x03};
    EXPECT_FALSE(handle.SetFeature(report, sizeof report));
    std::uint8_t buffer[9];
    int error = 0;
    EXPECT_EQ(handle.Read(buffer, sizeof buffer, 10, error), -1);
    EXPECT_EQ(error, EBADF);
}

TEST(QueryOnlyHandle, WithoutIdentifiersThereAreNoAttributes) {
    LinuxHidHandle handle(-1, HidrawNode{}, HidReportSummary{});
    HidAttributes attributes;
    EXPECT_FALSE(handle.GetAttributes(attributes));
    std::u16string text;
    EXPECT_FALSE(handle.GetProductString(text));
    EXPECT_EQ(handle.InputReportByteLength(), 0);
}

struct IndexedCase {
    const char* name;
    int index;
    std::size_t count;
    bool ok;
};

void PrintTo(const IndexedCase& c, std::ostream* os) {
    *os << c.name;
}

class IndexedString : public ::testing::TestWithParam<IndexedCase> {};

TEST_P(IndexedString, LanguageListIsUsEnglish) {
    const auto& c = GetParam();
    LinuxHidHandle handle(-1, HidrawNode{}, HidReportSummary{});
    std::vector<std::uint16_t> words(254, 0xFFFF);
    EXPECT_EQ(handle.GetIndexedString(c.index, words.data(), c.count), c.ok);
    if (c.ok) {
        EXPECT_EQ(words[0], 0x0409);
        EXPECT_EQ(words[1], 0x0000);
    }
    // Nothing beyond the answer, and nothing at all on a refusal, is written.
    for (std::size_t i = c.ok ? 2 : 0; i < words.size(); ++i) ASSERT_EQ(words[i], 0xFFFF) << i;
}

INSTANTIATE_TEST_SUITE_P(Hid, IndexedString,
                         ::testing::Values(IndexedCase{"LanguageList", 0, 254, true},
                                           IndexedCase{"JustRoomEnough", 0, 2, true},
                                           IndexedCase{"NoRoom", 0, 1, false},
                                           IndexedCase{"OtherIndex", 1, 254, false},
                                           IndexedCase{"NegativeIndex", -1, 254, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HandleFeature, RefusedByANodeThatIsNotHidraw) {
    ReportPipe pipe;
    LinuxHidHandle handle(pipe.device, HidrawNode{}, Summary(false, 8));
    const std::uint8_t report[10] = {0x00, 0x80, 0x25};
    EXPECT_FALSE(handle.SetFeature(report, sizeof report));
    EXPECT_FALSE(handle.SetFeature(report, 0));
    EXPECT_FALSE(handle.SetFeature(nullptr, 10));
}

}  // namespace
}  // namespace corvel
