// The firmware update sequence of one drive: kernel mode, both images, normal mode, the
// wait while the drive installs, and the check of the revision it reports afterwards.
// Nothing reaches the drive before the images are proven and the drive is known to be the
// one that was chosen; a piece the drive refuses ends the transfer, so it is never told to
// install an image known to be incomplete.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <thread>

#include "log/Console.h"
#include "drive/DriveAccess.h"
#include "drive/STUCMethod.h"
#include "model/FirmwareImageFormat.h"
#include "model/FirmwareImages.h"
#include "model/ImageProof.h"
#include "model/NotificationNames.h"
#include "model/Util.h"
#include "platform/DriveUpdateLock.h"
#include "log/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/PowerInhibitor.h"
#include "platform/Registry.h"

namespace {

constexpr char kFunction[] = "ExecUpdateMain";
constexpr std::uint32_t kPieceLength = kWriteBufferMaxLength;
constexpr std::uint32_t kTransferGranule = 256;

struct KernelPiece {
    std::uint32_t offset, length;
};
constexpr KernelPiece kKernelPieces[] = {{0, 32768}, {32768, 32768}, {65536, 4608}};
static_assert(32768 + 32768 + 4608 == image_format::kKernelImageSentLength);

constexpr std::uint8_t kSenseKeyUnitAttention = 0x06;
constexpr std::uint8_t kAscPowerOnOrReset = 0x29;
constexpr std::uint8_t kAscParametersChanged = 0x2A;

std::uint32_t roundUpToGranule(std::uint32_t n) {
    return (n + kTransferGranule - 1) / kTransferGranule * kTransferGranule;
}

struct NormalPiece {
    std::uint32_t offset, bytes, transferLength;
};

// The normal image as it is sent, and as the plan shows it: whole pieces, the last rounded
// up to the transfer granule.
std::vector<NormalPiece> normalPieces(std::uint32_t length) {
    std::vector<NormalPiece> pieces;
    for (std::uint32_t offset = 0; offset < length;) {
        const std::uint32_t n = std::min(kPieceLength, length - offset);
        pieces.push_back({offset, n, roundUpToGranule(n)});
        offset += roundUpToGranule(n);
    }
    return pieces;
}

// One run of the sequence: the drive, what the caller asked for, and the report it fills.
class UpdateRun {
public:
    UpdateRun(DeviceData& drive, const FirmFileData& normal, const UpdateTiming& timing, const UpdateHooks& hooks,
              UpdateReport& report)
        : drive_(drive), normal_(normal), timing_(timing), hooks_(hooks), report_(report) {
        report_ = UpdateReport{};
        report_.state = drive_.driveMode() == 0 ? DriveState::OldFirmware : DriveState::UpdateMode;
    }

    bool succeed() {
        report_.step = UpdateStep::Done;
        report_.cause = UpdateCause{};
        return true;
    }
    bool fail(UpdateStep step, UpdateCause cause) { return fail(step, report_.state, std::move(cause)); }
    bool fail(UpdateStep step, UpdateCauseKind kind) { return fail(step, UpdateCause(kind)); }
    bool fail(UpdateStep step, DriveState state, UpdateCauseKind kind) { return fail(step, state, UpdateCause(kind)); }
    bool fail(UpdateStep step, DriveState state, UpdateCause cause) {
        report_.step = step;
        report_.state = state;
        report_.cause = std::move(cause);
        return false;
    }

    void progress(UpdateStep step, std::uint64_t done = 0, std::uint64_t total = 0) const {
        if (hooks_.progress) hooks_.progress(UpdateProgress{step, done, total});
    }

