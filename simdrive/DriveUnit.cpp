#include "simdrive/DriveUnit.h"

#include <sys/prctl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <mutex>
#include <thread>

#include "log/Log.h"
#include "simdrive/CommandTrace.h"

namespace sim {

namespace {

std::string upperCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool matches(const CommandFault& fault, const std::uint8_t* cdb) {
    if (fault.name) return upperCase(*fault.name) == upperCase(commandName(cdb));
    return fault.opcode && *fault.opcode == cdb[0];
}

bool inAnUpdate(const DriveSpec& profile) { return profile.mode == DriveMode::Kernel || profile.install.has_value(); }

// Drive files are replaced whole, so inode, size and modification time tell whether one changed.
class ParsedDriveFiles {
public:
    std::optional<DriveSpec> load(const std::filesystem::path& path, std::string& error, bool* missing, FileId& id) {
        struct stat before{};
        if (::stat(path.c_str(), &before) == 0) {
            std::lock_guard lock(mutex_);
            auto it = files_.find(path.string());
            if (it != files_.end() && same(it->second.identity, before)) {
                if (missing) *missing = false;
                id = FileId{before.st_dev, before.st_ino};
                return it->second.profile;
            }
        }
        std::optional<DriveSpec> profile = loadDriveFile(path, error, missing, &id);
        struct stat after{};
        if (profile && ::stat(path.c_str(), &after) == 0 && same(before, after)) {
            std::lock_guard lock(mutex_);
            files_[path.string()] = {after, *profile};
        }
        return profile;
    }

private:
    static bool same(const struct stat& a, const struct stat& b) {
        return a.st_ino == b.st_ino && a.st_dev == b.st_dev && a.st_size == b.st_size &&
               a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
    }
    struct Entry {
        struct stat identity;
        DriveSpec profile;
    };
    std::mutex mutex_;
    std::map<std::string, Entry> files_;
};

}  // namespace

std::optional<DriveSpec> loadDriveFileCached(const char* function, const std::filesystem::path& path,
                                             scsi::TransportError& failure, FileId* id) {
    static ParsedDriveFiles* parsed = new ParsedDriveFiles;  // shared by every thread, never torn down
    std::string error;
    bool missing = false;
    FileId read;
    std::optional<DriveSpec> profile = parsed->load(path, error, &missing, read);
    if (id) *id = read;
    if (!profile) {
        failure = missing ? scsi::TransportError::NoDevice : scsi::TransportError::IOError;
        if (!missing) KDU_LOG_WAR(function, "%s", error.c_str());
    }
    return profile;
}

std::chrono::microseconds wireTime(const DriveTiming& timing, const scsi::Command& command) {
    std::chrono::microseconds delay = std::chrono::milliseconds(timing.commandLatencyMs);
    if (timing.bytesPerSecond > 0 && command.direction != scsi::Direction::None)
        delay += std::chrono::microseconds(std::uint64_t{command.data.size()} * 1'000'000 / timing.bytesPerSecond);
    return delay;
}

void waitUntil(std::chrono::steady_clock::time_point end) {
    constexpr std::chrono::microseconds kSpin{100};
    // The default 50 us timer slack would lengthen the sleep further.
    static thread_local const bool tightTimers = ::prctl(PR_SET_TIMERSLACK, 1UL) == 0;
    (void)tightTimers;
    if (std::chrono::steady_clock::now() + kSpin < end) std::this_thread::sleep_until(end - kSpin);
    while (std::chrono::steady_clock::now() < end) {
    }
}

std::int64_t wallClockMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

scsi::Result DriveUnit::execute(const scsi::Command& command, std::int64_t nowMs, std::chrono::microseconds& wire,
                               Origin origin) {
    wire = std::chrono::microseconds{0};
    scsi::Result result = run(command, nowMs, wire, origin);
    if (origin == Origin::Program) count(command.cdb.data());
    return result;
}

scsi::Result DriveUnit::run(const scsi::Command& command, std::int64_t nowMs, std::chrono::microseconds& wire,
                            Origin origin) {
    if (gone_) return {.error = scsi::TransportError::NoDevice};
    scsi::TransportError failure = scsi::TransportError::None;
    FileId read;
    std::optional<DriveSpec> profile = loadDriveFileCached("sim::DriveUnit::execute", file_, failure, &read);
    if (!profile) {
        // Without its file the drive is detached: what comes back is attached anew.
        if (failure == scsi::TransportError::NoDevice) powerLoss();
        else drive_.reset();
        return {.error = failure};
    }
    if (!holdsFile(read, *profile)) return goAway();
    wire = wireTime(profile->timing, command);
    const std::uint8_t* cdb = command.cdb.data();
    if (origin == Origin::Housekeeping) {
        traceCommand(name_, command, "# kernel");
        return answer(*profile, command, nowMs);
    }
    if (profile->faults.vanishAtCommand && commandsSeen_ + 1 == *profile->faults.vanishAtCommand) {
        std::error_code ignored;
        std::filesystem::remove(file_, ignored);
        powerLoss();
        return {.error = scsi::TransportError::NoDevice};
    }
    if (profile->install && profile->faults.vanishWhileInstallingMs && commandName(cdb) == "TEST UNIT READY") {
        vanishFor(*profile->faults.vanishWhileInstallingMs);
        return {.error = scsi::TransportError::NoDevice};
    }
    traceCommand(name_, command);
    for (const CommandFault& fault : profile->faults.commands) {
        if (!matches(fault, cdb)) continue;
        if (fault.occurrence && earlierMatches(fault) + 1 != *fault.occurrence) continue;
        switch (fault.kind) {
        case CommandFault::Kind::CheckCondition:
            return {.status = scsi::Status::CheckCondition, .sense = makeSense(fault.sense)};
        case CommandFault::Kind::Status:
            return {.status = fault.status};
        case CommandFault::Kind::DeliveryFailure:
            return {.error = fault.deliveryError != scsi::TransportError::None ? fault.deliveryError
                                                                              : scsi::TransportError::IOError};
        case CommandFault::Kind::Hold:
            writeTrace(name_ + " # holding " + commandName(cdb));
            wire += std::chrono::milliseconds(fault.holdMs);
            break;
        }
        if (fault.kind == CommandFault::Kind::Hold) break;  // answered as the drive would, later
    }
    return answer(*profile, command, nowMs);
}

bool DriveUnit::holdsFile(const FileId& read, const DriveSpec& profile) {
    // Outside an update nothing is at stake, and a replaced file is the same drive edited
    // (a disc put in by hand); within one, only the drive itself rewrites its file.
    if (inUpdate_ && own_ && *own_ != read) return false;
    own_ = read;
    inUpdate_ = inAnUpdate(profile);
    return true;
}

scsi::Result DriveUnit::answer(DriveSpec& profile, const scsi::Command& command, std::int64_t nowMs) {
    scsi::Result out;
    if (!drive_.answer(profile, command, out, nowMs)) return out;
    std::string error;
    FileId written;
    switch (saveDriveState(file_, profile, error, inUpdate_ ? &*own_ : nullptr, &written)) {
    case SaveResult::Saved:
        own_ = written;
        inUpdate_ = inAnUpdate(profile);
        return out;
    case SaveResult::Replaced: return goAway();
    case SaveResult::Failed: break;
    }
    // A drive does not acknowledge what it could not do: it failed inside, and keeps none
    // of what it received.
    KDU_LOG_WAR("sim::DriveUnit::execute", "%s", error.c_str());
    drive_.reset();
    return {.status = scsi::Status::CheckCondition, .sense = makeSense(kInternalTargetFailure)};
}

void DriveUnit::powerLoss() {
    drive_.reset();
    givenBack();
}

void DriveUnit::givenBack() {
    own_.reset();
    inUpdate_ = false;
}

scsi::Result DriveUnit::goAway() {
    gone_ = true;
    drive_.reset();
    return {.error = scsi::TransportError::NoDevice};
}

// Gone as a drive that resets or is enumerated anew, back after `ms` with its install
// running on, whoever still serves it then.
void DriveUnit::vanishFor(std::uint32_t ms) {
    drive_.reset();
    std::string error;
    const std::optional<std::filesystem::path> away = sendDriveAway(file_, error);
    if (!away) {
        KDU_LOG_WAR("sim::DriveUnit::execute", "%s", error.c_str());
        return;
    }
    writeTrace(name_ + " # away for " + std::to_string(ms) + " ms");
    std::thread([away = *away, file = file_, ms, returned = returned_] {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        if (bringDriveBack(away, file) && returned) returned();
    }).detach();
}

void DriveUnit::count(const std::uint8_t* cdb) {
    ++commandsSeen_;
    ++seenByName_[upperCase(commandName(cdb))];
    ++seenByOpcode_[cdb[0]];
}

std::uint32_t DriveUnit::earlierMatches(const CommandFault& fault) const {
    if (fault.name) {
        auto it = seenByName_.find(upperCase(*fault.name));
        return it == seenByName_.end() ? 0 : it->second;
    }
    return fault.opcode ? seenByOpcode_[*fault.opcode] : 0;
}

void DriveUnit::restartCounts() {
    commandsSeen_ = 0;
    seenByName_.clear();
    seenByOpcode_.fill(0);
}

}  // namespace sim
