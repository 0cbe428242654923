// Finding the authoring drives and opening the interface chain of one of them.
#include <cassert>
#include <cstddef>
#include <cstdio>
#include <string>
#include <utility>

#include "log/Console.h"
#include "drive/STUCMethod.h"
#include "log/Log.h"

using platform::IO_OBJECT_NULL;

void CreateMatchingDictionaryForAuthoringDevices(platform::CFMutableDictionaryRef* matchingDict) {
    assert(matchingDict != NULL);
    *matchingDict = platform::CFDictionaryCreateMutable();
    if (!*matchingDict) return;

    platform::CFMutableDictionaryRef propertyMatch = platform::CFDictionaryCreateMutable();
    if (!propertyMatch) {
        // The outer dictionary stays, without the property match, and so matches nothing.
        KDU_LOG_ERR("CreateMatchingDictionaryForAuthoringDevices",
                    "Couldn't create the property match dictionary.\n");
        return;
    }
    platform::CFDictionarySetValue(propertyMatch, platform::kIOPropertySCSITaskDeviceCategory,
                                   std::string(platform::kIOPropertySCSITaskAuthoringDevice));
    // The outer dictionary keeps the only reference once this one goes out of scope.
    platform::CFDictionarySetValue(*matchingDict, platform::kIOPropertyMatchKey,
                                   platform::CFDictionaryRef(std::move(propertyMatch)));
}

bool FindDevicesUsing(std::uint32_t method, platform::mach_port_t masterPort, platform::io_iterator_t* iterator) {
    platform::CFMutableDictionaryRef matchingDict;
    if (method == kFindMethodAuthoringDevices) {
        CreateMatchingDictionaryForAuthoringDevices(&matchingDict);
    } else {
        kdulog::consoleOut("%s", "no implement..");
        std::fflush(stdout);
    }
    if (!matchingDict) {
        kdulog::consoleErr("%s", "Couldn't create a matching dictionary.\n");
        return false;
    }
    // The matching call takes the dictionary over.
    const platform::kern_return_t result =
        platform::IOServiceGetMatchingServices(masterPort, std::move(matchingDict), iterator);
    return result == platform::kIOReturnSuccess && *iterator != platform::IO_OBJECT_NULL;
}

void CreateDeviceInterfaceForAuthoringDevice(platform::io_service_t scsiDevice, platform::IOCFPlugInInterface** plugIn,
                                             platform::SCSITaskDeviceInterface** interface,
                                             platform::MMCDeviceInterface** mmcInterface) {
    assert(scsiDevice != IO_OBJECT_NULL);
    assert(plugIn != NULL && interface != NULL && mmcInterface != NULL);

    platform::IOCFPlugInInterface* newPlugIn = nullptr;
    platform::MMCDeviceInterface* mmc = nullptr;
    platform::SCSITaskDeviceInterface* taskDevice = nullptr;

    std::int32_t score = 0;
    const platform::kern_return_t created = platform::IOCreatePlugInInterfaceForService(
        scsiDevice, platform::kIOMMCDeviceUserClientTypeID, platform::kIOCFPlugInInterfaceID, &newPlugIn, &score);
    if (created != platform::kIOReturnSuccess) {
        newPlugIn = nullptr;
        KDU_LOG_ERR("CreateDeviceInterfaceForAuthoringDevice",
                    "Couldn't create a plugin interface for the io_service_t. (0x%08x)\n",
                    static_cast<unsigned>(created));
    } else {
        const platform::HRESULT queried = newPlugIn->QueryInterface(platform::kIOMMCDeviceInterfaceID, &mmc);
        if (queried != platform::S_OK) {
            mmc = nullptr;
            KDU_LOG_ERR("CreateDeviceInterfaceForAuthoringDevice", "Couldn't create MMC device interface. (%ld)\n",
                        static_cast<long>(queried));
        } else {
            taskDevice = mmc->GetSCSITaskDeviceInterface();
            if (taskDevice == nullptr) kdulog::consoleErr("%s", "GetSCSITaskDeviceInterface returned NULL\n");
        }
    }

    *plugIn = newPlugIn;
    *interface = taskDevice;
    *mmcInterface = mmc;
}
