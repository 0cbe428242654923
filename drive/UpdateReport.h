// What an update did, in terms a person can act on: the step that ended it, the state it
// left the drive in, and why. Both front ends print the same texts.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/Eligibility.h"
#include "model/ImageProof.h"

enum class UpdateStep {
    CheckImages,        // proving the shipped images
    TakeDrive,          // the per-drive lock, opening the drive for this process alone
    IdentifyAgain,      // the second look at the drive before anything changes it
    ToKernelMode,       // switching the drive to its update mode
    WriteKernelImage,
    WriteNormalImage,
    ToNormalMode,       // switching it back, which starts the install
    Install,            // waiting while the drive installs
    AwaitReturn,        // the drive went away while installing: waiting for it to come back
    CheckRevision,      // the final identification
    ReleaseDrive,       // giving exclusive access back
    Done,
};

enum class DriveState {
    OldFirmware,  // nothing changed the drive
    UpdateMode,   // in its update mode: another run finishes the job
    Installing,   // installing on its own; must stay connected
    Unknown,      // gone, or it answered nothing we can trust
    Updated,      // reports the new revision
};

// Why an update ended short, as a word and its particulars, so that each front end can say
// it in its reader's language. causeText() gives the English that kdu prints and logs.
enum class UpdateCauseKind {
    None,
    ImageRefused,         // image
    NoDriveChosen,
    LockedElsewhere,      // another process updates the drive
    LockUnusable,         // detail: the system's words
    CannotOpen,
    InUse,
    DriveChanged,         // change, with found/expected or eligibility
    DryRun,
    Cancelled,
    ToUpdateModeRefused,
    SwitchBackRefused,
    PieceRefused,         // number of count
    DriveGone,
    StillInstalling,      // number: the seconds waited
    NoReadyAnswer,        // number: the seconds waited; the last answers were no verdict
    InstallFault,         // detail: the decoded sense the drive kept answering while installing
    WentAway,             // gone while installing and not back in time
    StoppedWaiting,
    NotIdentified,
    WrongRevision,        // found, expected
    NotGivenBack,
};

// What differs, at the second look, from the drive that was chosen.
enum class DriveChange {
    None,
    OtherDrive,         // another drive answers in its place
    OtherModel,         // it no longer answers as the target model
    LeftUpdateMode,
    EnteredUpdateMode,
    Revision,           // found, expected
    Identification,
    HardwareVersions,
    NoLongerEligible,   // eligibility
};

struct UpdateCause {
    UpdateCause() = default;
    explicit UpdateCause(UpdateCauseKind kind) : kind(kind) {}
    static UpdateCause refusedImage(ImageFault fault) {
        UpdateCause cause(UpdateCauseKind::ImageRefused);
        cause.image = std::move(fault);
        return cause;
    }
    static UpdateCause driveChanged(DriveChange change) {
        UpdateCause cause(UpdateCauseKind::DriveChanged);
        cause.change = change;
        return cause;
    }

    UpdateCauseKind kind = UpdateCauseKind::None;
    ImageFault image;
    DriveChange change = DriveChange::None;
    UpdateEligibility eligibility = UpdateEligibility::Eligible;
    std::uint64_t number = 0, count = 0;
    std::string found, expected;
    std::string detail;
};

// "the drive refused piece 3 of 47; the install was not started"...; empty for None.
std::string causeText(const UpdateCause& cause);

struct UpdateReport {
    UpdateStep step = UpdateStep::CheckImages;  // the step that failed, Done on success
    DriveState state = DriveState::OldFirmware;
    UpdateCause cause;                          // None on success
    std::optional<std::string> revisionFound;   // what the drive reported at the end
    std::optional<std::string> historyProblem;  // why the update's record could not be written

    bool ok() const { return step == UpdateStep::Done; }
    // Stopped on purpose after every check.
    bool dryRun() const { return cause.kind == UpdateCauseKind::DryRun; }

    // "<step>: <cause>; <state>", e.g. "writing the firmware: the drive refused piece 3 of 47;
    // the drive is in its update mode: run the update again to finish; do not unplug it".
    std::string message() const;
};

// "writing the firmware", "switching the drive to its update mode"...
std::string_view updateStepText(UpdateStep step);
// "check_images", "write_normal_image"...: stable words for scripts.
std::string_view updateStepKey(UpdateStep step);
// "the drive still runs its old firmware", "the drive is in its update mode: ..."...
std::string_view driveStateText(DriveState state);
// "old_firmware", "update_mode"...: stable words for scripts.
std::string_view driveStateKey(DriveState state);

// Where the update is, for front ends that show it: the phase and, while images go out,
// how much of the current image has been sent.
struct UpdateProgress {
    UpdateStep step = UpdateStep::CheckImages;
    std::uint64_t done = 0, total = 0;  // pieces of the kernel image, bytes of the normal image
    // While the drive installs: its value after each poll (what is left of
    // kInstallProgressScale), then -1 when the wait ends. Not a new phase.
    std::optional<std::int64_t> indicator = std::nullopt;
};

// One command the update would send, for a plan shown before anything is sent.
struct PlannedCommand {
    UpdateStep step;
    std::string command;       // "CHANGE DRIVE MODE", "WRITE BUFFER"
    std::uint32_t offset = 0;  // where in the image the piece starts
    std::uint32_t length = 0;  // bytes sent with the command (0: none)
};

struct UpdateHistorySource;

struct UpdateHooks {
    // Called on the update's thread before each phase, after each piece and after each poll
    // of the install (`indicator`); only this update's reports.
    std::function<void(const UpdateProgress&)> progress;
    // Called once, right before the first command that changes the drive. False cancels:
    // nothing has been changed yet. Whoever answers true promises not to interrupt the
    // sequence until the drive is back in its normal mode.
    std::function<bool()> beginCritical;
    // Called after every check, before beginCritical, with the commands about to be sent.
    // False stops there as a dry run: nothing has been sent, and the report says so.
    std::function<bool(const std::vector<PlannedCommand>&)> reviewPlan;
    // Read between install polls: true stops waiting (the drive goes on installing).
    std::function<bool()> stopWaiting;
    // Where and as whom the update is recorded (drive/UpdateHistory.h); none: not recorded.
    const UpdateHistorySource* history = nullptr;
    // The caller keeps the machine awake for this update (one inhibitor for several at once).
    bool callerInhibitsSleep = false;
};
