// The listing of attached drives and the decision which of them may be updated.
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <chrono>
#include <thread>

#include "log/Console.h"
#include "drive/STUCMethod.h"
#include "model/ImageProof.h"
#include "model/Util.h"
#include "log/Log.h"

namespace {

// A listing holds each drive only while it asks it three questions, so a drive found busy
// is asked again a few times over about a second before the refusal stands.
constexpr int kAccessTries = 6;
constexpr std::chrono::milliseconds kAccessPause{200};

bool refusedAsBusy(scsi::TransportError error) {
    return error == scsi::TransportError::Busy || error == scsi::TransportError::InUse;
}

UpdateEligibility refusalReason(scsi::TransportError error) {
    return refusedAsBusy(error) ? UpdateEligibility::InUse : UpdateEligibility::AccessRefused;
}

// A drive that could not be examined, with what the system knows of it unasked; none when
// that says it is another model.
std::optional<DeviceData> unexaminedDrive(const platform::DeviceNode& node, UpdateEligibility why) {
    const scsi::DriveModelNames names = node.modelNames();
    if (names.product && !Util::isTargetModel(names.product)) return std::nullopt;
    DeviceData record;
    record.setVendor(names.vendor);
    record.setProduct(names.product);
    record.setEligibility(why);
    return record;
}

}  // namespace

std::vector<std::shared_ptr<platform::DeviceNode>> FindDevicesUsing(std::uint32_t method) {
    if (method != kFindMethodAuthoringDevices) {
        kdulog::consoleOut("%s", "no implement..");
        std::fflush(stdout);
        return {};
    }
    return platform::backend().authoringDevices();
}

std::shared_ptr<platform::DeviceNode> attachedDrive(const scsi::DriveIdentity& drive) {
    for (std::shared_ptr<platform::DeviceNode>& node : FindDevicesUsing(kFindMethodAuthoringDevices))
        if (node->identity().sameDriveAs(drive)) return std::move(node);
    return nullptr;
}

bool accessRefused(scsi::TransportError error) {
    return refusedAsBusy(error) || error == scsi::TransportError::NotPrivileged ||
           error == scsi::TransportError::NotPermitted;
}

platform::Opened CreateDeviceInterfaceForAuthoringDevice(platform::DeviceNode& node) {
    platform::Opened opened = node.open();
    for (int tried = 1; refusedAsBusy(opened.error) && tried < kAccessTries; ++tried) {
        std::this_thread::sleep_for(kAccessPause);
        opened = node.open();
    }
    if (!opened.channel && !accessRefused(opened.error))
        KDU_LOG_ERR("CreateDeviceInterfaceForAuthoringDevice",
                    "Couldn't create a plugin interface for the io_service_t. (0x%08x)\n",
                    static_cast<unsigned>(opened.error));
    return opened;
}

std::optional<DeviceData> IdentifyHeldDrive(platform::TaskChannel& channel, const FirmFileData& normal,
                                            bool imagesProven, bool* unansweredOut) {
    DeviceData record;
    CommandInquiry(channel, &record);
    if (unansweredOut != nullptr) *unansweredOut = !record.product();
    if (!Util::isTargetModel(record.product())) return std::nullopt;
    // A drive that was reset or had its disc changed says so once; the next answer tells.
    if (CommandTestUnitReady(channel, &record).state == UnitState::Restarting) CommandTestUnitReady(channel, &record);
    if (record.installProgress()) {
        // Left alone while it installs: nothing but its own answers would tell its versions.
        record.setEligibility(UpdateEligibility::Installing);
    } else if (CommandReadBufferForDevice(channel, &record).good())
        record.setEligibility(judgeEligibility(record, normal, imagesProven));
    else
        record.setEligibility(UpdateEligibility::VersionsUnknown);
    return record;
}

std::optional<DeviceData> GetDeviceInfo(platform::DeviceNode& node, const FirmFileData& normal, bool imagesProven,
                                        std::optional<UpdateEligibility>* unexaminedOut) {
    if (unexaminedOut != nullptr) unexaminedOut->reset();
    platform::Opened opened = CreateDeviceInterfaceForAuthoringDevice(node);
    if (!opened.channel) {
        if (accessRefused(opened.error)) {
            KDU_LOG_WAR("GetDeviceInfo", "ObtainExclusiveAccess failed.(1) (0x%08x)\n",
                        static_cast<unsigned>(opened.error));
            if (unexaminedOut != nullptr) *unexaminedOut = refusalReason(opened.error);
        } else {
            KDU_LOG_ERR("ExecListDeviceMain", "interface is NULL.");
            // A drive gone since it was found is no longer attached: not listed.
            if (unexaminedOut != nullptr && opened.error != scsi::TransportError::NoDevice)
                *unexaminedOut = UpdateEligibility::Unreadable;
        }
        return std::nullopt;
    }
    bool unanswered = false;
    std::optional<DeviceData> record = IdentifyHeldDrive(*opened.channel, normal, imagesProven, &unanswered);
    if (unanswered && unexaminedOut != nullptr) *unexaminedOut = UpdateEligibility::Unreadable;
    const scsi::TransportError released = opened.channel->release();
    if (released != scsi::TransportError::None) {
        KDU_LOG_ERR("GetDeviceInfo", "ReleaseExclusiveAccess failed. (0x%08x)\n", static_cast<unsigned>(released));
        if (unexaminedOut != nullptr) *unexaminedOut = UpdateEligibility::Unreadable;
        return std::nullopt;
    }
    return record;
}

void ExecListDeviceMain(const std::vector<std::shared_ptr<platform::DeviceNode>>& nodes, std::vector<DeviceData>& list,
                        const FirmFileData& normal) {
    const std::size_t first = list.size();
    for (const std::shared_ptr<platform::DeviceNode>& node : nodes) {
        std::string className;
        const scsi::TransportError kr = node->className(className);
        if (kr != scsi::TransportError::None) {
            KDU_LOG_ERR("ExecListDeviceMain", "ExecListDeviceMain() Failed to get class name. (0x%08x)\n",
                        static_cast<unsigned>(kr));
        } else {
            kdulog::consoleErr("\n---- Found Target ---------------------------------------------------\n");
            kdulog::consoleErr("ExecListDeviceMain() Found device class \"%s\" using .\n", className.c_str());
        }

        // A drive that cannot be looked at now is listed all the same, with the reason.
        std::optional<UpdateEligibility> unexamined;
        // Judged with the images taken as sound; they are proven below, once, if it matters.
        std::optional<DeviceData> record = GetDeviceInfo(*node, normal, true, &unexamined);
        if (unexamined) record = unexaminedDrive(*node, *unexamined);
        if (record) {
            record->setIdentity(node->identity());
            list.push_back(std::move(*record));
        }
    }
    // The proof is the eligibility rule's last test, so only a drive that passed every other
    // one needs it: the images are read and hashed only when some drive would take them.
    const auto eligible = [](const DeviceData& drive) { return drive.eligibility() == UpdateEligibility::Eligible; };
    const auto listed = list.begin() + static_cast<std::ptrdiff_t>(first);
    if (std::none_of(listed, list.end(), eligible) || proveShippedImages(shippedImageBinding(), normal).proven())
        return;
    for (auto drive = listed; drive != list.end(); ++drive)
        if (eligible(*drive)) drive->setEligibility(UpdateEligibility::ImageDamaged);
}
