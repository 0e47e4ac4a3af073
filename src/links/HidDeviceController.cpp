#include "links/HidDeviceController.h"

#include <algorithm>
#include <atomic>

#include "links/HidDeviceReadThread.h"

namespace corvel {

namespace {

std::atomic<int> g_controllerCount{0};

// Strings are read into buffers of 254 UTF-16 units, the last one kept for
// the terminating NUL.
constexpr std::size_t kStringWords = 254;

// A reader needs a buffer even when the device could not tell its report
// length: one full-speed report with its number byte.
constexpr int kUnknownReportLength = 65;

std::u16string UpToNul(const std::u16string& s) {
    std::u16string t = s.substr(0, std::min(s.find(u'\0'), kStringWords - 1));
    return t;
}

}  // namespace

// ---- THidDevice

THidDevice::THidDevice(std::unique_ptr<THidPnPInfo> info, THidDeviceController* controller)
    : controller_(controller),
      platform_(controller->platform_),
      setupInfo_(std::move(info)),
      channel_(std::make_shared<HidReadChannel>(platform_, setupInfo_->InterfacePath)) {
    SetDataHandler(controller->onDeviceData_);
    unplugHandler_ = controller->onDeviceUnplug_;
    accessChanged();
    int error = 0;
    queryHandle_ = platform_.Open(setupInfo_->InterfacePath, HidPlatform::Access::ReadWrite, error);
    canReadWrite_ = queryHandle_ != nullptr;
    if (!queryHandle_)
        queryHandle_ = platform_.Open(setupInfo_->InterfacePath, HidPlatform::Access::QueryOnly, error);
    if (!queryHandle_) throw EControllerError("device cannot be opened");
    if (!queryHandle_->GetAttributes(attributes_)) throw EControllerError("device cannot be identified");
    closeQueryHandle();
}

THidDevice::~THidDevice() {
    const THidDataEvent data = dataHandler_;
    const THidPlugEvent unplug = unplugHandler_;
    const std::int32_t wait = ReadWaitTime();
    SetDataHandler({});
    unplugHandler_ = {};
    CloseHandles();
    if (!controller_) return;
    auto& list = controller_->devices_;
    const auto at = std::find(list.begin(), list.end(), this);
    if (at == list.end()) return;
    if (!present_) {
        list.erase(at);
        return;
    }
    // Still present: the controller gets a fresh, unclaimed object for it.
    THidDevice* fresh = nullptr;
    try {
        fresh = new THidDevice(std::make_unique<THidPnPInfo>(*setupInfo_), controller_);
    } catch (const std::exception&) {
        // It can't be opened or identified just now: it leaves the list, and
        // the next device change finds it again as an arrival.
        list.erase(at);
        return;
    }
    fresh->SetDataHandler(data);
    fresh->unplugHandler_ = unplug;
    fresh->SetReadWaitTime(wait);
    *at = fresh;
}

void THidDevice::accessChanged() {
    channel_->SetAllowed(mayOpen());
}

bool THidDevice::OpenQueryHandle() {
    if (!queryHandle_ && mayOpen()) {
        int error = 0;
        queryHandle_ = platform_.Open(setupInfo_->InterfacePath, HidPlatform::Access::ReadWrite, error);
        canReadWrite_ = queryHandle_ != nullptr;
        if (!queryHandle_)
            queryHandle_ = platform_.Open(setupInfo_->InterfacePath, HidPlatform::Access::QueryOnly, error);
    }
    return queryHandle_ != nullptr;
}

void THidDevice::CloseHandles() {
    closeQueryHandle();
    channel_->Close();
}

std::u16string THidDevice::ProductText() {
    if (productText_.empty() && OpenQueryHandle()) {
        std::u16string text;
        if (queryHandle_->GetProductString(text)) productText_ = UpToNul(text);
        closeQueryHandle();
    }
    return productText_;
}

std::u16string THidDevice::SerialText() {
    if (serialText_.empty() && OpenQueryHandle()) {
        std::u16string serial;
        if (queryHandle_->GetSerialNumberString(serial)) {
            std::vector<std::uint16_t> b(kStringWords, 0);
            const std::u16string s = UpToNul(serial);
            std::copy(s.begin(), s.end(), b.begin());
            std::vector<std::uint16_t> a(kStringWords, 0xFFFF);
            queryHandle_->GetIndexedString(0, a.data(), a.size());
            // String 0's length: up to the last word it wrote, its NUL
            // excluded.
            std::size_t n = 0;
            for (std::size_t i = kStringWords; i-- > 0;) {
                if (a[i] != 0xFFFF) {
                    n = a[i] == 0 ? i : i + 1;
                    break;
                }
            }
            // Some devices answer string 0 (their language list) when asked
            // for a serial number they don't have: such a "serial" is none.
            if (!std::equal(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(n), b.begin()))
                serialText_ = s;
        }
        closeQueryHandle();
    }
    return serialText_;
}

int THidDevice::InputReportByteLength() {
    if (inputReportLength_ < 0 && OpenQueryHandle()) {
        inputReportLength_ = std::max(queryHandle_->InputReportByteLength(), 0);
        closeQueryHandle();
    }
    return std::max(inputReportLength_, 0);
}

std::int32_t THidDevice::ReadWaitTime() const {
    return channel_->readWaitTime.load();
}

void THidDevice::SetReadWaitTime(std::int32_t ms) {
    if (ms >= 10 && ms <= 10000) channel_->readWaitTime = ms;
}

void THidDevice::SetDataHandler(THidDataEvent handler) {
    if (!handler) StopReading();
    dataHandler_ = std::move(handler);
    dataCall_ = dataHandler_ ? std::make_shared<const THidDataEvent>(dataHandler_) : nullptr;
    StartReading();
}

void THidDevice::StartReading() {
    if (!dataHandler_ || !present_ || !claimed_ || !canReadWrite_ || reader_) return;
    int length = InputReportByteLength();
    if (length <= 0) length = kUnknownReportLength;
    reader_ = std::make_unique<THidDeviceReadThread>(*this, channel_, length);
    reader_->Resume();
}

void THidDevice::StopReading() {
    if (!reader_) return;
    std::unique_ptr<THidDeviceReadThread> reader = std::move(reader_);
    reader->Stop();
}

void THidDevice::deliverData(const std::uint8_t* report, std::uint32_t bytesRead) {
    // A reference of its own: the handler may release this very device
    // from a nested loop. Shared rather than copied, so that a report costs
    // no allocation.
    const std::shared_ptr<const THidDataEvent> handler = dataCall_;
    if (!handler) return;
    const auto size = static_cast<std::uint16_t>(std::min<std::uint32_t>(bytesRead - 1, 0xFFFF));
    (*handler)(*this, report[0], report + 1, size);
}

void THidDevice::deliverError(std::uint32_t error) {
    if (!dataErrorHandler_) return;
    const THidDataErrorEvent handler = dataErrorHandler_;
    handler(*this, error);
}

bool THidDevice::SendFeatureReport(const std::uint8_t* bytes, std::size_t length) {
    if (!OpenQueryHandle()) return false;
    return queryHandle_->SetFeature(bytes, length);
}

void THidDevice::MarkUnplugged() {
    CloseHandles();
    present_ = false;
    accessChanged();
    if (unplugHandler_) {
        const THidPlugEvent handler = unplugHandler_;
        handler(*this);
    }
    unplugHandler_ = {};
}

// ---- THidDeviceController

THidDeviceController::THidDeviceController(HidPlatform& platform, QObject* owner)
    : QObject(owner), platform_(platform) {
    if (++g_controllerCount > 1) {
        --g_controllerCount;
        throw EControllerError("Only one THidDeviceController allowed per program");
    }
    devices_ = ScanDevices();
    if (platform_.Available()) {
        platform_.SetChangeHandler([this] { DeviceChange(); });
        watching_ = true;
    }
}

THidDeviceController::~THidDeviceController() {
    --g_controllerCount;
    onDeviceChange_ = {};
    onDeviceUnplug_ = {};
    onEnumerate_ = {};
    if (watching_) platform_.SetChangeHandler({});
    std::vector<THidDevice*> list;
    list.swap(devices_);
    for (THidDevice* d : list) {
        d->controller_ = nullptr;
        if (d->claimed_) {
            d->MarkUnplugged();  // its holder still destroys it
        } else {
            delete d;
        }
    }
}

int THidDeviceController::ControllerCount() {
    return g_controllerCount.load();
}

std::vector<THidDevice*> THidDeviceController::ScanDevices() {
    std::vector<THidDevice*> list;
    if (!platform_.Available()) return list;
    for (const HidInterfaceInfo& info : platform_.Enumerate()) {
        // An interface whose path can't be had is skipped.
        if (info.path.empty()) continue;
        auto pnp = std::make_unique<THidPnPInfo>();
        pnp->InterfacePath = info.path;
        pnp->DevInst = info.devInst;
        try {
            list.push_back(new THidDevice(std::move(pnp), this));
        } catch (const std::exception&) {
            // Neither opened nor identified: left out without a word.
        }
    }
    return list;
}

std::int32_t THidDeviceController::OfferDevices() {
    std::int32_t count = 0;
    // Handlers may claim devices, but the list keeps its length meanwhile.
    for (std::size_t i = 0; i < devices_.size(); ++i) {
        THidDevice* d = devices_[i];
        if (!d->present_) continue;
        ++count;
        bool goOn = false;
        if (onEnumerate_) {
            d->beingOffered_ = true;
            d->accessChanged();
            const THidEnumerateEvent handler = onEnumerate_;
            goOn = handler(*d, static_cast<std::int32_t>(i));
            d->beingOffered_ = false;
            d->accessChanged();
        }
        if (!d->claimed_) d->CloseHandles();
        if (!goOn) break;
    }
    return count;
}

THidDevice* THidDeviceController::ClaimDevice(std::int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= devices_.size()) return nullptr;
    THidDevice* d = devices_[static_cast<std::size_t>(index)];
    if (d->claimed_) return nullptr;
    d->claimed_ = true;
    d->accessChanged();
    d->StartReading();
    return d;
}

