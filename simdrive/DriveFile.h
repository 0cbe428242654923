// The drive file of a simulated drive: one JSON document per drive, named <name>.json in
// the drive folder. Users and tests write identity, disc, timing and faults; the drive
// writes back its own state (mode, revision, date, install) with an atomic replace.
//
// Every field may be left out (the defaults are an eligible target drive):
//   {"identity": {"vendor": "KESTORY", "product": "BD-RW KVL-MT38", "revision": "1.20", "date": "20240612"},
//    "readBuffer": {"hard_version": "MT38HW01", "krnl_version": "KRNL0101", "dest_version": "DEST0001",
//                   "judgeKrnl": "KJ01"},
//    "mode": "normal", "disc": {"volume": "BACKUP"}, "className": "SimAuthoringDevice",
//    "timing": {"commandLatencyMs": 2, "bytesPerSecond": 35000000, "installMs": 8000},
//    "faults": {"plugin": "0xE00002BE", "mmc": "0x80000004", "taskDevice": true, "className": "0xE00002F0",
//               "exclusiveAccess": true, "release": true, "task": true, "modeChange": "toNormal",
//               "writeBufferPiece": 3, "installNeverEnds": true, "installRevision": "1.19",
//               "vanishAtCommand": 12, "vanishWhileInstallingMs": 2000,
//               "commands": [{"command": "TEST UNIT READY", "occurrence": 2, "sense": {"key": 2, "asc": "0x3A"}},
//                            {"command": "0x12", "status": 8}, {"command": "READ BUFFER", "delivery": true},
//                            {"command": "CHANGE DRIVE MODE", "holdMs": 3000}]},
//    "install": null}
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

#include <nlohmann/json.hpp>

#include "scsi/Result.h"
#include "simdrive/SimDefaults.h"

namespace sim {

enum class DriveMode { Normal, Kernel };

struct Disc {
    std::optional<std::string> volume;  // absent: a disc without a named volume
    friend bool operator==(const Disc&, const Disc&) = default;
};

struct DriveTiming {
    std::uint32_t commandLatencyMs = 0;
    std::uint64_t bytesPerSecond = 0;   // 0: data moves instantly
    std::uint32_t installMs = 0;
};

struct SenseCodes {
    std::uint8_t key = 0, asc = 0, ascq = 0;
};
inline constexpr SenseCodes kInternalTargetFailure{0x04, 0x44, 0x00};  // a hardware error

// One command answered other than the drive would: with CHECK CONDITION and given sense,
// with another task status, not delivered at all, or answered as the drive would but only
// after holding it back a while (a slow drive; tests send signals meanwhile).
struct CommandFault {
    enum class Kind { CheckCondition, Status, DeliveryFailure, Hold };
    std::optional<std::string> name;          // "INQUIRY", "WRITE BUFFER"... (see commandName)
    std::optional<std::uint8_t> opcode;       // matched when no name is given
    std::optional<std::uint32_t> occurrence;  // the Nth matching command (1-based); none: every one
    Kind kind = Kind::CheckCondition;
    SenseCodes sense = kInternalTargetFailure;
    scsi::Status status = scsi::Status::Busy;
    scsi::TransportError deliveryError = scsi::TransportError::IOError;
    std::uint32_t holdMs = 0;
};

struct DriveFaults {
    // Opening the drive fails: with either code, or as for a drive that has gone.
    std::optional<scsi::TransportError> plugIn;
    std::optional<std::uint32_t> mmc;
    bool taskDevice = false;
    std::optional<scsi::TransportError> className;
    bool exclusiveAccess = false;             // opening is refused, as for a drive in use
    bool release = false;                     // giving it back is refused
    bool task = false;                        // no command reaches the drive
    bool modeChangeToKernel = false;
    bool modeChangeToNormal = false;
    std::vector<CommandFault> commands;
    bool installNeverEnds = false;
    std::optional<std::string> installRevision;   // the install ends with this revision
    std::optional<std::uint32_t> vanishAtCommand; // the drive disappears at its Nth command
    // At its first TEST UNIT READY while installing, the drive disappears for this long and
    // comes back (once); the install goes on meanwhile.
    std::optional<std::uint32_t> vanishWhileInstallingMs;
};

// An install running in the drive, wall-clock based so other processes see it too.
struct InstallState {
    std::int64_t startedAtMs = 0;             // since the epoch
    std::uint32_t durationMs = 0;
    std::optional<std::string> resultRevision;  // none: the images were refused
    std::optional<std::string> resultDate;      // the installed image's date
};

struct DriveSpec {
    std::string vendor = kDefaultVendor;
    std::string product = kDefaultProduct;
    std::string revision = kDefaultRevision;
    std::string date = kDefaultDate;
    std::string hard_version = kDefaultHardVersion;
    std::string krnl_version = kDefaultKernelVersion;
    std::string dest_version = kDefaultDestVersion;
    std::string judgeKrnl = kDefaultJudgeKrnl;
    DriveMode mode = DriveMode::Normal;
    std::optional<Disc> disc;
    std::string className = kDefaultClassName;
    DriveTiming timing;
    DriveFaults faults;
    std::optional<InstallState> install;
};

nlohmann::json toJson(const DriveSpec& profile);
// `label` names the file in error texts ("drive1.json: faults.mmc: expected ...").
std::optional<DriveSpec> fromJson(const nlohmann::json& document, const std::string& label, std::string& error);

// The drive file of `name` in `folder`.
std::filesystem::path driveFilePath(const std::filesystem::path& folder, const std::string& name);
// The name of a drive file ("drive1" for "drive1.json"); none for anything else (hidden
// files, temporaries, other extensions).
std::optional<std::string> driveNameOf(const std::filesystem::path& file);
// True for names usable as drive names: letters, digits, '-', '_' and '.', not leading '.'.
bool isValidDriveName(const std::string& name);

// The file a drive lives in. The drive replaces it whole when it saves its state, so the
// name stays but the inode changes; a file put there by anyone else is another drive.
struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
    friend bool operator==(const FileId&, const FileId&) = default;
};

// Reads and validates a drive file. A missing file sets `missing` (when given); `id` is
// set to the file read.
std::optional<DriveSpec> loadDriveFile(const std::filesystem::path& path, std::string& error, bool* missing = nullptr,
                                       FileId* id = nullptr);
// Replaces the file atomically (temporary file + rename).
bool writeDriveFile(const std::filesystem::path& path, const DriveSpec& profile, std::string& error);
// Read-modify-write of the raw document under the folder's state lock, so a drive writing
// back its state and a user inserting a disc do not lose each other's change. Fails when
// the file does not exist.
bool updateDriveFile(const std::filesystem::path& path, const std::function<void(nlohmann::json&)>& change,
                     std::string& error);

enum class SaveResult { Saved, Failed, Replaced };
// Writes back the state the drive owns: mode, revision, date and install. Given `own`, only
// into that file: one another put in its place is left alone (Replaced). `written` is set
// to the file written.
SaveResult saveDriveState(const std::filesystem::path& path, const DriveSpec& profile, std::string& error,
                          const FileId* own = nullptr, FileId* written = nullptr);
// Takes the drive file out of the folder, as a drive that went away (its vanishing switch
// spent): the hidden file it was moved to, or none with `error`.
std::optional<std::filesystem::path> sendDriveAway(const std::filesystem::path& path, std::string& error);
// Puts it back, unless a drive file of that name has been made meanwhile.
bool bringDriveBack(const std::filesystem::path& away, const std::filesystem::path& path);

}  // namespace sim
