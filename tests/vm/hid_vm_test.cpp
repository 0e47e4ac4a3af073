// The Linux HID layer on real kernel HID devices, run inside an emulated
// machine (run_vm_test.sh boots it): devices made through /dev/uhid, and the
// machine's emulated USB tablet, which sits on a real (emulated) USB bus with
// USB strings, as the meter's cable does. The machine's console carries the
// results back; a line "@@CORVEL-VM unplug-tablet" asks the host to pull the
// tablet out.

#include <gtest/gtest.h>
#include <linux/uhid.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iterator>
#include <optional>
#include <thread>

#include "links/LinuxHidPlatform.h"
#include "links/SystemHidPlatform.h"
#include "vm/UhidDevice.h"

namespace corvel {
namespace {

using vm::UhidDevice;
using vm::UhidOptions;
using Clock = std::chrono::steady_clock;

const char* g_self = nullptr;  // this program, for the unprivileged child

// The meter's cable as it presents itself: no report numbers, input reports
// of a count byte and up to seven payload bytes, a 9-byte feature report
// (the line settings).
const std::vector<std::uint8_t> kBridgeDescriptor = {
    0x06, 0xA0, 0xFF, 0x09, 0x01, 0xA1, 0x01,        // vendor page, application collection
    0x15, 0x00, 0x26, 0xFF, 0x00,                    // logical 0 to 255
    0x75, 0x08, 0x95, 0x08, 0x09, 0x01, 0x81, 0x02,  // input: 8 bytes
    0x95, 0x09, 0x09, 0x02, 0xB1, 0x02,              // feature: 9 bytes
    0xC0};

// A device with numbered reports: input reports 1 (4 bytes) and 2 (16
// bytes), feature report 3 (2 bytes).
const std::vector<std::uint8_t> kNumberedDescriptor = {0x06, 0xA0, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15,
                                                       0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x85, 0x01,
                                                       0x95, 0x04, 0x09, 0x01, 0x81, 0x02,              //
                                                       0x85, 0x02, 0x95, 0x10, 0x09, 0x01, 0x81, 0x02,  //
                                                       0x85, 0x03, 0x95, 0x02, 0x09, 0x02, 0xB1, 0x02,  //
                                                       0xC0};

UhidOptions Bridge(std::string uniq = "") {
    return {"USB to Serial", std::move(uniq), 0x1A86, 0xE008, 0x0114, kBridgeDescriptor, false};
}

UhidOptions Numbered() {
    return {"Corvel numbered test device", "", 0x1209, 0x0001, 0x0100, kNumberedDescriptor, false};
}

// Runs the event loop until `done` holds or `ms` pass (generous: the
// emulated machine shares a busy host).
bool WaitUntil(const std::function<bool()>& done, int ms = 30000) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (Clock::now() > end) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

class Vm : public ::testing::Test {
protected:
    void SetUp() override {
        platform_ = CreateSystemHidPlatform();
        ASSERT_TRUE(platform_->Available());
        platform_->SetChangeHandler([this] {
            ++changes_;
            if (QThread::currentThread() != QCoreApplication::instance()->thread()) ++offMainThread_;
        });
    }
    void TearDown() override {
        platform_->SetChangeHandler({});
        EXPECT_EQ(offMainThread_, 0) << "the change handler ran off the main thread";
    }

    // The listed interface whose attributes are `vendor`:`product`.
    std::optional<HidInterfaceInfo> Find(std::uint16_t vendor, std::uint16_t product) {
        for (const auto& info : platform_->Enumerate()) {
            int error = 0;
            const auto handle = platform_->Open(info.path, HidPlatform::Access::QueryOnly, error);
            HidAttributes a;
            if (handle && handle->GetAttributes(a) && a.vendorId == vendor && a.productId == product)
                return info;
        }
        return std::nullopt;
    }

