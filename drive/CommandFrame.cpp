#include "drive/CommandFrame.h"

#include <chrono>

#include "drive/STUCMethod.h"
#include "log/Console.h"
#include "log/Log.h"

namespace drive {

scsi::Result runCommand(platform::TaskChannel& channel, const CommandRequest& request) {
    if (request.banner) kdulog::consoleErr("%s", request.banner);
    kdulog::consoleErr("%s", request.requestLine);

    scsi::Command command;
    command.cdb = request.cdb;
    command.cdbLength = request.cdbLength;
    command.direction = request.data.empty() ? scsi::Direction::None : request.direction;
    command.data = request.data;
    command.timeout = std::chrono::milliseconds(kCommandTimeoutMs);
    const scsi::Result result = channel.execute(command);
    if (!result.delivered())
        KDU_LOG_ERR(request.function, "Error executing task. (0x%08x)\n", static_cast<unsigned>(result.error));
    return result;
}

void printStatusAndCount(const scsi::Result& result) {
    kdulog::consoleErr("taskStatus[0x%08x]\n", result.statusWord());
    kdulog::consoleErr("transferCountLo[%u]\n", static_cast<std::uint32_t>(result.transferred));
}

}  // namespace drive
