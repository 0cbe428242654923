#include "app/UpdateStatus.h"

#include "model/NotificationNames.h"

#include <QCoreApplication>
#include <algorithm>

namespace {

constexpr std::int32_t kScale = kInstallProgressScale;
// Too early to tell: a guess from less than this would jump around.
constexpr std::int64_t kEstimateAfterMs = 1000;

}  // namespace

QString lookingForDrivesText() {
    //% "Looking for drives…"
    return qtTrId("STATUS_LOOKING_FOR_DRIVES");
}

QString UpdateStatus::phase(const UpdateProgress& progress) {
    switch (progress.step) {
    case UpdateStep::CheckImages:
    case UpdateStep::TakeDrive:
    case UpdateStep::IdentifyAgain:
        installStart_.reset();
        //% "Preparing the update"
        return qtTrId("STATUS_PREPARING");
    case UpdateStep::ToKernelMode:
        //% "Switching the drive to update mode"
        return qtTrId("STATUS_TO_UPDATE_MODE");
    case UpdateStep::WriteKernelImage:
        //% "Writing the update loader"
        return qtTrId("STATUS_WRITING_LOADER");
    case UpdateStep::WriteNormalImage:
        //% "Writing firmware: %1 of %2 KiB"
        // Rounded alike, so the last report reads "N of N".
        return qtTrId("STATUS_WRITING_FIRMWARE").arg((progress.done + 1023) / 1024).arg((progress.total + 1023) / 1024);
    case UpdateStep::ToNormalMode:
        //% "Starting the install"
        return qtTrId("STATUS_STARTING_INSTALL");
    case UpdateStep::Install:
        return install(kScale, -1);
    case UpdateStep::AwaitReturn:
        installStart_.reset();  // the estimate starts afresh once it is back
        //% "Waiting for the drive to come back"
        return qtTrId("STATUS_AWAITING_RETURN");
    case UpdateStep::CheckRevision:
        //% "Checking the new firmware"
        return qtTrId("STATUS_CHECKING");
    case UpdateStep::ReleaseDrive:
    case UpdateStep::Done:
        break;
    }
    return QString();
}

QString UpdateStatus::install(std::int32_t v, std::int64_t nowMs) {
    const int pct = installPercent(v);
    const std::int32_t done = kScale - std::clamp<std::int32_t>(v, 0, kScale);
    if (nowMs >= 0 && !installStart_) {
        installStart_.emplace(nowMs, done);
    }
    if (installStart_ && nowMs >= 0) {
        const auto [startMs, startDone] = *installStart_;
        const std::int64_t elapsed = nowMs - startMs;
        if (elapsed >= kEstimateAfterMs && done > startDone) {
            const std::int64_t leftMs = elapsed * (kScale - done) / (done - startDone);
            //% "Installing: %1 % (about %2 s left)"
            return qtTrId("STATUS_INSTALLING_LEFT").arg(pct).arg((leftMs + 999) / 1000);
        }
    }
    //% "Installing: %1 %"
    return qtTrId("STATUS_INSTALLING").arg(pct);
}