    // What differs between the drive that answers now and the one chosen; `modeNow` is the
    // mode it reports now (unchanged when it did not say).
    std::optional<UpdateCause> whatChanged(platform::SCSITaskDeviceInterface* interface, std::int32_t& modeNow) const;
    bool runCritical(platform::SCSITaskDeviceInterface* interface, const ProvenImages& images);

private:
    bool sendKernelImage(platform::SCSITaskDeviceInterface* interface, const std::vector<std::uint8_t>& image);
    bool sendNormalImage(platform::SCSITaskDeviceInterface* interface, const std::vector<std::uint8_t>& image);
    bool pieceFailed(PieceOutcome outcome, UpdateStep step, std::uint64_t number, std::uint64_t count);
    bool waitForInstall(platform::SCSITaskDeviceInterface* interface);
    bool identifiesAsTarget(platform::SCSITaskDeviceInterface* interface);

    DeviceData& drive_;
    const FirmFileData& normal_;
    const UpdateTiming& timing_;
    const UpdateHooks& hooks_;
    UpdateReport& report_;
};

// Compares the drive as it answers now, held, with the drive that was chosen. Any
// difference means someone swapped or changed it since: nothing is sent then.
std::optional<UpdateCause> UpdateRun::whatChanged(platform::SCSITaskDeviceInterface* interface,
                                                  std::int32_t& modeNow) const {
    const auto changed = UpdateCause::driveChanged;
    modeNow = drive_.driveMode();
    const platform::DriveIdentity& chosen = drive_.identity();
    if (!chosen.empty() && !platform::IORegistryEntryGetIdentity(drive_.scsiDevice()).sameDriveAs(chosen))
        return changed(DriveChange::OtherDrive);
    const std::optional<DeviceData> now = IdentifyHeldDrive(interface, normal_, true);
    if (!now) return changed(DriveChange::OtherModel);
    modeNow = now->driveMode();
    if (now->driveMode() != drive_.driveMode())
        return changed(now->driveMode() == 0 ? DriveChange::LeftUpdateMode : DriveChange::EnteredUpdateMode);
    if (drive_.revision() != now->revision()) {
        UpdateCause cause = changed(DriveChange::Revision);
        cause.found = now->revision().value_or("?");
        cause.expected = drive_.revision().value_or("?");
        return cause;
    }
    if (drive_.vendor() != now->vendor() || drive_.product() != now->product() ||
        drive_.date() != now->date())
        return changed(DriveChange::Identification);
    if (drive_.hard_version() != now->hard_version() || drive_.dest_version() != now->dest_version() ||
        drive_.krnl_version() != now->krnl_version())
        return changed(DriveChange::HardwareVersions);
    if (now->eligibility() != UpdateEligibility::Eligible) {
        UpdateCause cause = changed(DriveChange::NoLongerEligible);
        cause.eligibility = now->eligibility();
        return cause;
    }
    return std::nullopt;
}

bool UpdateRun::pieceFailed(PieceOutcome outcome, UpdateStep step, std::uint64_t number, std::uint64_t count) {
    if (outcome == PieceOutcome::Accepted) return false;
    if (outcome == PieceOutcome::Gone) {
        KDU_LOG_ERR(kFunction, "the drive has gone. (piece %llu of %llu)", static_cast<unsigned long long>(number),
                    static_cast<unsigned long long>(count));
        fail(step, DriveState::Unknown, UpdateCauseKind::DriveGone);
        return true;
    }
    KDU_LOG_ERR(kFunction, "piece refused; transfer stopped. (%llu of %llu)", static_cast<unsigned long long>(number),
                static_cast<unsigned long long>(count));
    // The drive stays in its update mode rather than being told to install a broken image.
    UpdateCause cause(UpdateCauseKind::PieceRefused);
    cause.number = number;
    cause.count = count;
    fail(step, DriveState::UpdateMode, std::move(cause));
    return true;
}

bool UpdateRun::sendKernelImage(platform::SCSITaskDeviceInterface* interface, const std::vector<std::uint8_t>& image) {
    constexpr std::uint64_t count = std::size(kKernelPieces);
    std::uint64_t number = 0;
    for (const KernelPiece& piece : kKernelPieces) {
        const std::span<const std::uint8_t> bytes(image.data() + piece.offset, piece.length);
        if (pieceFailed(CommandWriteBuffer(interface, 1, &drive_, bytes, piece.offset, piece.length),
                        UpdateStep::WriteKernelImage, ++number, count))
            return false;
        progress(UpdateStep::WriteKernelImage, number, count);
    }
    return true;
}

bool UpdateRun::sendNormalImage(platform::SCSITaskDeviceInterface* interface, const std::vector<std::uint8_t>& image) {
    // The proof bounds the image to 16 MiB, so its length and offsets fit 32 bits.
    const auto fileLength = static_cast<std::uint32_t>(image.size());
    const std::vector<NormalPiece> pieces = normalPieces(fileLength);
    const std::uint32_t sentLength = roundUpToGranule(fileLength);
    progress(UpdateStep::WriteNormalImage, 0, fileLength);
    std::uint64_t number = 0;
    for (const NormalPiece& piece : pieces) {
        const std::span<const std::uint8_t> bytes(image.data() + piece.offset, piece.bytes);
        if (piece.bytes < kPieceLength) {
            kdulog::consoleOut("last one\n");
            if (piece.bytes != piece.transferLength) KDU_LOG_ERR(kFunction, "last data. (len != allocLen)");
        }
        if (pieceFailed(CommandWriteBuffer(interface, 0, &drive_, bytes, piece.offset, piece.transferLength),
                        UpdateStep::WriteNormalImage, ++number, pieces.size()))
            return false;
        const std::uint32_t sent = piece.offset + piece.transferLength;
        kdulog::consoleOut("write..(%d) 0x%x \n", static_cast<int>(number), sentLength - sent);
        progress(UpdateStep::WriteNormalImage, std::min(sent, fileLength), fileLength);
    }
    return true;
}

bool isRestartNotice(const platform::SCSI_Sense_Data& sense) {
    return (sense[2] & 0x0F) == kSenseKeyUnitAttention && (sense[12] == kAscPowerOnOrReset || sense[12] == kAscParametersChanged);
}

// Polls until the drive stops reporting that it is installing. A drive restarting while it
// installs says so with UNIT ATTENTION; that is part of the install, not its end.
bool UpdateRun::waitForInstall(platform::SCSITaskDeviceInterface* interface) {
    auto& center = platform::NotificationCenter::defaultCenter();
    const auto deadline = std::chrono::steady_clock::now() + timing_.waitLimit;
    bool discPresent = false;
    std::uint32_t progressValue = 0;
    enum class End { Ready, TimedOut, Stopped } end = End::Ready;
    for (;;) {
        platform::SCSI_Sense_Data sense{};
        const std::uint16_t result = CommandTestUnitReady(interface, &drive_, &discPresent, &progressValue, &sense);
        center.post(kUpdateIndicatorNotify, static_cast<std::int64_t>(progressValue));
        if (result != 0 && !(result == 1 && isRestartNotice(sense))) break;
        if (std::chrono::steady_clock::now() >= deadline) {
            end = End::TimedOut;
            break;
        }
        if (hooks_.stopWaiting && hooks_.stopWaiting()) {
            end = End::Stopped;
            break;
        }
        std::this_thread::sleep_for(timing_.pollInterval);
    }
    center.post(kUpdateIndicatorNotify, -1);
    if (end == End::TimedOut) {
        KDU_LOG_ERR(kFunction, "drive still installing after %lld ms.", static_cast<long long>(timing_.waitLimit.count()));
        UpdateCause cause(UpdateCauseKind::StillInstalling);
        cause.number = static_cast<std::uint64_t>(timing_.waitLimit.count() / 1000);
        return fail(UpdateStep::Install, DriveState::Installing, std::move(cause));
    }
    if (end == End::Stopped) return fail(UpdateStep::Install, DriveState::Installing, UpdateCauseKind::StoppedWaiting);
    return true;
}

// Only a revision the drive reports now counts: a failed INQUIRY must not let the
// revision kept from before the update pass for the new one.
bool UpdateRun::identifiesAsTarget(platform::SCSITaskDeviceInterface* interface) {
    OptionalText previous = drive_.revision();
    drive_.setRevision(std::nullopt);
    CommandInquiry(interface, &drive_);
    if (!drive_.revision()) {
        drive_.setRevision(std::move(previous));
        return fail(UpdateStep::CheckRevision, DriveState::Unknown, UpdateCauseKind::NotIdentified);
    }
    report_.revisionFound = drive_.revision();
    if (Util::cmpCurVersion(drive_.revision(), OptionalText{kTargetRevision}) == 0) {
        report_.state = DriveState::Updated;
        return true;
    }
    UpdateCause cause(UpdateCauseKind::WrongRevision);
    cause.found = *drive_.revision();
    cause.expected = kTargetRevision;
    if (drive_.driveMode() != 0) return fail(UpdateStep::CheckRevision, DriveState::UpdateMode, cause);
    return fail(UpdateStep::CheckRevision, previous == drive_.revision() ? DriveState::OldFirmware : DriveState::Unknown,
                cause);
}

// From the first mode change to the final identification, with access held.
bool UpdateRun::runCritical(platform::SCSITaskDeviceInterface* interface, const ProvenImages& images) {
    if (hooks_.reviewPlan) {
        const auto normalLength = static_cast<std::uint32_t>(images.normal.size());
        if (!hooks_.reviewPlan(updatePlan(drive_.driveMode(), normalLength)))
            return fail(UpdateStep::ToKernelMode, UpdateCauseKind::DryRun);
    }
    if (hooks_.beginCritical && !hooks_.beginCritical())
        return fail(UpdateStep::ToKernelMode, UpdateCauseKind::Cancelled);
    if (drive_.driveMode() == 0) {
        progress(UpdateStep::ToKernelMode);
        if (!CommandChangeDriveMode(interface, &drive_)) {
            KDU_LOG_ERR(kFunction, "change drive mode.( -> Kernel)");
            return fail(UpdateStep::ToKernelMode, UpdateCauseKind::ToUpdateModeRefused);
        }
    }
    report_.state = DriveState::UpdateMode;
    progress(UpdateStep::WriteKernelImage, 0, std::size(kKernelPieces));
    if (!sendKernelImage(interface, images.kernel)) return false;
    if (!sendNormalImage(interface, images.normal)) return false;
    kdulog::consoleOut("write completed.\n");

    progress(UpdateStep::ToNormalMode);
    if (!CommandChangeDriveMode(interface, &drive_)) {
        KDU_LOG_ERR(kFunction, "change drive mode.( -> Normal)");
        return fail(UpdateStep::ToNormalMode, UpdateCauseKind::SwitchBackRefused);
    }
    report_.state = DriveState::Installing;
    progress(UpdateStep::Install);
    if (!waitForInstall(interface)) return false;

    progress(UpdateStep::CheckRevision);
    return identifiesAsTarget(interface);
}

}  // namespace

