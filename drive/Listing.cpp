// The listing of attached drives and the decision which of them may be updated.
#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdio>

#include "log/Console.h"
#include "drive/DriveAccess.h"
#include "drive/STUCMethod.h"
#include "model/ImageProof.h"
#include "model/Util.h"
#include "log/Log.h"
#include "platform/Registry.h"

std::optional<DeviceData> IdentifyHeldDrive(platform::SCSITaskDeviceInterface* interface, const FirmFileData& normal,
                                            bool imagesProven, bool* unansweredOut) {
    assert(interface != NULL);
    DeviceData record;
    CommandInquiry(interface, &record);
    if (unansweredOut != nullptr) *unansweredOut = !record.product();
    if (!Util::isTargetModel(record.product())) return std::nullopt;
    // A drive that was reset or had its disc changed says so once; the next answer tells.
    if (CommandTestUnitReady(interface, &record).state == UnitState::Restarting) CommandTestUnitReady(interface, &record);
    if (record.installProgress()) {
        // Left alone while it installs: nothing but its own answers would tell its versions.
        record.setEligibility(UpdateEligibility::Installing);
    } else if (CommandReadBufferForDevice(interface, &record) == 0)
        record.setEligibility(judgeEligibility(record, normal, imagesProven));
    else
        record.setEligibility(UpdateEligibility::VersionsUnknown);
    return record;
}

std::optional<DeviceData> GetDeviceInfo(platform::SCSITaskDeviceInterface* interface, const FirmFileData& normal) {
    return GetDeviceInfo(interface, normal, proveShippedImages(shippedImageBinding(), normal).proven());
}

namespace {

// None for a drive that has gone since it was found: it is no longer attached.
std::optional<UpdateEligibility> refusalReason(platform::IOReturn result) {
    if (result == platform::kIOReturnNoDevice) return std::nullopt;
    if (drive_access::refusedAsBusy(result)) return UpdateEligibility::InUse;
    if (result == platform::kIOReturnNotPrivileged || result == platform::kIOReturnNotPermitted)
        return UpdateEligibility::AccessRefused;
    return UpdateEligibility::Unreadable;
}

// A drive that could not be examined, with what the system knows of it unasked; none when
// that says it is another model.
std::optional<DeviceData> unexaminedDrive(platform::io_service_t service, UpdateEligibility why) {
    const scsi::DriveModelNames names = platform::IORegistryEntryGetModelNames(service);
    if (names.product && !Util::isTargetModel(names.product)) return std::nullopt;
    DeviceData record;
    record.setVendor(names.vendor);
    record.setProduct(names.product);
    record.setEligibility(why);
    return record;
}

}  // namespace

std::optional<DeviceData> GetDeviceInfo(platform::SCSITaskDeviceInterface* interface, const FirmFileData& normal,
                                        bool imagesProven, std::optional<UpdateEligibility>* unexaminedOut) {
    assert(interface != NULL);
    if (unexaminedOut != nullptr) unexaminedOut->reset();
    drive_access::ExclusiveAccess access(interface);
    if (!access.held()) {
        KDU_LOG_WAR("GetDeviceInfo", "ObtainExclusiveAccess failed.(1) (0x%08x)\n",
                    static_cast<unsigned>(access.obtainResult()));
        if (unexaminedOut != nullptr) *unexaminedOut = refusalReason(access.obtainResult());
        return std::nullopt;
    }
    bool unanswered = false;
    std::optional<DeviceData> record = IdentifyHeldDrive(interface, normal, imagesProven, &unanswered);
    if (unanswered && unexaminedOut != nullptr) *unexaminedOut = UpdateEligibility::Unreadable;
    const platform::IOReturn released = access.release();
    if (released != platform::kIOReturnSuccess) {
        KDU_LOG_ERR("GetDeviceInfo", "ReleaseExclusiveAccess failed. (0x%08x)\n", static_cast<unsigned>(released));
        if (unexaminedOut != nullptr) *unexaminedOut = UpdateEligibility::Unreadable;
        return std::nullopt;
    }
    return record;
}

void ExecListDeviceMain(platform::io_iterator_t iterator, std::vector<DeviceData>& list, const FirmFileData& normal) {
    const std::size_t first = list.size();
    for (;;) {
        drive_access::ServiceReference service(platform::IOIteratorNext(iterator));
        if (service.get() == platform::IO_OBJECT_NULL) break;

        platform::io_name_t className{};
        const platform::kern_return_t kr = platform::IOObjectGetClass(service.get(), className);
        if (kr != platform::kIOReturnSuccess) {
            KDU_LOG_ERR("ExecListDeviceMain", "ExecListDeviceMain() Failed to get class name. (0x%08x)\n",
                        static_cast<unsigned>(kr));
        } else {
            kdulog::consoleErr("\n---- Found Target ---------------------------------------------------\n");
            kdulog::consoleErr("ExecListDeviceMain() Found device class \"%s\" using .\n", className);
        }

        // A drive that cannot be looked at now is listed all the same, with the reason.
        std::optional<DeviceData> record;
        drive_access::DriveInterfaces interfaces(service.get());
        if (interfaces.taskDevice() == nullptr) {
            KDU_LOG_ERR("ExecListDeviceMain", "interface is NULL.");
            record = unexaminedDrive(service.get(), UpdateEligibility::Unreadable);
        } else {
            std::optional<UpdateEligibility> unexamined;
            // Judged with the images taken as sound; they are proven below, once, if it matters.
            record = GetDeviceInfo(interfaces.taskDevice(), normal, true, &unexamined);
            if (unexamined) record = unexaminedDrive(service.get(), *unexamined);
        }
        if (record) {
            record->setScsiDevice(service.get());
            record->setIdentity(platform::IORegistryEntryGetIdentity(service.get()));
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
