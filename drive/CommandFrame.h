// The execution frame that every SCSI command of the drive layer runs through: describe the
// command, write its request line, execute it on the held drive. The commands differ only in
// their CDB, data, request line and how they judge the outcome.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/Backend.h"
#include "scsi/Result.h"

namespace drive {

struct CommandRequest {
    const char* function = "";        // names the command in log lines
    std::array<std::uint8_t, 16> cdb{};
    std::uint8_t cdbLength = 0;       // 6 or 12
    std::span<std::uint8_t> data{};   // the command's buffer, moved whole; empty for none
    scsi::Direction direction = scsi::Direction::None;
    const char* banner = nullptr;     // written before anything else
    const char* requestLine = "";
};

// Runs the command on the held drive; a transport error is logged.
scsi::Result runCommand(platform::TaskChannel& channel, const CommandRequest& request);

// Writes "taskStatus[...]" and "transferCountLo[...]" to stderr.
void printStatusAndCount(const scsi::Result& result);

}  // namespace drive
