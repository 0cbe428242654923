// The listing of attached drives and the decision which of them may be updated.
#include <cassert>
#include <cstddef>
#include <cstdio>

#include "drive/DriveAccess.h"
#include "drive/STUCMethod.h"
#include "model/Util.h"
#include "platform/Log.h"
#include "platform/Registry.h"

namespace {

// A drive that accepts any destination reports eight blanks.
constexpr char kAnyDestination[] = "        ";

}  // namespace

bool IsEligibleForUpdate(const DeviceData& drive, const FirmFileData& normal) {
    if (!textEquals(drive.hard_version(), normal.hard_version())) return false;
    if (drive.dest_version() != OptionalText{kAnyDestination} &&
        !textEquals(drive.dest_version(), normal.dest_version()))
        return false;
    // Without both revisions there is nothing to compare: never eligible.
    if (!drive.revision() || !normal.revision()) return false;
    return Util::cmpCurVersion(drive.revision(), normal.revision()) == -1;
}

std::optional<DeviceData> GetDeviceInfo(platform::SCSITaskDeviceInterface* interface, const FirmFileData& normal) {
    assert(interface != NULL);

    drive_access::ExclusiveAccess access(interface);
    if (!access.held()) {
        KDU_LOG_WAR("GetDeviceInfo", "ObtainExclusiveAccess failed.(1) (0x%08x)\n",
                    static_cast<unsigned>(access.obtainResult()));
        return std::nullopt;
    }

    DeviceData record;
    CommandInquiry(interface, &record);
    const bool isTarget = Util::isTargetModel(record.product());
    if (isTarget) {
        bool discPresent = false;
        CommandTestUnitReady(interface, &record, &discPresent, nullptr);
        if (CommandReadBufferForDevice(interface, &record) == 0)
            record.setIsEnableUpdate(IsEligibleForUpdate(record, normal));
    }

    const platform::IOReturn released = access.release();
    if (released != platform::kIOReturnSuccess) {
        KDU_LOG_ERR("GetDeviceInfo", "ReleaseExclusiveAccess failed. (0x%08x)\n", static_cast<unsigned>(released));
        return std::nullopt;
    }
    if (!isTarget) return std::nullopt;
    return record;
}

void ExecListDeviceMain(platform::io_iterator_t iterator, std::vector<DeviceData>& list, const FirmFileData& normal) {
    for (;;) {
        drive_access::ServiceReference service(platform::IOIteratorNext(iterator));
        if (service.get() == platform::IO_OBJECT_NULL) break;

        platform::io_name_t className{};
        const platform::kern_return_t kr = platform::IOObjectGetClass(service.get(), className);
        if (kr != platform::kIOReturnSuccess) {
            KDU_LOG_ERR("ExecListDeviceMain", "ExecListDeviceMain() Failed to get class name. (0x%08x)\n",
                        static_cast<unsigned>(kr));
        } else {
            std::fprintf(stderr, "\n---- Found Target ---------------------------------------------------\n");
            std::fprintf(stderr, "ExecListDeviceMain() Found device class \"%s\" using .\n", className);
        }

        drive_access::DriveInterfaces interfaces(service.get());
        if (interfaces.taskDevice() == nullptr) {
            KDU_LOG_ERR("ExecListDeviceMain", "interface is NULL.");
            continue;
        }
        std::optional<DeviceData> record = GetDeviceInfo(interfaces.taskDevice(), normal);
        if (record) {
            record->setScsiDevice(service.get());
            record->setIdentity(platform::IORegistryEntryGetIdentity(service.get()));
            list.push_back(std::move(*record));
        }
    }
}
