// The firmware update sequence of one drive: kernel mode, both images, normal mode, the
// wait while the drive installs, and the check of the revision it reports afterwards.
// Nothing reaches the drive before the images are proven and the drive is known to be the
// one that was chosen; a piece the drive refuses ends the transfer, so it is never told to
// install an image known to be incomplete.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <thread>

#include "log/Console.h"
#include "drive/DriveReturn.h"
#include "drive/STUCMethod.h"
#include "drive/UpdateHistory.h"
#include "model/FirmwareImageFormat.h"
#include "model/FirmwareImages.h"
#include "model/ImageProof.h"
#include "model/Util.h"
#include "platform/DriveUpdateLock.h"
#include "log/Log.h"
#include "platform/PowerInhibitor.h"

namespace {

constexpr char kFunction[] = "ExecUpdateMain";
constexpr std::uint32_t kPieceLength = kWriteBufferMaxLength;
constexpr std::uint32_t kTransferGranule = 256;

struct KernelPiece {
    std::uint32_t offset, length;
};
constexpr KernelPiece kKernelPieces[] = {{0, 32768}, {32768, 32768}, {65536, 4608}};
static_assert(32768 + 32768 + 4608 == image_format::kKernelImageSentLength);

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

// The drive as the update holds it. A drive that went away and came back is held anew
// through its new node.
class HeldDrive {
public:
    enum class Outcome { Held, CannotOpen, InUse };
    Outcome take(std::shared_ptr<platform::DeviceNode> node) {
        close();
        node_ = std::move(node);
        platform::Opened opened = CreateDeviceInterfaceForAuthoringDevice(*node_);
        channel_ = std::move(opened.channel);
        if (channel_) return Outcome::Held;
        if (!accessRefused(opened.error)) return Outcome::CannotOpen;
        KDU_LOG_WAR(kFunction, "ObtainExclusiveAccess failed.(1) (0x%08x)\n", static_cast<unsigned>(opened.error));
        return Outcome::InUse;
    }
    platform::TaskChannel& channel() const { return *channel_; }
    const platform::DeviceNode& node() const { return *node_; }
    scsi::TransportError release() { return channel_ ? channel_->release() : scsi::TransportError::None; }
    void close() { channel_.reset(); }

private:
    std::shared_ptr<platform::DeviceNode> node_;
    std::unique_ptr<platform::TaskChannel> channel_;
};

// How the drive took one piece of an image.
enum class PieceOutcome {
    Accepted,  // GOOD, every byte moved
    Refused,   // CHECK CONDITION, another status, a transport error or bytes left over
    Gone,      // the drive is no longer there
};

PieceOutcome pieceOutcome(const scsi::Result& result, std::uint32_t length) {
    if (result.error == scsi::TransportError::NoDevice) return PieceOutcome::Gone;
    // A piece the drive did not take whole leaves a hole in the image it would install.
    return result.good() && result.transferred == length ? PieceOutcome::Accepted : PieceOutcome::Refused;
}

// One run of the sequence: the drive, what the caller asked for, and the report it fills.
class UpdateRun {
public:
    UpdateRun(DeviceData& drive, const FirmFileData& normal, const UpdateTiming& timing, const UpdateHooks& hooks,
              UpdateReport& report, HeldDrive& held, UpdateRecorder& recorder)
        : drive_(drive), normal_(normal), timing_(timing), hooks_(hooks), report_(report), held_(held),
          recorder_(recorder) {
        report_ = UpdateReport{};
        report_.state = drive_.driveMode() == DriveMode::Normal ? DriveState::OldFirmware : DriveState::UpdateMode;
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
    void indicate(std::int64_t value) const {
        if (hooks_.progress) hooks_.progress(UpdateProgress{UpdateStep::Install, 0, 0, value});
    }

    // What differs between the drive that answers now and the one chosen; `modeNow` is the
    // mode it reports now (unchanged when it did not say).
    std::optional<UpdateCause> whatChanged(platform::TaskChannel& channel, DriveMode& modeNow) const;
    bool runCritical(platform::TaskChannel& channel, const ProvenImages& images);

private:
    bool sendKernelImage(platform::TaskChannel& channel, const std::vector<std::uint8_t>& image);
    bool sendNormalImage(platform::TaskChannel& channel, const std::vector<std::uint8_t>& image);
    bool pieceFailed(PieceOutcome outcome, UpdateStep step, std::uint64_t number, std::uint64_t count);
    bool waitForInstall();
    bool followReturn(std::chrono::steady_clock::time_point deadline);
    bool stopRequested() const { return hooks_.stopWaiting && hooks_.stopWaiting(); }
    bool identifiesAsTarget();

    DeviceData& drive_;
    const FirmFileData& normal_;
    const UpdateTiming& timing_;
    const UpdateHooks& hooks_;
    UpdateReport& report_;
    HeldDrive& held_;
    UpdateRecorder& recorder_;
};

// Compares the drive as it answers now, held, with the drive that was chosen. Any
// difference means someone swapped or changed it since: nothing is sent then.
std::optional<UpdateCause> UpdateRun::whatChanged(platform::TaskChannel& channel,
                                                  DriveMode& modeNow) const {
    const auto changed = UpdateCause::driveChanged;
    modeNow = drive_.driveMode();
    const scsi::DriveIdentity& chosen = drive_.identity();
    if (!held_.node().identity().sameDriveAs(chosen)) return changed(DriveChange::OtherDrive);
    const std::optional<DeviceData> now = IdentifyHeldDrive(channel, normal_, true);
    if (!now) return changed(DriveChange::OtherModel);
    modeNow = now->driveMode();
    if (now->driveMode() != drive_.driveMode())
        return changed(now->driveMode() == DriveMode::Normal ? DriveChange::LeftUpdateMode : DriveChange::EnteredUpdateMode);
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

bool UpdateRun::sendKernelImage(platform::TaskChannel& channel, const std::vector<std::uint8_t>& image) {
    constexpr std::uint64_t count = std::size(kKernelPieces);
    std::uint64_t number = 0;
    for (const KernelPiece& piece : kKernelPieces) {
        const std::span<const std::uint8_t> bytes(image.data() + piece.offset, piece.length);
        if (pieceFailed(pieceOutcome(CommandWriteBuffer(channel, 1, &drive_, bytes, piece.offset, piece.length),
                                     piece.length),
                        UpdateStep::WriteKernelImage, ++number, count))
            return false;
        progress(UpdateStep::WriteKernelImage, number, count);
    }
    return true;
}

bool UpdateRun::sendNormalImage(platform::TaskChannel& channel, const std::vector<std::uint8_t>& image) {
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
        if (pieceFailed(pieceOutcome(CommandWriteBuffer(channel, 0, &drive_, bytes, piece.offset, piece.transferLength),
                                     piece.transferLength),
                        UpdateStep::WriteNormalImage, ++number, pieces.size()))
            return false;
        const std::uint32_t sent = piece.offset + piece.transferLength;
        kdulog::consoleOut("write..(%d) 0x%x \n", static_cast<int>(number), sentLength - sent);
        progress(UpdateStep::WriteNormalImage, std::min(sent, fileLength), fileLength);
    }
    return true;
}

// Where the drive is, judged by its last answer while it installs.
DriveState stateAfter(UnitState last) {
    switch (last) {
        case UnitState::Installing:
        case UnitState::Restarting:
        case UnitState::Busy: return DriveState::Installing;
        default: return DriveState::Unknown;
    }
}

// Polls until the drive runs normally again. Answers that are part of an install (its
// progress, a restart, becoming ready, busy) or no answer for the moment keep the wait
// going until the bound; another answer ends it only when it persists; a drive that goes
// away is followed. Only the identification afterwards decides whether it worked.
bool UpdateRun::waitForInstall() {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timing_.waitLimit;
    std::optional<std::int64_t> shown;  // the last progress value reported
    // When answers that are no part of an install began; never while there are none.
    constexpr Clock::time_point never = Clock::time_point::max();
    Clock::time_point faultSince = never;
    UnitReadiness answer;
    enum class End { Ready, TimedOut, Stopped, Fault, Away } end = End::Ready;
    for (;;) {
        answer = CommandTestUnitReady(held_.channel(), &drive_);
        if (answer.state == UnitState::Installing) shown = answer.progress;
        if (answer.operational()) shown = 0;
        if (shown) indicate(*shown);
        if (answer.operational()) break;
        if (answer.state == UnitState::Gone) {
            if (!followReturn(deadline)) {
                end = stopRequested() ? End::Stopped : End::Away;
                break;
            }
            faultSince = never;
            continue;  // the drive that came back answers at once
        }
        const auto now = Clock::now();
        if (answer.state != UnitState::OtherSense) {
            faultSince = never;
        } else if (faultSince == never) {
            faultSince = now;
        } else if (now - faultSince >= timing_.faultPersistence) {
            end = End::Fault;
            break;
        }
        if (now >= deadline) {
            end = End::TimedOut;
            break;
        }
        if (stopRequested()) {
            end = End::Stopped;
            break;
        }
        std::this_thread::sleep_for(timing_.pollInterval);
    }
    indicate(-1);
    const auto seconds = static_cast<std::uint64_t>(timing_.waitLimit.count() / 1000);
    switch (end) {
        case End::Ready: return true;
        case End::TimedOut: {
            KDU_LOG_ERR(kFunction, "drive still installing after %lld ms.", static_cast<long long>(timing_.waitLimit.count()));
            const DriveState state = stateAfter(answer.state);
            UpdateCause cause(state == DriveState::Installing ? UpdateCauseKind::StillInstalling
                                                              : UpdateCauseKind::NoReadyAnswer);
            cause.number = seconds;
            return fail(UpdateStep::Install, state, std::move(cause));
        }
        case End::Stopped:
            return fail(UpdateStep::Install, answer.state == UnitState::Gone ? DriveState::Unknown : stateAfter(answer.state),
                        UpdateCauseKind::StoppedWaiting);
        case End::Fault: {
            UpdateCause cause(UpdateCauseKind::InstallFault);
            cause.detail = senseText(answer.sense());
            KDU_LOG_ERR(kFunction, "%s", causeText(cause).c_str());
            return fail(UpdateStep::Install, DriveState::Unknown, std::move(cause));
        }
        case End::Away:
            KDU_LOG_ERR(kFunction, "the drive did not come back within %lld ms.",
                        static_cast<long long>(timing_.waitLimit.count()));
            return fail(UpdateStep::Install, DriveState::Unknown, UpdateCauseKind::WentAway);
    }
    return false;
}

// The drive went away while it installs (a USB drive resets or is enumerated anew): the
// same drive is held again once it is back, maybe at another place and under other nodes.
bool UpdateRun::followReturn(std::chrono::steady_clock::time_point deadline) {
    using Clock = std::chrono::steady_clock;
    KDU_LOG_WAR(kFunction, "the drive went away while installing; waiting for it to come back.");
    progress(UpdateStep::AwaitReturn);
    held_.close();
    const auto slice = std::max(timing_.pollInterval, std::chrono::milliseconds(100));
    const std::shared_ptr<platform::DeviceNode> back =
        AwaitDriveReturn(drive_.identity(), deadline, [this] { return stopRequested(); }, slice);
    if (!back) return false;
    // Someone else may hold it for a moment as it arrives (the system probing it).
    while (held_.take(back) != HeldDrive::Outcome::Held) {
        if (Clock::now() >= deadline || stopRequested()) {
            held_.close();
            return false;
        }
        std::this_thread::sleep_for(slice);
    }
    drive_.setIdentity(back->identity());
    KDU_LOG_WAR(kFunction, "the drive is back at %s; waiting for its install.", drive_.identity().id.c_str());
    progress(UpdateStep::Install);
    return true;
}

// Only a revision the drive reports now counts: a failed INQUIRY must not let the
// revision kept from before the update pass for the new one. The drive has been switched
// by now, so another revision never means that nothing changed.
bool UpdateRun::identifiesAsTarget() {
    OptionalText previous = drive_.revision();
    drive_.setRevision(std::nullopt);
    CommandInquiry(held_.channel(), &drive_);
    if (!drive_.revision() || !Util::isTargetModel(drive_.product())) {
        if (!drive_.revision()) drive_.setRevision(std::move(previous));
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
    return fail(UpdateStep::CheckRevision, drive_.driveMode() == DriveMode::Kernel ? DriveState::UpdateMode : DriveState::Unknown,
                std::move(cause));
}

// From the first mode change to the final identification, with access held.
bool UpdateRun::runCritical(platform::TaskChannel& channel, const ProvenImages& images) {
    if (hooks_.reviewPlan) {
        const auto normalLength = static_cast<std::uint32_t>(images.normal.size());
        if (!hooks_.reviewPlan(updatePlan(drive_.driveMode(), normalLength)))
            return fail(UpdateStep::ToKernelMode, UpdateCauseKind::DryRun);
    }
    if (hooks_.beginCritical && !hooks_.beginCritical())
        return fail(UpdateStep::ToKernelMode, UpdateCauseKind::Cancelled);
    recorder_.started();
    if (drive_.driveMode() == DriveMode::Normal) {
        progress(UpdateStep::ToKernelMode);
        if (!CommandChangeDriveMode(channel, &drive_).good()) {
            KDU_LOG_ERR(kFunction, "change drive mode.( -> Kernel)");
            return fail(UpdateStep::ToKernelMode, UpdateCauseKind::ToUpdateModeRefused);
        }
    }
    report_.state = DriveState::UpdateMode;
    progress(UpdateStep::WriteKernelImage, 0, std::size(kKernelPieces));
    if (!sendKernelImage(channel, images.kernel)) return false;
    if (!sendNormalImage(channel, images.normal)) return false;
    kdulog::consoleOut("write completed.\n");

    progress(UpdateStep::ToNormalMode);
    if (!CommandChangeDriveMode(channel, &drive_).good()) {
        KDU_LOG_ERR(kFunction, "change drive mode.( -> Normal)");
        return fail(UpdateStep::ToNormalMode, UpdateCauseKind::SwitchBackRefused);
    }
    report_.state = DriveState::Installing;
    progress(UpdateStep::Install);
    if (!waitForInstall()) return false;

    progress(UpdateStep::CheckRevision);
    return identifiesAsTarget();
}

}  // namespace

std::vector<PlannedCommand> updatePlan(DriveMode driveMode, std::uint32_t normalLength) {
    std::vector<PlannedCommand> plan;
    if (driveMode == DriveMode::Normal) plan.push_back({UpdateStep::ToKernelMode, "CHANGE DRIVE MODE", 0, 0});
    for (const KernelPiece& piece : kKernelPieces)
        plan.push_back({UpdateStep::WriteKernelImage, "WRITE BUFFER", piece.offset, piece.length});
    for (const NormalPiece& piece : normalPieces(normalLength))
        plan.push_back({UpdateStep::WriteNormalImage, "WRITE BUFFER", piece.offset, piece.transferLength});
    plan.push_back({UpdateStep::ToNormalMode, "CHANGE DRIVE MODE", 0, 0});
    plan.push_back({UpdateStep::Install, "TEST UNIT READY", 0, 0});
    plan.push_back({UpdateStep::CheckRevision, "INQUIRY", 0, 0});
    return plan;
}

namespace {

bool runUpdate(DeviceData& drive, const FirmFileData& normal, const FirmFileData& kernel, const UpdateTiming& timing,
               const UpdateHooks& hooks, UpdateReport& report, UpdateRecorder& recorder) {
    HeldDrive held;
    UpdateRun run(drive, normal, timing, hooks, report, held, recorder);
    if (drive.identity().empty()) return run.fail(UpdateStep::TakeDrive, UpdateCauseKind::NoDriveChosen);
    std::shared_ptr<platform::DeviceNode> node = attachedDrive(drive.identity());

    std::string className;
    const scsi::TransportError kr = node ? node->className(className) : scsi::TransportError::NoDevice;
    if (kr != scsi::TransportError::None)
        KDU_LOG_ERR(kFunction, "ExecWriteMain() Failed to get class name. (0x%08x)\n", static_cast<unsigned>(kr));
    else
        kdulog::consoleErr("ExecWriteMain() Found device class \"%s\" using .\n", className.c_str());

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
    std::optional<platform::SystemSleepInhibitor> noSleep;
    if (!hooks.callerInhibitsSleep) noSleep.emplace("Updating the firmware of an optical drive");
    run.progress(UpdateStep::TakeDrive);
    const std::string lockId = drive.identity().lockKey();
    std::string whyNotLocked;
    const std::optional<platform::DriveUpdateLock> updateLock = platform::DriveUpdateLock::tryTake(lockId, whyNotLocked);
    if (!updateLock) {
        if (whyNotLocked == platform::DriveUpdateLock::kHeldElsewhere)
            return run.fail(UpdateStep::TakeDrive, UpdateCauseKind::LockedElsewhere);
        UpdateCause cause(UpdateCauseKind::LockUnusable);
        cause.detail = whyNotLocked;
        return run.fail(UpdateStep::TakeDrive, std::move(cause));
    }

    if (!node) return run.fail(UpdateStep::TakeDrive, UpdateCauseKind::CannotOpen);
    switch (held.take(std::move(node))) {
        case HeldDrive::Outcome::Held: break;
        case HeldDrive::Outcome::CannotOpen: return run.fail(UpdateStep::TakeDrive, UpdateCauseKind::CannotOpen);
        case HeldDrive::Outcome::InUse: return run.fail(UpdateStep::TakeDrive, UpdateCauseKind::InUse);
    }
    platform::TaskChannel& channel = held.channel();

    run.progress(UpdateStep::IdentifyAgain);
    bool result = false;
    DriveMode modeNow = drive.driveMode();
    if (std::optional<UpdateCause> changed = run.whatChanged(channel, modeNow)) {
        KDU_LOG_ERR(kFunction, "%s", causeText(*changed).c_str());
        run.fail(UpdateStep::IdentifyAgain, modeNow == DriveMode::Normal ? DriveState::OldFirmware : DriveState::UpdateMode,
                 std::move(*changed));
    } else {
        result = run.runCritical(channel, *proof.images);
    }
    std::fflush(stdout);

    const scsi::TransportError released = held.release();
    if (released != scsi::TransportError::None) {
        KDU_LOG_ERR(kFunction, "ReleaseExclusiveAccess failed. (0x%08x)\n", static_cast<unsigned>(released));
        if (result) run.fail(UpdateStep::ReleaseDrive, DriveState::Updated, UpdateCauseKind::NotGivenBack);
        result = false;
    }
    return result ? run.succeed() : false;
}

}  // namespace

bool ExecUpdateMain(DeviceData& drive, const FirmFileData& normal, const FirmFileData& kernel,
                    const UpdateTiming& timing, const UpdateHooks& hooks, UpdateReport* report) {
    UpdateReport localReport;
    UpdateReport& out = report != nullptr ? *report : localReport;
    UpdateRecorder recorder(hooks.history, drive, normal);
    const bool ok = runUpdate(drive, normal, kernel, timing, hooks, out, recorder);
    recorder.ended(drive, out);
    return ok;
}
