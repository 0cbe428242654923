// The execution frame that every SCSI command of the drive layer runs through: create a
// task, describe the data, set CDB and timeout, execute synchronously, release. The
// commands differ only in their CDB, data, request line and how they judge the outcome.
#pragma once

#include <array>
#include <cstdint>

#include "platform/SCSITaskLib.h"

namespace drive {

struct CommandRequest {
    const char* function = "";        // names the command in log lines
    std::array<std::uint8_t, 16> cdb{};
    std::uint8_t cdbLength = 0;       // 6 or 12
    std::uint8_t* data = nullptr;     // the command's buffer, or null for none
    std::uint32_t dataLength = 0;     // the buffer's length, also the transfer count
    std::uint8_t direction = platform::kSCSIDataTransfer_NoDataTransfer;
    const char* banner = nullptr;     // written once the task exists, before anything else
    const char* requestLine = "";
};

struct CommandOutcome {
    bool ran = false;       // false: no task (or no range list); the command returns its failure value
    bool executed = false;  // the execution call itself succeeded
    platform::IOReturn executeResult = platform::kIOReturnSuccess;  // why it did not, when it did not
    platform::SCSITaskStatus status = platform::kSCSITaskStatus_DeliveryFailure;
    platform::SCSI_Sense_Data sense{};
    std::uint64_t realizedCount = 0;

    bool good() const { return status == platform::kSCSITaskStatus_GOOD; }
    bool checkCondition() const { return status == platform::kSCSITaskStatus_CHECK_CONDITION; }
};

// Runs the command on `interface` (not null). When the execution call fails, the outcome's
// status is kSCSITaskStatus_DeliveryFailure whatever the pass-through reported, so no
// command mistakes an undelivered task for GOOD or CHECK CONDITION.
CommandOutcome runCommand(platform::SCSITaskDeviceInterface* interface, const CommandRequest& request);

// Writes "taskStatus[...]" and "transferCountLo[...]" to stderr.
void printStatusAndCount(const CommandOutcome& outcome);

}  // namespace drive
