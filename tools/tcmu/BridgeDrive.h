// One simulated drive served to the kernel: a thread takes the commands off its backstore's
// ring, has the drive model answer them and completes them after the modelled wire time.
#pragma once

#include <atomic>
#include <chrono>
#include <map>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "log/UniqueFd.h"
#include "platform/linux/tcmu/TargetConfig.h"
#include "platform/linux/tcmu/TcmuRing.h"
#include "simdrive/DriveUnit.h"
#include "tools/tcmu/KernelHousekeeping.h"

namespace bridge {

class BridgeDrive {
public:
    BridgeDrive(std::filesystem::path driveFile, std::unique_ptr<tcmu::Ring> ring);
    // Stops serving (the LUN must be gone by then) and reports the image transfers.
    ~BridgeDrive();
    BridgeDrive(const BridgeDrive&) = delete;
    BridgeDrive& operator=(const BridgeDrive&) = delete;

    const std::filesystem::path& file() const { return unit_.file(); }

    // The kernel has attached the drive: from now on commands are the programs' own,
    // except the media checks the kernel makes when the block node is opened. Media
    // polling is turned off, so that no kernel command falls between a program's.
    void attached(const tcmu::AttachedNodes& nodes);

    // Waits until the kernel has sent nothing for `quiet` (its probing after the nodes
    // appear), at most `limit`.
    void settle(std::chrono::milliseconds quiet, std::chrono::milliseconds limit) const;

    // Readable once the drive has vanished (its file says so): its LUN is to be removed.
    int vanishedFd() const { return vanished_.get(); }
    // Readable once a drive that vanished for a while is back: its LUN is to be added again.
    int returnedFd() const { return returned_->get(); }
    // The drive has vanished: commands are the kernel's until attached() again.
    void detached() { attached_ = false; }

private:
    // For the benchmark: how long each image took to arrive, from the first piece's arrival
    // to the last piece's answer, as "image 0xFE: 3 pieces in 1234 us, ...".
    std::string transferReport() const;

    struct ImageTransfer {
        std::uint32_t pieces = 0;
        std::chrono::steady_clock::time_point first, last;
    };
    void noteTransfer(const std::uint8_t* cdb, std::chrono::steady_clock::time_point arrived);

    void serve();
    void handle(const tcmu::RingCommand& command);
    void vanish();

    sim::DriveUnit unit_;
    std::unique_ptr<tcmu::Ring> ring_;
    kdulog::UniqueFd stop_;
    kdulog::UniqueFd vanished_;
    // Shared with the thread that brings the drive back, which may outlive this object.
    std::shared_ptr<kdulog::UniqueFd> returned_;
    std::atomic<bool> attached_{false};
    std::atomic<std::chrono::steady_clock::rep> lastCommand_{0};  // steady clock ticks
    std::string deviceState_;              // sysfs "state" of the attached SCSI device
    KernelHousekeeping housekeeping_;
    std::map<std::uint8_t, ImageTransfer> transfers_;   // by buffer id; the serving thread's own
    std::thread thread_;
};

}  // namespace bridge
