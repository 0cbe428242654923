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
    // The generic node read-write and exclusive (a second holder is refused), then the
    // block node exclusive (a mounted disc refuses it), then media polling off.
    static Opened open(const sysfs::Layout& layout, const std::string& deviceKey, const std::string& genericName);
    ~LinuxTaskChannel() override { release(); }

    // One SG_IO on the held generic node.
    scsi::Result execute(const scsi::Command& command) override;
    scsi::TransportError release() override;

private:
    LinuxTaskChannel(sysfs::Layout layout, std::string deviceKey, std::string genericName);
    scsi::TransportError holdGenericNode();
    scsi::TransportError holdBlockNode(const std::string& blockName);

    sysfs::Layout layout_;
    std::string deviceKey_;
    std::string genericName_;
    kdulog::UniqueFd generic_;
    kdulog::UniqueFd block_;
    std::unique_ptr<MediaPollingPause> pollingPause_;
};

}  // namespace platform
