#include "app/UpdateReportText.h"

#include <QCoreApplication>

#include "app/DriveDescription.h"
#include "model/FirmwareImages.h"

namespace {

QString text(const std::string& s) { return QString::fromStdString(s); }

QString imageProblemLabel(const ImageFault& fault) {
    switch (fault.problem) {
    case ImageProblem::None:
        break;
    case ImageProblem::Missing:
        //% "missing"
        return qtTrId("IMAGE_MISSING");
    case ImageProblem::NotRegularFile:
        //% "missing or not a regular file"
        return qtTrId("IMAGE_NOT_REGULAR");
    case ImageProblem::TooLarge:
        //% "too large (%1 bytes, at most %2)"
        return qtTrId("IMAGE_TOO_LARGE").arg(fault.size).arg(fault.limit);
    case ImageProblem::Unreadable:
        //% "cannot be read"
        return qtTrId("IMAGE_UNREADABLE");
    case ImageProblem::NotInManifest:
        //% "not listed in the image manifest"
        return qtTrId("IMAGE_NOT_IN_MANIFEST");
    case ImageProblem::Truncated:
        //% "truncated (%1 bytes, at least %2 needed)"
        return qtTrId("IMAGE_TRUNCATED").arg(fault.size).arg(fault.limit);
    case ImageProblem::Damaged:
        //% "damaged or replaced (its SHA-256 differs from the one this program was built with)"
        return qtTrId("IMAGE_DAMAGED");
    case ImageProblem::OtherRevision:
        //% "carries revision \"%1\", not \"%2\""
        return qtTrId("IMAGE_OTHER_REVISION").arg(text(fault.detail), QString::fromLatin1(kTargetRevision));
    case ImageProblem::ManifestMalformed:
        // The parser's words stay as they are.
        //% "malformed: %1"
        return qtTrId("IMAGE_MANIFEST_MALFORMED").arg(text(fault.detail));
    case ImageProblem::WrongRole:
        if (fault.detail == "kernel") {
            //% "holds the kernel image, not the normal image"
            return qtTrId("IMAGE_HOLDS_KERNEL");
        }
        //% "holds the normal image, not the kernel image"
        return qtTrId("IMAGE_HOLDS_NORMAL");
    case ImageProblem::ManifestDiffers:
        //% "lists another SHA-256 for %1 than this program was built with"
        return qtTrId("IMAGE_MANIFEST_DIFFERS").arg(text(fault.detail));
    case ImageProblem::ChangedSinceStart:
        //% "changed since the program started"
        return qtTrId("IMAGE_CHANGED");
    case ImageProblem::MissingAtStart:
        //% "missing at start-up"
        return qtTrId("IMAGE_MISSING_AT_START");
    }
    return QString();
}

}  // namespace

QString imageFaultLabel(const ImageFault& fault) {
    return text(fault.file) + QStringLiteral(": ") + imageProblemLabel(fault);
}

namespace {

QString driveChangeLabel(const UpdateCause& cause) {
    switch (cause.change) {
    case DriveChange::None:
        break;
    case DriveChange::OtherDrive:
        //% "another drive answers in its place"
        return qtTrId("CHANGE_OTHER_DRIVE");
    case DriveChange::OtherModel:
        //% "it no longer answers as a drive of the target model"
        return qtTrId("CHANGE_OTHER_MODEL");
    case DriveChange::LeftUpdateMode:
        //% "it has left its update mode"
        return qtTrId("CHANGE_LEFT_UPDATE_MODE");
    case DriveChange::EnteredUpdateMode:
        //% "it has been put into its update mode"
        return qtTrId("CHANGE_ENTERED_UPDATE_MODE");
    case DriveChange::Revision:
        //% "its revision is now \"%1\", not \"%2\""
        return qtTrId("CHANGE_REVISION").arg(text(cause.found), text(cause.expected));
    case DriveChange::Identification:
        //% "it identifies differently"
        return qtTrId("CHANGE_IDENTIFICATION");
    case DriveChange::HardwareVersions:
        //% "its hardware versions differ"
        return qtTrId("CHANGE_HARDWARE_VERSIONS");
    case DriveChange::NoLongerEligible:
        //% "it may not be updated: %1"
        return qtTrId("CHANGE_NOT_ELIGIBLE").arg(eligibilityReason(cause.eligibility));
    }
    return QString();
}

}  // namespace

QString updateStepLabel(UpdateStep step) {
    switch (step) {
    case UpdateStep::CheckImages:
        //% "checking the firmware images"
        return qtTrId("STEP_CHECK_IMAGES");
    case UpdateStep::TakeDrive:
        //% "taking the drive"
        return qtTrId("STEP_TAKE_DRIVE");
    case UpdateStep::IdentifyAgain:
        //% "identifying the drive again"
        return qtTrId("STEP_IDENTIFY_AGAIN");
    case UpdateStep::ToKernelMode:
        //% "switching the drive to its update mode"
        return qtTrId("STEP_TO_UPDATE_MODE");
    case UpdateStep::WriteKernelImage:
        //% "writing the kernel image"
        return qtTrId("STEP_WRITE_KERNEL_IMAGE");
    case UpdateStep::WriteNormalImage:
        //% "writing the firmware"
        return qtTrId("STEP_WRITE_FIRMWARE");
    case UpdateStep::ToNormalMode:
        //% "switching the drive back to start the install"
        return qtTrId("STEP_TO_NORMAL_MODE");
    case UpdateStep::Install:
        //% "waiting for the drive to install the firmware"
        return qtTrId("STEP_INSTALL");
    case UpdateStep::AwaitReturn:
        //% "waiting for the drive to come back"
        return qtTrId("STEP_AWAIT_RETURN");
    case UpdateStep::CheckRevision:
        //% "checking the new firmware"
        return qtTrId("STEP_CHECK_REVISION");
    case UpdateStep::ReleaseDrive:
        //% "giving the drive back"
        return qtTrId("STEP_RELEASE_DRIVE");
    case UpdateStep::Done:
        //% "done"
        return qtTrId("STEP_DONE");
    }
    return QString();
}

