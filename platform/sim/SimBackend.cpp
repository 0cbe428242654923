#include "platform/sim/SimBackend.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include "log/Log.h"
#include "log/UniqueFd.h"
#include "simdrive/DriveFile.h"
#include "simdrive/DriveUnit.h"
#include "platform/sim/SimFolder.h"

namespace sim {

using namespace platform;

namespace {

RecordedCommand recordOf(const scsi::Command& command) {
    RecordedCommand record;
    record.cdb.assign(command.cdb.begin(), command.cdb.begin() + std::min<std::size_t>(command.cdbLength, 16));
    if (record.cdb.empty()) record.cdb.assign(1, 0);  // keeps cdb[0] readable for matching
    record.direction = command.direction;
    if (command.direction == scsi::Direction::ToDevice) record.data.assign(command.data.begin(), command.data.end());
    record.transferCount = command.data.size();
    record.timeoutMs = static_cast<std::uint32_t>(command.timeout.count());
    return record;
}

class SimTaskChannel : public TaskChannel {
public:
    SimTaskChannel(std::filesystem::path driveFile, int lockFd, std::shared_ptr<DriveRuntime> runtime)
        : driveFile_(std::move(driveFile)), lockFd_(lockFd), runtime_(std::move(runtime)) {}
    SimTaskChannel(const SimTaskChannel&) = delete;
    SimTaskChannel& operator=(const SimTaskChannel&) = delete;
    ~SimTaskChannel() override {
        if (!held_) return;
        if (!released_) release();
        if (held_) givenBack();  // a refused release still ends with the channel
    }

    // The flock, unless the drive file refuses; noted as the request it answers.
    scsi::TransportError obtain() {
        scsi::TransportError result = scsi::TransportError::None;
        std::optional<DriveSpec> profile = loadDriveFileCached("sim::SimTaskChannel::obtainExclusiveAccess", driveFile_, result);
        if (profile && profile->faults.exclusiveAccess) {
            result = scsi::TransportError::Busy;
        } else if (profile) {
            if (::flock(lockFd_.get(), LOCK_EX | LOCK_NB) == 0) held_ = true;
            else result = errno == EWOULDBLOCK ? scsi::TransportError::Busy : scsi::TransportError::Failed;
        }
        note(RecordedCommand::Kind::ObtainExclusiveAccess, result);
        return result;
    }

    scsi::TransportError release() override {
        if (released_) return scsi::TransportError::None;
        released_ = true;
        scsi::TransportError result = scsi::TransportError::None;
        std::optional<DriveSpec> profile = loadDriveFileCached("sim::SimTaskChannel::releaseExclusiveAccess", driveFile_, result);
        if (profile && profile->faults.release) {
            result = scsi::TransportError::NotPermitted;  // still held until the channel closes
        } else {
            ::flock(lockFd_.get(), LOCK_UN);
            held_ = false;
            givenBack();
        }
        note(RecordedCommand::Kind::ReleaseExclusiveAccess, result);
        return result;
    }

    scsi::Result execute(const scsi::Command& command) override {
        if (released_) return {.error = scsi::TransportError::NotOpen};
        scsi::TransportError ignored = scsi::TransportError::None;
        std::optional<DriveSpec> profile = loadDriveFileCached("sim::SimTaskChannel::execute", driveFile_, ignored);
        // A detached drive still takes the command: its execution reports the loss.
        if (profile && profile->faults.task) return {.error = scsi::TransportError::NoResources};
        // The modelled latency and wire time run from the moment the command arrives: the
        // simulator's own bookkeeping overlaps them, as a real drive's work overlaps the bus.
        const auto arrived = std::chrono::steady_clock::now();
        std::chrono::microseconds delay{0};
        scsi::Result result;
        {
            std::lock_guard lock(runtime_->mutex);
            // Copied before the drive answers (it may change the data); only when recording,
            // as the front ends run without.
            std::optional<RecordedCommand> record;
            if (runtime_->recording) record = recordOf(command);
            result = runtime_->unit.execute(command, wallClockMs(), delay);
            if (record) {
                record->result = result.error;
                record->status = result.statusWord();
                runtime_->log.push_back(std::move(*record));
            }
        }
        if (delay.count() > 0) waitUntil(arrived + delay);
        return result;
    }

private:
    // Another process may take the drive now: its saves are the drive's own.
    void givenBack() {
        std::lock_guard lock(runtime_->mutex);
        runtime_->unit.givenBack();
    }
    void note(RecordedCommand::Kind kind, scsi::TransportError result) {
        RecordedCommand record;
        record.kind = kind;
        record.result = result;
        std::lock_guard lock(runtime_->mutex);
        if (runtime_->recording) runtime_->log.push_back(std::move(record));
    }

