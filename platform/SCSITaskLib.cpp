#include "platform/SCSITaskLib.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>

#include "platform/Backend.h"
#include "platform/Registry.h"

namespace platform {
namespace {

struct Live {
    std::atomic<int> plugIns{0}, mmc{0}, taskDevices{0}, tasks{0};
};
Live& live() {
    static Live instance;
    return instance;
}

struct Trace {
    std::atomic<bool> enabled{false};
    std::mutex mutex;
    std::vector<std::string> events;
};
Trace& trace() {
    static Trace instance;
    return instance;
}
void note(const char* event) {
    auto& t = trace();
    if (!t.enabled.load(std::memory_order_relaxed)) return;
    std::lock_guard lock(t.mutex);
    t.events.emplace_back(event);
}

struct StepFaults {
    std::mutex mutex;
    std::string step;
    IOReturn result = kIOReturnSuccess;
};
StepFaults& stepFaults() {
    static StepFaults instance;
    return instance;
}
// A pending injected failure of this step, consumed by the check.
IOReturn injectedFailure(const char* step) {
    auto& f = stepFaults();
    std::lock_guard lock(f.mutex);
    if (f.result == kIOReturnSuccess || f.step != step) return kIOReturnSuccess;
    IOReturn result = f.result;
    f.result = kIOReturnSuccess;
    return result;
}

}  // namespace

// Task -------------------------------------------------------------------------

IOReturn SCSITaskInterface::SetCommandDescriptorBlock(const std::uint8_t* cdb, std::uint8_t size) {
    if (IOReturn injected = injectedFailure("cdb")) return injected;
    if (!cdb || (size != 6 && size != 10 && size != 12 && size != 16)) return kIOReturnBadArgument;
    cdb_.fill(0);
    std::memcpy(cdb_.data(), cdb, size);
    cdbSize_ = size;
    return kIOReturnSuccess;
}

IOReturn SCSITaskInterface::SetScatterGatherEntries(const IOVirtualRange* ranges, std::uint8_t count,
                                                    std::uint64_t transferCount, std::uint8_t direction) {
    if (IOReturn injected = injectedFailure("ranges")) return injected;
    if (count > 1 || (count == 1 && !ranges) || direction > kSCSIDataTransfer_FromTargetToInitiator)
        return kIOReturnBadArgument;
    // The one range bounds the transfer: a count beyond it would run past the buffer.
    std::uint64_t capacity = count == 1 ? ranges[0].length : 0;
    if (transferCount > capacity) return kIOReturnBadArgument;
    range_ = count == 1 ? ranges[0] : IOVirtualRange{};
    rangeCount_ = count;
    transferCount_ = transferCount;
    direction_ = direction;
    return kIOReturnSuccess;
}

IOReturn SCSITaskInterface::SetTimeoutDuration(std::uint32_t timeoutMs) {
    if (IOReturn injected = injectedFailure("timeout")) return injected;
    timeoutMs_ = timeoutMs;
    return kIOReturnSuccess;
}

IOReturn SCSITaskInterface::ExecuteTaskSync(SCSI_Sense_Data* sense, SCSITaskStatus* status,
                                            std::uint64_t* realizedTransferCount) {
    note("task.execute");
    if (cdbSize_ == 0) {
        if (status) *status = kSCSITaskStatus_DeliveryFailure;
        if (realizedTransferCount) *realizedTransferCount = 0;
        return kIOReturnNotOpen;
    }
    scsi::Command command;
    command.cdb = cdb_;
    command.cdbLength = cdbSize_;
    command.direction = static_cast<scsi::Direction>(direction_);
    if (rangeCount_ && range_.address) command.data = {range_.address, static_cast<std::size_t>(transferCount_)};
    command.timeout = std::chrono::milliseconds(timeoutMs_);

    const scsi::Result result = channel_.execute(command);
    if (status) *status = result.statusWord();
    if (!result.delivered()) {
        if (realizedTransferCount) *realizedTransferCount = 0;
        return static_cast<IOReturn>(result.error);
    }
    if (sense && result.checkCondition()) *sense = result.sense;
    if (realizedTransferCount) *realizedTransferCount = std::min<std::uint64_t>(result.transferred, transferCount_);
    return kIOReturnSuccess;
}

void SCSITaskInterface::Release() {
    note("task.release");
    --live().tasks;
    delete this;
}

// Task device ------------------------------------------------------------------

SCSITaskDeviceInterface::SCSITaskDeviceInterface(std::unique_ptr<TaskChannel> channel)
    : channel_(std::move(channel)) {
    note("taskdevice.create");
    ++live().taskDevices;
}

SCSITaskDeviceInterface::~SCSITaskDeviceInterface() { --live().taskDevices; }

IOReturn SCSITaskDeviceInterface::ObtainExclusiveAccess() {
    IOReturn result = channel_->obtainExclusiveAccess();
    note(result == kIOReturnSuccess ? "exclusive.obtain" : "exclusive.refused");
    return result;
}

IOReturn SCSITaskDeviceInterface::ReleaseExclusiveAccess() {
    IOReturn result = channel_->releaseExclusiveAccess();
    note(result == kIOReturnSuccess ? "exclusive.release" : "exclusive.release-refused");
    return result;
}

SCSITaskInterface* SCSITaskDeviceInterface::CreateSCSITask() {
    if (!channel_->canCreateTask()) {
        note("task.refused");
        return nullptr;
    }
    note("task.create");
    ++live().tasks;
    return new SCSITaskInterface(*channel_);
}

void SCSITaskDeviceInterface::Release() {
    note("taskdevice.release");
    delete this;
}

// MMC interface ----------------------------------------------------------------

MMCDeviceInterface::MMCDeviceInterface(std::shared_ptr<DeviceNode> node) : node_(std::move(node)) {
    note("mmc.create");
    ++live().mmc;
}

MMCDeviceInterface::~MMCDeviceInterface() { --live().mmc; }

SCSITaskDeviceInterface* MMCDeviceInterface::GetSCSITaskDeviceInterface() {
    std::unique_ptr<TaskChannel> channel = node_->openTaskChannel();
    if (!channel) return nullptr;
    return new SCSITaskDeviceInterface(std::move(channel));
}

void MMCDeviceInterface::Release() {
    note("mmc.release");
    delete this;
}

// Plug-in ----------------------------------------------------------------------

IOCFPlugInInterface::IOCFPlugInInterface(std::shared_ptr<DeviceNode> node) : node_(std::move(node)) {
    note("plugin.create");
    ++live().plugIns;
}

IOCFPlugInInterface::~IOCFPlugInInterface() { --live().plugIns; }

HRESULT IOCFPlugInInterface::QueryInterface(const CFUUIDBytes& iid, MMCDeviceInterface** out) {
    if (!out) return E_FAIL;
    *out = nullptr;
    if (!(iid == kIOMMCDeviceInterfaceID)) return E_NOINTERFACE;
    HRESULT result = node_->queryMMCInterface();
    if (result != S_OK) return result;
    *out = new MMCDeviceInterface(node_);
    return S_OK;
}

kern_return_t IOCreatePlugInInterfaceForService(io_service_t service, const CFUUIDBytes& pluginType,
                                                const CFUUIDBytes& interfaceType, IOCFPlugInInterface** plugIn,
                                                std::int32_t* score) {
    if (!plugIn) return kIOReturnBadArgument;
    *plugIn = nullptr;
    if (!(pluginType == kIOMMCDeviceUserClientTypeID) || !(interfaceType == kIOCFPlugInInterfaceID))
        return kIOReturnUnsupported;
    std::shared_ptr<DeviceNode> node = registry::nodeOf(service);
    if (!node) return kIOReturnBadArgument;
    kern_return_t result = node->createPlugIn();
    if (result != kIOReturnSuccess) return result;
    *plugIn = new IOCFPlugInInterface(std::move(node));
    if (score) *score = 0;
    return kIOReturnSuccess;
}

kern_return_t IODestroyPlugInInterface(IOCFPlugInInterface* plugIn) {
    if (!plugIn) return kIOReturnBadArgument;
    note("plugin.destroy");
    delete plugIn;
    return kIOReturnSuccess;
}

namespace testing {
void failNextTaskStep(const std::string& step, IOReturn result) {
    auto& f = stepFaults();
    std::lock_guard lock(f.mutex);
    f.step = step;
    f.result = result;
}
LiveInterfaces liveInterfaces() {
    auto& l = live();
    return {l.plugIns.load(), l.mmc.load(), l.taskDevices.load(), l.tasks.load()};
}
std::vector<std::string> interfaceTrace() {
    auto& t = trace();
    std::lock_guard lock(t.mutex);
    return t.events;
}
void clearInterfaceTrace() {
    auto& t = trace();
    std::lock_guard lock(t.mutex);
    t.events.clear();
    t.enabled = true;
}
}  // namespace testing
}  // namespace platform
