// One simulated drive as a transport serves it: the drive file it lives in, the model that
// answers its commands, the fault switches of the file and the command counts the "Nth
// command" faults go by. The in-process simulator backend and the kernel bridge both serve
// drives through this class, so both see the same behaviour.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <array>
#include <map>
#include <optional>
#include <string>

#include "scsi/Command.h"
#include "scsi/Result.h"
#include "simdrive/DriveFile.h"
#include "simdrive/SimDrive.h"

namespace sim {

// Reads a drive file, parsing it again only when it changed: every command reads its
// drive's file, and the simulator's own cost must stay out of what the benchmarks measure.
// Shared by every thread of the process.
// A missing file gives NoDevice in `failure`; one that cannot be read or parsed, IOError
// and a warning logged for `function`. `id` is set to the file read.
std::optional<DriveSpec> loadDriveFileCached(const char* function, const std::filesystem::path& path,
                                             scsi::TransportError& failure, FileId* id = nullptr);

// The time a command spends on the modelled wire: the latency plus its data at the
// drive's rate.
std::chrono::microseconds wireTime(const DriveTiming& timing, const scsi::Command& command);

class DriveUnit {
public:
    explicit DriveUnit(std::filesystem::path driveFile)
        : file_(std::move(driveFile)), name_(file_.stem().string()) {}

    const std::filesystem::path& file() const { return file_; }

    // Who sent a command. The kernel's own housekeeping (attach-time probes, media events)
    // is answered by the model alone: no faults, no counting, no trace, as the commands a
    // program sends must be the same over both transports.
    enum class Origin { Program, Housekeeping };

    // Answers one command as the drive in the file would, faults included, and writes back
    // the state the answer changed; a state that cannot be saved fails the command as a
    // drive failing inside would (hardware error). NoDevice when the drive is gone (no
    // file, it vanished at this command, or it went away), another error when the command
    // was not delivered.
    // `wire` is set to how long the answer takes: the modelled wire time plus any hold.
    // The caller serialises calls.
    scsi::Result execute(const scsi::Command& command, std::int64_t nowMs, std::chrono::microseconds& wire,
                         Origin origin = Origin::Program);

    // Called on a thread of its own when a drive that vanished while installing is back.
    void onReturn(std::function<void()> returned) { returned_ = std::move(returned); }

    // The drive lost power: whatever it received is gone.
    // It is bound afresh to the file it is attached with next.
    void powerLoss();
    // The program gave the drive back: others may drive it now, and what they save is no
    // replacement. Bound afresh at the next command.
    void givenBack();
    // The drive's file was replaced by another while the drive was in its update mode or
    // installing: that is another drive, and this one answers nothing from then on.
    bool wentAway() const { return gone_; }
    // Restarts the numbering that "Nth occurrence" faults count by.
    void restartCounts();

private:
    scsi::Result run(const scsi::Command& command, std::int64_t nowMs, std::chrono::microseconds& wire,
                     Origin origin);
    // False when the file read is not the drive's own (see wentAway).
    bool holdsFile(const FileId& read, const DriveSpec& profile);
    scsi::Result answer(DriveSpec& profile, const scsi::Command& command, std::int64_t nowMs);
    scsi::Result goAway();
    void count(const std::uint8_t* cdb);
    std::uint32_t earlierMatches(const CommandFault& fault) const;
    void vanishFor(std::uint32_t ms);

    const std::filesystem::path file_;
    const std::string name_;                          // the file's stem, as traces name it
    SimDrive drive_;
    std::optional<FileId> own_;                       // the file the drive was last seen in
    bool inUpdate_ = false;                           // in its update mode or installing, then
    bool gone_ = false;
    std::uint32_t commandsSeen_ = 0;
    std::map<std::string, std::uint32_t> seenByName_;  // by commandName(), upper case
    std::array<std::uint32_t, 256> seenByOpcode_{};
    std::function<void()> returned_;
};

// Waits out a command's modelled wire time: sleeps, then spins the last stretch, since a
// sleeping thread wakes tens of microseconds late, and each command would add that to the
// modelled wire.
void waitUntil(std::chrono::steady_clock::time_point end);

// Milliseconds since the epoch: installs run on the wall clock, so other processes see them.
std::int64_t wallClockMs();

}  // namespace sim
