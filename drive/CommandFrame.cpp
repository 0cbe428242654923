#include "log/Console.h"
#include "drive/CommandFrame.h"

#include <cassert>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <new>

#include "drive/STUCMethod.h"
#include "log/Log.h"

namespace drive {
namespace {

struct TaskRelease {
    void operator()(platform::SCSITaskInterface* task) const { task->Release(); }
};
using TaskHolder = std::unique_ptr<platform::SCSITaskInterface, TaskRelease>;

}  // namespace

CommandOutcome runCommand(platform::SCSITaskDeviceInterface* interface, const CommandRequest& request) {
    assert(interface != NULL);
    CommandOutcome outcome;

    TaskHolder task(interface->CreateSCSITask());
    if (!task) {
        kdulog::consoleErr("%s", "CreateSCSITask returned NULL.\n");
        return outcome;
    }
    if (request.banner) kdulog::consoleErr("%s", request.banner);

    std::unique_ptr<platform::IOVirtualRange> range;
    if (request.data) {
        range.reset(new (std::nothrow) platform::IOVirtualRange{request.data, request.dataLength});
        if (!range) {
            kdulog::consoleErr("%s", "Could not malloc an IOVirtualRange\n");
            return outcome;
        }
    }

    // A task whose CDB or data description did not take is never executed: the drive would
    // get a command without the data it announces (a firmware download among them).
    bool described = true;
    platform::IOReturn result = task->SetCommandDescriptorBlock(request.cdb.data(), request.cdbLength);
    if (result != platform::kIOReturnSuccess) {
        KDU_LOG_ERR(request.function, "Error setting CDB. (0x%08x)\n", static_cast<unsigned>(result));
        described = false;
    }

    result = range ? task->SetScatterGatherEntries(range.get(), 1, request.dataLength, request.direction)
                   : task->SetScatterGatherEntries(nullptr, 0, 0, platform::kSCSIDataTransfer_NoDataTransfer);
    if (result != platform::kIOReturnSuccess) {
        KDU_LOG_ERR(request.function, "Error setting scatter-gather entries. (0x%08x)\n",
                    static_cast<unsigned>(result));
        described = false;
    }

    result = task->SetTimeoutDuration(kCommandTimeoutMs);
    if (result != platform::kIOReturnSuccess)
        KDU_LOG_ERR(request.function, "Error setting timeout. (0x%08x)\n", static_cast<unsigned>(result));

    kdulog::consoleErr("%s", request.requestLine);

    outcome.ran = true;
    if (!described) return outcome;  // status stays kSCSITaskStatus_DeliveryFailure
    result = task->ExecuteTaskSync(&outcome.sense, &outcome.status, &outcome.realizedCount);
    outcome.executeResult = result;
    outcome.executed = result == platform::kIOReturnSuccess;
    if (!outcome.executed) {
        KDU_LOG_ERR(request.function, "Error executing task. (0x%08x)\n", static_cast<unsigned>(result));
        outcome.status = platform::kSCSITaskStatus_DeliveryFailure;
    }
    return outcome;
}

void printStatusAndCount(const CommandOutcome& outcome) {
    kdulog::consoleErr("taskStatus[0x%08x]\n", outcome.status);
    kdulog::consoleErr("transferCountLo[%u]\n", static_cast<std::uint32_t>(outcome.realizedCount));
}

}  // namespace drive
