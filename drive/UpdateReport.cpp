#include "drive/UpdateReport.h"

std::string_view updateStepText(UpdateStep step) {
    switch (step) {
        case UpdateStep::CheckImages: return "checking the firmware images";
        case UpdateStep::TakeDrive: return "taking the drive";
        case UpdateStep::IdentifyAgain: return "identifying the drive again";
        case UpdateStep::ToKernelMode: return "switching the drive to its update mode";
        case UpdateStep::WriteKernelImage: return "writing the kernel image";
        case UpdateStep::WriteNormalImage: return "writing the firmware";
        case UpdateStep::ToNormalMode: return "switching the drive back to start the install";
        case UpdateStep::Install: return "waiting for the drive to install the firmware";
        case UpdateStep::AwaitReturn: return "waiting for the drive to come back";
        case UpdateStep::CheckRevision: return "checking the new firmware";
        case UpdateStep::ReleaseDrive: return "giving the drive back";
        case UpdateStep::Done: return "done";
    }
    return "";
}

std::string_view updateStepKey(UpdateStep step) {
    switch (step) {
        case UpdateStep::CheckImages: return "check_images";
        case UpdateStep::TakeDrive: return "take_drive";
        case UpdateStep::IdentifyAgain: return "identify_again";
        case UpdateStep::ToKernelMode: return "to_kernel_mode";
        case UpdateStep::WriteKernelImage: return "write_kernel_image";
        case UpdateStep::WriteNormalImage: return "write_normal_image";
        case UpdateStep::ToNormalMode: return "to_normal_mode";
        case UpdateStep::Install: return "install";
        case UpdateStep::AwaitReturn: return "await_return";
        case UpdateStep::CheckRevision: return "check_revision";
        case UpdateStep::ReleaseDrive: return "release_drive";
        case UpdateStep::Done: return "done";
    }
    return "unknown";
}

std::string_view driveStateText(DriveState state) {
    switch (state) {
        case DriveState::OldFirmware: return "the drive still runs its old firmware";
        case DriveState::UpdateMode:
            return "the drive is in its update mode: run the update again to finish; do not unplug it";
        case DriveState::Installing:
            return "the drive goes on installing the firmware: keep it connected and powered until it is ready";
        case DriveState::Unknown: return "state unknown";
        case DriveState::Updated: return "the drive runs the new firmware";
    }
    return "";
}

std::string_view driveStateKey(DriveState state) {
    switch (state) {
        case DriveState::OldFirmware: return "old_firmware";
        case DriveState::UpdateMode: return "update_mode";
        case DriveState::Installing: return "installing";
        case DriveState::Unknown: return "unknown";
        case DriveState::Updated: return "updated";
    }
    return "unknown";
}

namespace {

std::string changeText(const UpdateCause& cause) {
    switch (cause.change) {
        case DriveChange::None: break;
        case DriveChange::OtherDrive: return "another drive answers in its place";
        case DriveChange::OtherModel: return "it no longer answers as a drive of the target model";
        case DriveChange::LeftUpdateMode: return "it has left its update mode";
        case DriveChange::EnteredUpdateMode: return "it has been put into its update mode";
        case DriveChange::Revision:
            return "its revision is now \"" + cause.found + "\", not \"" + cause.expected + "\"";
        case DriveChange::Identification: return "it identifies differently";
        case DriveChange::HardwareVersions: return "its hardware versions differ";
        case DriveChange::NoLongerEligible:
            return "it may not be updated: " + std::string(eligibilityText(cause.eligibility));
    }
    return {};
}

}  // namespace

std::string causeText(const UpdateCause& cause) {
    switch (cause.kind) {
        case UpdateCauseKind::None: return {};
        case UpdateCauseKind::ImageRefused: return imageFaultText(cause.image);
        case UpdateCauseKind::NoDriveChosen: return "no drive was chosen";
        case UpdateCauseKind::LockedElsewhere: return "the drive is being updated by another process";
        case UpdateCauseKind::LockUnusable: return cause.detail;
        case UpdateCauseKind::CannotOpen: return "the drive cannot be opened; is it still attached?";
        case UpdateCauseKind::InUse: return "the drive is in use by another program";
        case UpdateCauseKind::DriveChanged: return "the drive changed since it was chosen: " + changeText(cause);
        case UpdateCauseKind::DryRun: return "dry run: every check passed and nothing was sent";
        case UpdateCauseKind::Cancelled: return "cancelled before anything was sent";
        case UpdateCauseKind::ToUpdateModeRefused: return "the drive refused to switch to its update mode";
        case UpdateCauseKind::SwitchBackRefused: return "the drive refused to switch back";
        case UpdateCauseKind::PieceRefused:
            return "the drive refused piece " + std::to_string(cause.number) + " of " + std::to_string(cause.count) +
                   "; the install was not started";
        case UpdateCauseKind::DriveGone: return "the drive has gone";
        case UpdateCauseKind::StillInstalling:
            return "the drive was still installing after " + std::to_string(cause.number) + " s";
        case UpdateCauseKind::NoReadyAnswer:
            return "the drive did not report ready within " + std::to_string(cause.number) + " s";
        case UpdateCauseKind::InstallFault: return "the drive kept answering \"" + cause.detail + "\" while installing";
        case UpdateCauseKind::WentAway: return "the drive went away while installing: reconnect it and run `kdu list`";
        case UpdateCauseKind::StoppedWaiting: return "stopped waiting on request";
        case UpdateCauseKind::NotIdentified: return "the drive did not identify itself";
        case UpdateCauseKind::WrongRevision:
            return "the drive reports revision \"" + cause.found + "\", not \"" + cause.expected + "\"";
        case UpdateCauseKind::NotGivenBack: return "the drive could not be given back";
    }
    return {};
}

std::string UpdateReport::message() const {
    if (ok()) return std::string(driveStateText(state));
    return std::string(updateStepText(step)) + ": " + causeText(cause) + "; " + std::string(driveStateText(state));
}
