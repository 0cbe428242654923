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
        case UpdateStep::CheckRevision: return "checking the new firmware";
        case UpdateStep::ReleaseDrive: return "giving the drive back";
        case UpdateStep::Done: return "done";
    }
    return "";
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

std::string UpdateReport::message() const {
    if (ok) return std::string(driveStateText(state));
    return std::string(updateStepText(step)) + ": " + cause + "; " + std::string(driveStateText(state));
}
