// Internal to the simulator: the state one backend shares with its nodes, channels and
// event sources, which may outlive the backend object itself.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/Backend.h"
#include "platform/sim/SimBackend.h"
#include "simdrive/DriveUnit.h"

namespace sim {

// What this process knows of one drive beyond its file: the images it is receiving and
// the record of what reached it.
struct DriveRuntime {
    explicit DriveRuntime(std::filesystem::path driveFile) : unit(std::move(driveFile)) {}
    std::mutex mutex;
    DriveUnit unit;                           // counts commands even when nothing is recorded
    bool recording = true;                    // keep what the drive received in `log`
    std::vector<RecordedCommand> log;
};

// The folder is untrusted: an entry that is not a regular file (a FIFO would block its
// reader) is never opened, and a link or a file with several names is no drive. Why, or
// null when fine.
const char* untrustedDriveEntry(const std::filesystem::path& folder, const std::filesystem::path& entry);

class SimFolder : public std::enable_shared_from_this<SimFolder> {
public:
    explicit SimFolder(std::filesystem::path path) : path_(std::move(path)) {}

    const std::filesystem::path& path() const { return path_; }

    // Names of the drive files present now, sorted.
    std::set<std::string> driveNames() const;
    using NodeMap = std::map<std::string, std::shared_ptr<platform::DeviceNode>>;
    // The node of every attached drive, in name order. A node listed in `stale` is replaced
    // by a new one (its file was deleted and made again), unless that happened already.
    std::vector<std::shared_ptr<platform::DeviceNode>> attachedDrives(const NodeMap& stale = {});
    // The disc in each attached drive that has one.
    std::vector<platform::DiskDescription> presentDisks() const;

    // The drive named `key`; `opening` a channel to a drive that went away reaches the
    // drive in its file now, while channels opened before keep the one that went away.
    std::shared_ptr<DriveRuntime> runtime(const std::string& key, bool opening = false);
    void setRecording(bool recording);

private:
    void warnOnce(const std::string& name, const char* why) const;

    const std::filesystem::path path_;
    mutable std::mutex warnedMutex_;
    mutable std::set<std::string> warned_;  // entries already reported as skipped
    mutable std::mutex mutex_;  // taken before any DriveRuntime::mutex, never after
    NodeMap nodes_;
    std::map<std::string, std::shared_ptr<DriveRuntime>> runtimes_;
    bool recording_ = true;
};

// The disc of one drive as the hot-plug reports describe it.
platform::DiskDescription describeDisc(const std::string& key, const DriveSpec& profile);

}  // namespace sim
