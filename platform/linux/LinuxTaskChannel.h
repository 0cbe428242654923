// The task path to one drive: its SCSI generic node, held exclusively, and SG_IO.
#pragma once

#include <memory>
#include <string>

#include "platform/Backend.h"
#include "platform/linux/MediaPollingPause.h"
#include "platform/linux/Sysfs.h"
#include "log/UniqueFd.h"

namespace platform {

class LinuxTaskChannel : public TaskChannel {
public:
    LinuxTaskChannel(sysfs::Layout layout, std::string deviceKey, std::string genericName);
    ~LinuxTaskChannel() override;

    // The generic node read-write and exclusive (a second holder is refused), then the
    // block node exclusive (a mounted disc refuses it), then media polling off.
    IOReturn obtainExclusiveAccess() override;
    IOReturn releaseExclusiveAccess() override;
    // One SG_IO on the held generic node.
    scsi::Result execute(const scsi::Command& command) override;

private:
    IOReturn holdBlockNode(const std::string& blockName);

    sysfs::Layout layout_;
    std::string deviceKey_;
    std::string genericName_;
    kdulog::UniqueFd generic_;
    kdulog::UniqueFd block_;
    std::unique_ptr<MediaPollingPause> pollingPause_;
};

}  // namespace platform