QString driveStateLabel(DriveState state) {
    switch (state) {
    case DriveState::OldFirmware:
        //% "the drive still runs its old firmware"
        return qtTrId("STATE_OLD_FIRMWARE");
    case DriveState::UpdateMode:
        //% "the drive is in its update mode: run the update again to finish; do not unplug it"
        return qtTrId("STATE_UPDATE_MODE");
    case DriveState::Installing:
        //% "the drive goes on installing the firmware: keep it connected and powered until it is ready"
        return qtTrId("STATE_INSTALLING");
    case DriveState::Unknown:
        //% "state unknown"
        return qtTrId("STATE_UNKNOWN");
    case DriveState::Updated:
        //% "the drive runs the new firmware"
        return qtTrId("STATE_UPDATED");
    }
    return QString();
}

QString updateCauseLabel(const UpdateCause& cause) {
    switch (cause.kind) {
    case UpdateCauseKind::None:
        break;
    case UpdateCauseKind::ImageRefused:
        return imageFaultLabel(cause.image);
    case UpdateCauseKind::NoDriveChosen:
        //% "no drive was chosen"
        return qtTrId("CAUSE_NO_DRIVE");
    case UpdateCauseKind::LockedElsewhere:
        //% "the drive is being updated by another process"
        return qtTrId("CAUSE_LOCKED_ELSEWHERE");
    case UpdateCauseKind::LockUnusable:
        // The system's words (a path and its error) stay as they are.
        //% "%1"
        return qtTrId("CAUSE_LOCK_UNUSABLE").arg(text(cause.detail));
    case UpdateCauseKind::CannotOpen:
        //% "the drive cannot be opened; is it still attached?"
        return qtTrId("CAUSE_CANNOT_OPEN");
    case UpdateCauseKind::InUse:
        //% "the drive is in use by another program"
        return qtTrId("CAUSE_IN_USE");
    case UpdateCauseKind::DriveChanged:
        //% "the drive changed since it was chosen: %1"
        return qtTrId("CAUSE_DRIVE_CHANGED").arg(driveChangeLabel(cause));
    case UpdateCauseKind::DryRun:
        //% "dry run: every check passed and nothing was sent"
        return qtTrId("CAUSE_DRY_RUN");
    case UpdateCauseKind::Cancelled:
        //% "cancelled before anything was sent"
        return qtTrId("CAUSE_CANCELLED");
    case UpdateCauseKind::ToUpdateModeRefused:
        //% "the drive refused to switch to its update mode"
        return qtTrId("CAUSE_TO_UPDATE_MODE_REFUSED");
    case UpdateCauseKind::SwitchBackRefused:
        //% "the drive refused to switch back"
        return qtTrId("CAUSE_SWITCH_BACK_REFUSED");
    case UpdateCauseKind::PieceRefused:
        //% "the drive refused piece %1 of %2; the install was not started"
        return qtTrId("CAUSE_PIECE_REFUSED").arg(cause.number).arg(cause.count);
    case UpdateCauseKind::DriveGone:
        //% "the drive has gone"
        return qtTrId("CAUSE_DRIVE_GONE");
    case UpdateCauseKind::StillInstalling:
        //% "the drive was still installing after %1 s"
        return qtTrId("CAUSE_STILL_INSTALLING").arg(cause.number);
    case UpdateCauseKind::NoReadyAnswer:
        //% "the drive did not report ready within %1 s"
        return qtTrId("CAUSE_NO_READY_ANSWER").arg(cause.number);
    case UpdateCauseKind::InstallFault:
        // The drive's answer stays in the words of its codes.
        //% "the drive kept answering \"%1\" while installing"
        return qtTrId("CAUSE_INSTALL_FAULT").arg(text(cause.detail));
    case UpdateCauseKind::WentAway:
        //% "the drive went away while installing: reconnect it and run `kdu list`"
        return qtTrId("CAUSE_WENT_AWAY");
    case UpdateCauseKind::StoppedWaiting:
        //% "stopped waiting on request"
        return qtTrId("CAUSE_STOPPED_WAITING");
    case UpdateCauseKind::NotIdentified:
        //% "the drive did not identify itself"
        return qtTrId("CAUSE_NOT_IDENTIFIED");
    case UpdateCauseKind::WrongRevision:
        //% "the drive reports revision \"%1\", not \"%2\""
        return qtTrId("CAUSE_WRONG_REVISION").arg(text(cause.found), text(cause.expected));
    case UpdateCauseKind::NotGivenBack:
        //% "the drive could not be given back"
        return qtTrId("CAUSE_NOT_GIVEN_BACK");
    }
    return QString();
}

namespace {

QString reportOutcome(const UpdateReport& report) {
    if (report.ok()) {
        //% "%1."
        return qtTrId("RESULT_STATE").arg(driveStateLabel(report.state));
    }
    //% "%1: %2; %3."
    return qtTrId("RESULT_FAILURE")
        .arg(updateStepLabel(report.step), updateCauseLabel(report.cause), driveStateLabel(report.state));
}

}  // namespace

QString updateReportText(const UpdateReport& report) {
    if (!report.historyProblem) {
        return reportOutcome(report);
    }
    // The system's words stay as they are.
    //% "This update is missing from the update history: %1"
    return reportOutcome(report) + QLatin1Char('\n') + qtTrId("RESULT_NOT_RECORDED").arg(text(*report.historyProblem));
}