    // Makes the device and waits for the watcher to report it and for the
    // kernel to start it.
    std::optional<HidInterfaceInfo> Plug(UhidDevice& device, const UhidOptions& options) {
        const int before = changes_;
        if (!device.Create(options)) {
            ADD_FAILURE() << "cannot create a device through /dev/uhid: " << std::strerror(errno);
            return std::nullopt;
        }
        std::optional<HidInterfaceInfo> found;
        const bool seen = WaitUntil([&] {
            if (changes_ == before || !device.Started()) return false;
            found = Find(options.vendor, options.product);
            return found.has_value();
        });
        EXPECT_TRUE(seen) << "the new device was not reported and listed";
        return found;
    }

    std::unique_ptr<HidHandle> Open(const std::string& path, HidPlatform::Access access) {
        int error = 0;
        auto handle = platform_->Open(path, access, error);
        EXPECT_NE(handle, nullptr) << path << ": " << std::strerror(error);
        return handle;
    }

    std::unique_ptr<HidPlatform> platform_;
    int changes_ = 0;
    int offMainThread_ = 0;
};

// ---- watching ------------------------------------------------------------

TEST_F(Vm, WatchesTheKernelsEventsWhereNoUdevDaemonRuns) {
    auto* layer = dynamic_cast<LinuxHidPlatform*>(platform_.get());
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->WatchSource(), "kernel");
}

// ---- identity and strings --------------------------------------------------

struct ListedCase {
    const char* name;
    UhidOptions options;
    const char16_t* product;
    const char16_t* serial;  // nullptr: none
    int inputLength;
};

void PrintTo(const ListedCase& c, std::ostream* os) {
    *os << c.name;
}

class VmListed : public Vm, public ::testing::WithParamInterface<ListedCase> {};

TEST_P(VmListed, IdentityStringsAndReportLength) {
    const auto& c = GetParam();
    UhidDevice device;
    const auto info = Plug(device, c.options);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->path.rfind("/dev/hidraw", 0), 0u) << info->path;

    const auto handle = Open(info->path, HidPlatform::Access::ReadWrite);
    ASSERT_TRUE(handle);
    HidAttributes a;
    ASSERT_TRUE(handle->GetAttributes(a));
    EXPECT_EQ(a.vendorId, c.options.vendor);
    EXPECT_EQ(a.productId, c.options.product);
    std::u16string text;
    ASSERT_TRUE(handle->GetProductString(text));
    EXPECT_TRUE(text == c.product);
    EXPECT_EQ(handle->GetSerialNumberString(text), c.serial != nullptr);
    if (c.serial != nullptr) {
        EXPECT_TRUE(text == c.serial);
    }
    EXPECT_EQ(handle->InputReportByteLength(), c.inputLength);