std::vector<PlannedCommand> updatePlan(std::int32_t driveMode, std::uint32_t normalLength) {
    std::vector<PlannedCommand> plan;
    if (driveMode == 0) plan.push_back({UpdateStep::ToKernelMode, "CHANGE DRIVE MODE", 0, 0});
    for (const KernelPiece& piece : kKernelPieces)
        plan.push_back({UpdateStep::WriteKernelImage, "WRITE BUFFER", piece.offset, piece.length});
    for (const NormalPiece& piece : normalPieces(normalLength))
        plan.push_back({UpdateStep::WriteNormalImage, "WRITE BUFFER", piece.offset, piece.transferLength});
    plan.push_back({UpdateStep::ToNormalMode, "CHANGE DRIVE MODE", 0, 0});
    plan.push_back({UpdateStep::Install, "TEST UNIT READY", 0, 0});
    plan.push_back({UpdateStep::CheckRevision, "INQUIRY", 0, 0});
    return plan;
}

bool ExecUpdateMain(DeviceData& drive, const FirmFileData& normal, const FirmFileData& kernel,
                    const UpdateTiming& timing, const UpdateHooks& hooks, UpdateReport* report) {
    UpdateReport localReport;
    UpdateRun run(drive, normal, timing, hooks, report != nullptr ? *report : localReport);
    const platform::io_service_t service = drive.scsiDevice();
    if (service == platform::IO_OBJECT_NULL) return run.fail(UpdateStep::TakeDrive, UpdateCauseKind::NoDriveChosen);

    platform::io_name_t className{};
    const platform::kern_return_t kr = platform::IOObjectGetClass(service, className);
    if (kr != platform::kIOReturnSuccess)
        KDU_LOG_ERR(kFunction, "ExecWriteMain() Failed to get class name. (0x%08x)\n", static_cast<unsigned>(kr));
    else
        kdulog::consoleErr("ExecWriteMain() Found device class \"%s\" using .\n", className);

    // Proven before the drive is opened: a bad image never costs the drive a single command.
    run.progress(UpdateStep::CheckImages);
    const ImageProof proof = proveShippedImages(shippedImageBinding(), normal);
    if (!proof.proven() || !kernel.isFileExists()) {
        const UpdateCause cause = UpdateCause::refusedImage(
            proof.proven() ? ImageFault(ImageProblem::MissingAtStart, firmwareFileName(kKernelImageBaseName)) : proof.fault);
        KDU_LOG_ERR(kFunction, "firmware image refused: %s", causeText(cause).c_str());
        return run.fail(UpdateStep::CheckImages, cause);
    }

    // Sleep or shutdown in the middle would leave the drive in its update mode.
    const platform::SystemSleepInhibitor noSleep("Updating the firmware of an optical drive");
    run.progress(UpdateStep::TakeDrive);
    const std::string lockId = drive.identity().empty() ? platform::IORegistryEntryGetIdentity(service).lockKey()
                                                        : drive.identity().lockKey();
    std::string whyNotLocked;
    const std::optional<platform::DriveUpdateLock> updateLock = platform::DriveUpdateLock::tryTake(lockId, whyNotLocked);
    if (!updateLock) {
        if (whyNotLocked == platform::DriveUpdateLock::kHeldElsewhere)
            return run.fail(UpdateStep::TakeDrive, UpdateCauseKind::LockedElsewhere);
        UpdateCause cause(UpdateCauseKind::LockUnusable);
        cause.detail = whyNotLocked;
        return run.fail(UpdateStep::TakeDrive, std::move(cause));
    }

    drive_access::DriveInterfaces interfaces(service);
    platform::SCSITaskDeviceInterface* interface = interfaces.taskDevice();
    if (interface == nullptr) return run.fail(UpdateStep::TakeDrive, UpdateCauseKind::CannotOpen);

    drive_access::ExclusiveAccess access(interface);
    if (!access.held()) {
        KDU_LOG_WAR(kFunction, "ObtainExclusiveAccess failed.(1) (0x%08x)\n",
                    static_cast<unsigned>(access.obtainResult()));
        return run.fail(UpdateStep::TakeDrive, UpdateCauseKind::InUse);
    }

    run.progress(UpdateStep::IdentifyAgain);
    bool result = false;
    std::int32_t modeNow = drive.driveMode();
    if (std::optional<UpdateCause> changed = run.whatChanged(interface, modeNow)) {
        KDU_LOG_ERR(kFunction, "%s", causeText(*changed).c_str());
        run.fail(UpdateStep::IdentifyAgain, modeNow == 0 ? DriveState::OldFirmware : DriveState::UpdateMode,
                 std::move(*changed));
    } else {
        result = run.runCritical(interface, *proof.images);
    }
    std::fflush(stdout);

    const platform::IOReturn released = access.release();
    if (released != platform::kIOReturnSuccess) {
        KDU_LOG_ERR(kFunction, "ReleaseExclusiveAccess failed. (0x%08x)\n", static_cast<unsigned>(released));
        if (result) run.fail(UpdateStep::ReleaseDrive, DriveState::Updated, UpdateCauseKind::NotGivenBack);
        result = false;
    }
    return result ? run.succeed() : false;
}