void THidDeviceController::DeviceChange() {
    bool changed = false;
    std::vector<THidDevice*> fresh = ScanDevices();
    auto inFresh = [&fresh](std::uint32_t devInst) {
        return std::any_of(fresh.begin(), fresh.end(),
                           [devInst](THidDevice* n) { return n && n->setupInfo_->DevInst == devInst; });
    };
    // Removals, from the last position to the first.
    for (std::size_t i = devices_.size(); i-- > 0;) {
        if (i >= devices_.size()) continue;  // a handler released devices meanwhile
        THidDevice* d = devices_[i];
        if (d->present_ && inFresh(d->setupInfo_->DevInst)) continue;
        d->MarkUnplugged();
        if (onRemoval_) {
            d->beingOffered_ = true;
            const THidPlugEvent handler = onRemoval_;
            handler(*d);
            d->beingOffered_ = false;
        }
        if (!d->claimed_) {
            const auto at = std::find(devices_.begin(), devices_.end(), d);
            if (at != devices_.end()) devices_.erase(at);
            d->controller_ = nullptr;
            delete d;
        }
        changed = true;
    }
    // Duplicates: what is still listed and present stays as it is.
    for (THidDevice*& n : fresh) {
        const std::uint32_t devInst = n->setupInfo_->DevInst;
        const bool known = std::any_of(devices_.begin(), devices_.end(), [devInst](THidDevice* d) {
            return d->present_ && d->setupInfo_->DevInst == devInst;
        });
        if (!known) continue;
        n->controller_ = nullptr;
        delete n;
        n = nullptr;
    }
    // Arrivals.
    for (THidDevice* n : fresh) {
        if (!n) continue;
        devices_.push_back(n);
        changed = true;
        if (onArrival_) {
            n->beingOffered_ = true;
            n->accessChanged();
            const THidPlugEvent handler = onArrival_;
            handler(*n);
            n->beingOffered_ = false;
            n->accessChanged();
        }
    }
    if ((changed || !changeReported_) && onDeviceChange_) {
        const THidNotifyEvent handler = onDeviceChange_;
        handler(*this);
    }
}