    const std::filesystem::path driveFile_;
    const kdulog::UniqueFd lockFd_;  // closing it gives the flock back
    const std::shared_ptr<DriveRuntime> runtime_;
    bool held_ = false;
    bool released_ = false;
};

class SimDeviceNode : public DeviceNode {
public:
    // The folder keeps its nodes, so a node only looks back at it weakly.
    SimDeviceNode(const std::shared_ptr<SimFolder>& folder, std::string key)
        : folder_(folder), key_(std::move(key)), file_(driveFilePath(folder->path(), key_)) {}

    std::string key() const override { return key_; }
    // The file's name is what a person calls the drive; its path tells apart drives of the
    // same name in different folders.
    scsi::DriveIdentity identity() const override { return scsi::DriveIdentity{key_, {file_.string()}, std::nullopt}; }

    scsi::DriveModelNames modelNames() const override {
        scsi::TransportError ignored = scsi::TransportError::None;
        std::optional<DriveSpec> profile = loadDriveFileCached("sim::SimDeviceNode::modelNames", file_, ignored);
        // A file that is no drive (said once, at start) or is gone is no drive of any model.
        if (!profile) return {std::nullopt, std::string()};
        return {profile->vendor, profile->product};
    }

    scsi::TransportError className(std::string& out) const override {
        scsi::TransportError result = scsi::TransportError::None;
        std::optional<DriveSpec> profile = loadDriveFileCached("sim::SimDeviceNode::className", file_, result);
        if (!profile) return result;
        if (profile->faults.className) return *profile->faults.className;
        out = profile->className;
        return scsi::TransportError::None;
    }

    Opened open() override {
        scsi::TransportError result = scsi::TransportError::None;
        std::optional<DriveSpec> profile = loadDriveFileCached("sim::SimDeviceNode::open", file_, result);
        std::shared_ptr<SimFolder> folder = folder_.lock();
        if (!profile) return {.error = result};
        if (!folder) return {.error = scsi::TransportError::NoDevice};
        // The older drive files' steps of opening, each failing with its code.
        if (profile->faults.plugIn) return {.error = *profile->faults.plugIn};
        if (profile->faults.mmc) return {.error = static_cast<scsi::TransportError>(*profile->faults.mmc)};
        if (profile->faults.taskDevice) return {.error = scsi::TransportError::NoDevice};
        const std::filesystem::path lockFile = folder->path() / ("." + key_ + ".lock");
        const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            KDU_LOG_ERR("sim::SimDeviceNode::open", "cannot open %s: %s", lockFile.c_str(),
                        std::strerror(errno));
            return {.error = scsi::TransportError::Failed};
        }
        auto channel = std::make_unique<SimTaskChannel>(file_, fd, folder->runtime(key_, true));
        if (const scsi::TransportError refused = channel->obtain(); refused != scsi::TransportError::None)
            return {.error = refused};
        return {.channel = std::move(channel)};
    }

private:
    const std::weak_ptr<SimFolder> folder_;
    const std::string key_;
    const std::filesystem::path file_;
};

}  // namespace

// SimFolder ----------------------------------------------------------------------

const char* untrustedDriveEntry(const std::filesystem::path& folder, const std::filesystem::path& entry) {
    std::error_code ec;
    const std::filesystem::file_status own = std::filesystem::symlink_status(entry, ec);
    if (ec) return "cannot be examined";
    // A drive saves its state by replacing its file, which would cut a link: two names
    // for one file would become two drives, or one drive with two ids and two locks.
    if (std::filesystem::is_symlink(own)) {
        const std::filesystem::path target = std::filesystem::weakly_canonical(entry, ec);
        if (ec || target.parent_path() != std::filesystem::weakly_canonical(folder, ec))
            return "a link leading out of the folder";
        return "a link to another file (a drive is a file of its own)";
    }
    if (!std::filesystem::is_regular_file(own)) return "not a regular file";
    if (std::filesystem::hard_link_count(entry, ec) != 1 || ec)
        return "a file with more than one name (a drive is a file of its own)";
    return nullptr;
}

void SimFolder::warnOnce(const std::string& name, const char* why) const {
    std::lock_guard lock(warnedMutex_);
    if (!warned_.insert(name).second) return;
    KDU_LOG_WAR("SimFolder::driveNames", "%s.json skipped: %s", name.c_str(), why);
}

