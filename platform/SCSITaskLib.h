// The interface chain of one drive and its SCSI tasks:
//   plug-in -> MMC device interface -> task device interface -> task.
// Each object is released by its owner with Release() (the plug-in with
// IODestroyPlugInInterface), in the order task, task device, MMC, plug-in.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/IOTypes.h"
#include "scsi/Sense.h"

namespace platform {

class DeviceNode;
class TaskChannel;

using SCSI_Sense_Data = scsi::Sense;
using SCSITaskStatus = std::uint32_t;
inline constexpr SCSITaskStatus kSCSITaskStatus_GOOD = 0x00;
inline constexpr SCSITaskStatus kSCSITaskStatus_CHECK_CONDITION = 0x02;
inline constexpr SCSITaskStatus kSCSITaskStatus_BUSY = 0x08;
// Reported when the task could not be delivered at all (no SCSI status exists).
inline constexpr SCSITaskStatus kSCSITaskStatus_DeliveryFailure = 0xFFFFFFFF;

enum SCSIDataTransferDirection : std::uint8_t {
    kSCSIDataTransfer_NoDataTransfer = 0,
    kSCSIDataTransfer_FromInitiatorToTarget = 1,
    kSCSIDataTransfer_FromTargetToInitiator = 2,
};

struct IOVirtualRange {
    std::uint8_t* address = nullptr;
    std::uint32_t length = 0;
};

class SCSITaskInterface {
public:
    IOReturn SetCommandDescriptorBlock(const std::uint8_t* cdb, std::uint8_t size);
    // One range (count 1) or none (count 0); direction as SCSIDataTransferDirection.
    IOReturn SetScatterGatherEntries(const IOVirtualRange* ranges, std::uint8_t count,
                                     std::uint64_t transferCount, std::uint8_t direction);
    IOReturn SetTimeoutDuration(std::uint32_t timeoutMs);
    // Runs the task; on CHECK CONDITION the fixed-format sense data is written to *sense,
    // otherwise *sense is left as it was. On a delivery failure the result is non-zero and
    // *status is kSCSITaskStatus_DeliveryFailure.
    IOReturn ExecuteTaskSync(SCSI_Sense_Data* sense, SCSITaskStatus* status, std::uint64_t* realizedTransferCount);
    void Release();

private:
    friend class SCSITaskDeviceInterface;
    explicit SCSITaskInterface(TaskChannel& channel) : channel_(channel) {}
    ~SCSITaskInterface() = default;

    TaskChannel& channel_;
    std::array<std::uint8_t, 16> cdb_{};
    std::uint8_t cdbSize_ = 0;
    IOVirtualRange range_{};
    std::uint8_t rangeCount_ = 0;
    std::uint64_t transferCount_ = 0;
    std::uint8_t direction_ = kSCSIDataTransfer_NoDataTransfer;
    std::uint32_t timeoutMs_ = 0;
};

class SCSITaskDeviceInterface {
public:
    IOReturn ObtainExclusiveAccess();
    IOReturn ReleaseExclusiveAccess();
    // A new task, or null.
    SCSITaskInterface* CreateSCSITask();
    void Release();

private:
    friend class MMCDeviceInterface;
    explicit SCSITaskDeviceInterface(std::unique_ptr<TaskChannel> channel);
    ~SCSITaskDeviceInterface();

    std::unique_ptr<TaskChannel> channel_;
};

class MMCDeviceInterface {
public:
    // The task device interface, or null.
    SCSITaskDeviceInterface* GetSCSITaskDeviceInterface();
    void Release();

private:
    friend class IOCFPlugInInterface;
    explicit MMCDeviceInterface(std::shared_ptr<DeviceNode> node);
    ~MMCDeviceInterface();

    std::shared_ptr<DeviceNode> node_;
};

class IOCFPlugInInterface {
public:
    HRESULT QueryInterface(const CFUUIDBytes& iid, MMCDeviceInterface** out);

private:
    friend kern_return_t IOCreatePlugInInterfaceForService(io_service_t, const CFUUIDBytes&, const CFUUIDBytes&,
                                                           IOCFPlugInInterface**, std::int32_t*);
    friend kern_return_t IODestroyPlugInInterface(IOCFPlugInInterface*);
    explicit IOCFPlugInInterface(std::shared_ptr<DeviceNode> node);
    ~IOCFPlugInInterface();

    std::shared_ptr<DeviceNode> node_;
};

kern_return_t IOCreatePlugInInterfaceForService(io_service_t service, const CFUUIDBytes& pluginType,
                                                const CFUUIDBytes& interfaceType, IOCFPlugInInterface** plugIn,
                                                std::int32_t* score);
kern_return_t IODestroyPlugInInterface(IOCFPlugInInterface* plugIn);

namespace testing {
// Counts of interface objects alive now, for leak checks in tests.
struct LiveInterfaces {
    int plugIns = 0, mmcInterfaces = 0, taskDevices = 0, tasks = 0;
    friend bool operator==(const LiveInterfaces&, const LiveInterfaces&) = default;
};
LiveInterfaces liveInterfaces();
// Every creation, release and exclusive-access change of the chain, in order, e.g.
// "plugin.create", "mmc.create", "taskdevice.create", "exclusive.obtain", "task.create",
// "task.execute", "task.release", "exclusive.release", "taskdevice.release", "mmc.release",
// "plugin.destroy".
// The next task's step fails with `result` (kIOReturnSuccess clears it): "cdb", "ranges"
// or "timeout".
void failNextTaskStep(const std::string& step, IOReturn result);
// Recording starts with the first clearInterfaceTrace() (tests), so a long-running program
// keeps nothing.
std::vector<std::string> interfaceTrace();
void clearInterfaceTrace();
}  // namespace testing

}  // namespace platform