void THidDeviceController::SetDevThreadSleepTime(std::int32_t ms) {
    if (ms != devThreadSleepTime_) {
        for (THidDevice* d : devices_)
            if (d->ReadWaitTime() == devThreadSleepTime_) d->SetReadWaitTime(ms);
    }
    devThreadSleepTime_ = ms;
}

void THidDeviceController::SetOnDeviceChange(THidNotifyEvent h) {
    if (h.SameMethod(onDeviceChange_)) return;
    onDeviceChange_ = std::move(h);
    DeviceChange();
    changeReported_ = true;
}

void THidDeviceController::SetOnDeviceData(THidDataEvent h) {
    if (h.SameMethod(onDeviceData_)) return;
    const std::vector<THidDevice*> list = devices_;
    for (THidDevice* d : list)
        if (d->dataHandler_.SameMethod(onDeviceData_)) d->SetDataHandler(h);
    onDeviceData_ = std::move(h);
}

void THidDeviceController::SetOnDeviceDataError(THidDataErrorEvent h) {
    if (h.SameMethod(onDeviceDataError_)) return;
    for (THidDevice* d : devices_)
        if (d->dataErrorHandler_.SameMethod(onDeviceDataError_)) d->dataErrorHandler_ = h;
    onDeviceDataError_ = std::move(h);
}

void THidDeviceController::SetOnDeviceUnplug(THidPlugEvent h) {
    if (h.SameMethod(onDeviceUnplug_)) return;
    for (THidDevice* d : devices_)
        if (d->unplugHandler_.SameMethod(onDeviceUnplug_)) d->unplugHandler_ = h;
    onDeviceUnplug_ = std::move(h);
}

}  // namespace corvel