std::set<std::string> SimFolder::driveNames() const {
    std::set<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(path_, ec), end; !ec && it != end; it.increment(ec)) {
        std::optional<std::string> name = driveNameOf(it->path());
        if (!name) continue;
        if (const char* why = untrustedDriveEntry(path_, it->path())) {
            warnOnce(*name, why);
            continue;
        }
        names.insert(*name);
    }
    return names;
}

std::vector<std::shared_ptr<DeviceNode>> SimFolder::attachedDrives(const NodeMap& stale) {
    const std::set<std::string> names = driveNames();
    std::vector<std::shared_ptr<DeviceNode>> drives;
    std::lock_guard lock(mutex_);
    for (auto it = nodes_.begin(); it != nodes_.end();) {
        const auto staleIt = stale.find(it->first);
        if (names.count(it->first) && (staleIt == stale.end() || staleIt->second != it->second)) {
            ++it;
            continue;
        }
        // Detached: whatever the drive was receiving is lost with its power.
        if (auto runtime = runtimes_.find(it->first); runtime != runtimes_.end()) {
            std::lock_guard driveLock(runtime->second->mutex);
            runtime->second->unit.powerLoss();
        }
        it = nodes_.erase(it);
    }
    for (const std::string& name : names) {
        std::shared_ptr<DeviceNode>& node = nodes_[name];
        if (!node) node = std::make_shared<SimDeviceNode>(shared_from_this(), name);
        drives.push_back(node);
    }
    return drives;
}

std::vector<DiskDescription> SimFolder::presentDisks() const {
    std::vector<DiskDescription> disks;
    for (const std::string& name : driveNames()) {
        std::string error;
        std::optional<DriveSpec> profile = loadDriveFile(driveFilePath(path_, name), error);
        if (profile && profile->disc) disks.push_back(describeDisc(name, *profile));
    }
    return disks;
}

std::shared_ptr<DriveRuntime> SimFolder::runtime(const std::string& key, bool opening) {
    std::lock_guard lock(mutex_);
    std::shared_ptr<DriveRuntime>& runtime = runtimes_[key];
    if (runtime && opening) {
        // Whoever opens the name now reaches the drive in the file there now.
        bool wentAway;
        {
            std::lock_guard driveLock(runtime->mutex);
            wentAway = runtime->unit.wentAway();
        }
        if (wentAway) runtime.reset();
    }
    if (!runtime) {
        runtime = std::make_shared<DriveRuntime>(driveFilePath(path_, key));
        runtime->recording = recording_;
    }
    return runtime;
}

void SimFolder::setRecording(bool recording) {
    std::lock_guard lock(mutex_);
    recording_ = recording;
    for (auto& [key, runtime] : runtimes_) {
        std::lock_guard runtimeLock(runtime->mutex);
        runtime->recording = recording;
        if (!recording) runtime->log.clear();
    }
}

DiskDescription describeDisc(const std::string& key, const DriveSpec& profile) {
    DiskDescription disk;
    disk.bsdName = key;
    if (profile.disc) disk.volumeName = profile.disc->volume;
    disk.deviceModel = profile.product;
    return disk;
}

// SimBackend ---------------------------------------------------------------------

SimBackend::SimBackend(std::filesystem::path folder) : folder_(std::make_shared<SimFolder>(std::move(folder))) {}

SimBackend::~SimBackend() = default;

const std::filesystem::path& SimBackend::folder() const { return folder_->path(); }

std::vector<std::shared_ptr<DeviceNode>> SimBackend::authoringDevices() { return folder_->attachedDrives(); }

std::vector<DiskDescription> SimBackend::presentDisks() { return folder_->presentDisks(); }

std::vector<RecordedCommand> SimBackend::commandLog(const std::string& key) const {
    std::shared_ptr<DriveRuntime> runtime = folder_->runtime(key);
    std::lock_guard lock(runtime->mutex);
    return runtime->log;
}

std::vector<RecordedCommand> SimBackend::sentCommands(const std::string& key) const {
    std::vector<RecordedCommand> commands = commandLog(key);
    std::erase_if(commands, [](const RecordedCommand& r) { return r.kind != RecordedCommand::Kind::Command; });
    return commands;
}

void SimBackend::clearCommandLog(const std::string& key) {
    std::shared_ptr<DriveRuntime> runtime = folder_->runtime(key);
    std::lock_guard lock(runtime->mutex);
    runtime->log.clear();
    runtime->unit.restartCounts();
}

void SimBackend::setRecording(bool recording) { folder_->setRecording(recording); }

}  // namespace sim