    // The same device stays the same while it is present.
    for (int i = 0; i < 3; ++i) {
        const auto again = Find(c.options.vendor, c.options.product);
        ASSERT_TRUE(again);
        EXPECT_EQ(again->path, info->path);
        EXPECT_EQ(again->devInst, info->devInst);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Uhid, VmListed,
    ::testing::Values(ListedCase{"Bridge", Bridge(), u"USB to Serial", nullptr, 9},
                      ListedCase{"BridgeWithSerial", Bridge("CV-0042"), u"USB to Serial", u"CV-0042", 9},
                      ListedCase{"NumberedReports", Numbered(), u"Corvel numbered test device", nullptr, 17}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Vm, TheHandlerMayStopTheWatchingItself) {
    int calls = 0;
    platform_->SetChangeHandler([&] {
        ++calls;
        platform_->SetChangeHandler({});
    });
    UhidDevice device;
    ASSERT_TRUE(device.Create(Bridge()));
    ASSERT_TRUE(WaitUntil([&] { return calls > 0; }));
    device.Destroy();
    WaitUntil([] { return false; }, 500);
    EXPECT_EQ(calls, 1);
}

TEST_F(Vm, ADeviceThatComesBackHasANewIdentity) {
    std::vector<std::uint32_t> seen;
    for (int round = 0; round < 3; ++round) {
        UhidDevice device;
        const auto info = Plug(device, Bridge());
        ASSERT_TRUE(info);
        for (auto earlier : seen) EXPECT_NE(info->devInst, earlier) << "round " << round;
        seen.push_back(info->devInst);
        const int before = changes_;
        device.Destroy();
        ASSERT_TRUE(WaitUntil([&] { return changes_ > before && !Find(0x1A86, 0xE008); }));
    }
}

// ---- feature reports -------------------------------------------------------

struct FeatureCase {
    const char* name;
    UhidOptions options;
    std::vector<std::uint8_t> report;
    bool accepted;
};

void PrintTo(const FeatureCase& c, std::ostream* os) {
    *os << c.name;
}

class VmFeature : public Vm, public ::testing::WithParamInterface<FeatureCase> {};

TEST_P(VmFeature, ArrivesAtTheDevice) {
    const auto& c = GetParam();
    UhidDevice device;
    const auto info = Plug(device, c.options);
    ASSERT_TRUE(info);
    const auto handle = Open(info->path, HidPlatform::Access::ReadWrite);
    ASSERT_TRUE(handle);
    EXPECT_EQ(handle->SetFeature(c.report.data(), c.report.size()), c.accepted);
    const auto features = device.Features();
    ASSERT_EQ(features.size(), 1u);
    EXPECT_EQ(features[0].reportType, UHID_FEATURE_REPORT);
    EXPECT_EQ(features[0].reportNumber, c.report[0]);
    EXPECT_EQ(features[0].bytes, c.report);
}

UhidOptions Refusing() {
    auto o = Bridge();
    o.refuseFeatures = true;
    return o;
}

INSTANTIATE_TEST_SUITE_P(
    Uhid, VmFeature,
    ::testing::Values(
        FeatureCase{"LineRate9600", Bridge(), {0x00, 0x80, 0x25, 0x00, 0x00, 0x03, 0, 0, 0, 0}, true},
        FeatureCase{"NumberedFeature", Numbered(), {0x03, 0x12, 0x34}, true},
        FeatureCase{"DeviceRefuses", Refusing(), {0x00, 0x80, 0x25, 0x00, 0x00, 0x03, 0, 0, 0, 0}, false}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- reading ---------------------------------------------------------------

struct ReadingCase {
    const char* name;
    UhidOptions options;
    bool numbered;
};

void PrintTo(const ReadingCase& c, std::ostream* os) {
    *os << c.name;
}

class VmReading : public Vm, public ::testing::WithParamInterface<ReadingCase> {};

TEST_P(VmReading, ReportsArriveInOrderWithTheirNumberFirst) {
    const auto& c = GetParam();
    UhidDevice device;
    const auto info = Plug(device, c.options);
    ASSERT_TRUE(info);
    const auto handle = Open(info->path, HidPlatform::Access::Read);
    ASSERT_TRUE(handle);
    const int length = handle->InputReportByteLength();

    // Report i: the bridge's count byte 0xF0 | (i % 8), then i's bytes; a
    // numbered device's report 1 carries i likewise.
    constexpr int kReports = 400;
    auto reportFor = [&](int i) {
        std::vector<std::uint8_t> r;
        if (c.numbered)
            r = {0x01, static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8), 0xA5, 0x5A};
        else
            r = {static_cast<std::uint8_t>(0xF0 | (i % 8)),
                 static_cast<std::uint8_t>(i),
                 static_cast<std::uint8_t>(i >> 8),
                 0,
                 0,
                 0,
                 0,
                 0};
        return r;
    };
    std::atomic<int> delivered{0};
    std::vector<std::vector<std::uint8_t>> got;
    int lastError = 0;
    std::thread reader([&] {
        std::vector<std::uint8_t> buffer(static_cast<std::size_t>(length));
        while (delivered < kReports) {
            int error = 0;
            const int n = handle->Read(buffer.data(), buffer.size(), 5000, error);
            if (n <= 0) {
                lastError = n < 0 ? error : ETIMEDOUT;
                return;
            }
            got.emplace_back(buffer.begin(), buffer.begin() + n);
            ++delivered;
        }
    });
    // The kernel keeps 64 reports for a reader; send in batches it can hold.
    for (int i = 0; i < kReports; ++i) {
        ASSERT_TRUE(device.Input(reportFor(i)));
        if (i % 32 == 31) {
            const auto end = Clock::now() + std::chrono::seconds(10);
            while (delivered <= i && Clock::now() < end && lastError == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    reader.join();
    EXPECT_EQ(lastError, 0) << std::strerror(lastError);
    ASSERT_EQ(got.size(), static_cast<std::size_t>(kReports));
    for (int i = 0; i < kReports; ++i) {
        auto expected = reportFor(i);
        if (!c.numbered) expected.insert(expected.begin(), 0x00);
        ASSERT_EQ(got[static_cast<std::size_t>(i)], expected) << "report " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Uhid, VmReading,
                         ::testing::Values(ReadingCase{"Bridge", Bridge(), false},
                                           ReadingCase{"NumberedReports", Numbered(), true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A Read blocked with a long wait, on a thread of its own.
struct BlockedRead {
    std::atomic<bool> done{false};
    int result = 0;
    int error = 0;
    std::thread thread;
    explicit BlockedRead(HidHandle& handle) {
        thread = std::thread([this, &handle] {
            std::uint8_t buffer[64];
            result = handle.Read(buffer, sizeof buffer, 60000, error);
            done = true;
        });
    }
    ~BlockedRead() {
        if (thread.joinable()) thread.join();
    }
};

TEST_F(Vm, CancelEndsABlockedRead) {
    UhidDevice device;
    const auto info = Plug(device, Bridge());
    ASSERT_TRUE(info);
    const auto handle = Open(info->path, HidPlatform::Access::Read);
    ASSERT_TRUE(handle);
    BlockedRead read(*handle);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(read.done);
    handle->Cancel();
    // Far shorter than the read's own wait.
    EXPECT_TRUE(WaitUntil([&] { return read.done.load(); }, 5000));
    read.thread.join();
    EXPECT_EQ(read.result, -1);
    EXPECT_EQ(read.error, ECANCELED);
}

TEST_F(Vm, DestructionIsARemovalAndEndsTheRead) {
    UhidDevice device;
    const auto info = Plug(device, Bridge());
    ASSERT_TRUE(info);
    const auto handle = Open(info->path, HidPlatform::Access::Read);
    ASSERT_TRUE(handle);
    BlockedRead read(*handle);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const int before = changes_;
    device.Destroy();
    EXPECT_TRUE(WaitUntil([&] { return read.done.load(); }, 5000)) << "the read did not end";
    read.thread.join();
    EXPECT_EQ(read.result, -1);
    EXPECT_NE(read.error, 0);
    EXPECT_TRUE(WaitUntil([&] { return changes_ > before; })) << "no change reported";
    EXPECT_FALSE(Find(0x1A86, 0xE008));
    // Every later read on the gone device fails at once instead of waiting.
    for (int i = 0; i < 5; ++i) {
        std::uint8_t buffer[16];
        int error = 0;
        const auto start = Clock::now();
        EXPECT_EQ(handle->Read(buffer, sizeof buffer, 60000, error), -1);
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(30));
    }
    int error = 0;
    EXPECT_EQ(platform_->Open(info->path, HidPlatform::Access::ReadWrite, error), nullptr);
}

// ---- a user who may not open the node --------------------------------------

TEST_F(Vm, ANodeTheUserMayNotOpenIsStillKnownByItsIdentifiers) {
    UhidDevice device;
    const auto info = Plug(device, Bridge());
    ASSERT_TRUE(info);
    // The node is root's alone (0600); a child that drops to "nobody" checks
    // what an ordinary user gets.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::execl(g_self, g_self, "--as-nobody", info->path.c_str(), static_cast<char*>(nullptr));
        ::_exit(120);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the unprivileged check failed at step " << WEXITSTATUS(status);
}

// The unprivileged child: exits with the number of the first check that
// failed, 0 when all held.
int CheckAsNobody(const char* path) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) return 1;
    LinuxHidPlatform platform;
    int error = 0;
    if (platform.Open(path, HidPlatform::Access::ReadWrite, error) != nullptr || error != EACCES) return 2;
    error = 0;
    if (platform.Open(path, HidPlatform::Access::Read, error) != nullptr || error != EACCES) return 3;
    const auto handle = platform.Open(path, HidPlatform::Access::QueryOnly, error);
    if (!handle) return 4;
    HidAttributes a;
    if (!handle->GetAttributes(a) || a.vendorId != 0x1A86 || a.productId != 0xE008) return 5;
    std::u16string text;
    if (!handle->GetProductString(text) || text != u"USB to Serial") return 6;
    if (handle->InputReportByteLength() != 9) return 7;
    const std::uint8_t report[10] = {0x00, 0x80, 0x25, 0x00, 0x00, 0x03};
    if (handle->SetFeature(report, sizeof report)) return 8;
    return 0;
}

// ---- the emulated USB tablet ---------------------------------------------

constexpr std::uint16_t kTabletVendor = 0x0627;
constexpr std::uint16_t kTabletProduct = 0x0001;

TEST_F(Vm, UsbTabletStringsComeFromItsUsbDevice) {
    const auto info = Find(kTabletVendor, kTabletProduct);
    ASSERT_TRUE(info) << "the machine's USB tablet is not listed";
    const auto handle = Open(info->path, HidPlatform::Access::ReadWrite);
    ASSERT_TRUE(handle);
    std::u16string text;
    // The USB product string alone; the kernel's HID name would put the
    // maker in front ("QEMU QEMU USB Tablet").
    ASSERT_TRUE(handle->GetProductString(text));
    EXPECT_TRUE(text == u"QEMU USB Tablet");
    ASSERT_TRUE(handle->GetSerialNumberString(text));
    EXPECT_TRUE(text == u"CORVEL-TABLET-1");
    // Buttons, two 16-bit axes and a wheel, without report numbers.
    EXPECT_GE(handle->InputReportByteLength(), 6);
    std::uint16_t words[254];
    std::fill(std::begin(words), std::end(words), 0xFFFF);
    ASSERT_TRUE(handle->GetIndexedString(0, words, 254));
    EXPECT_NE(words[0], text[0]);  // so its serial is taken as one
}

// Last: the host pulls the tablet out when it reads the request.
TEST_F(Vm, UsbTabletUnplugIsARemovalAndEndsTheRead) {
    const auto info = Find(kTabletVendor, kTabletProduct);
    ASSERT_TRUE(info);
    const auto handle = Open(info->path, HidPlatform::Access::Read);
    ASSERT_TRUE(handle);
    BlockedRead read(*handle);
    const int before = changes_;
    std::printf("@@CORVEL-VM unplug-tablet\n");
    std::fflush(stdout);
    EXPECT_TRUE(WaitUntil([&] { return changes_ > before && !Find(kTabletVendor, kTabletProduct); }, 60000))
        << "the tablet's removal was not seen";
    EXPECT_TRUE(WaitUntil([&] { return read.done.load(); }, 5000)) << "the read did not end";
    read.thread.join();
    EXPECT_EQ(read.result, -1);
}

}  // namespace
}  // namespace corvel

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--as-nobody") == 0) return corvel::CheckAsNobody(argv[2]);
    corvel::g_self = argv[0];
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
