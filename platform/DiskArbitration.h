// Disk session: callbacks for discs appearing and disappearing, on a run loop.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/Backend.h"
#include "platform/RunLoop.h"

namespace platform {

class DASession;
using DASessionRef = DASession*;
class DADisk;
using DADiskRef = const DADisk*;

using DADiskAppearedCallback = void (*)(DADiskRef disk, void* context);
using DADiskDisappearedCallback = void (*)(DADiskRef disk, void* context);

// Description keys as the callers name them.
struct DADiskDescription {
    std::optional<std::string> volumeName;   // kDADiskDescriptionVolumeNameKey
    std::optional<std::string> deviceModel;  // kDADiskDescriptionDeviceModelKey
};

// A new session, or null when none can be made.
DASessionRef DASessionCreate();
void DASessionScheduleWithRunLoop(DASessionRef session, RunLoop& loop);
void DASessionUnscheduleFromRunLoop(DASessionRef session, RunLoop& loop);
void DASessionRelease(DASessionRef session);

// With no match criteria every disk is reported. Disks already present are reported
// to an appeared callback once the session's run loop runs.
void DARegisterDiskAppearedCallback(DASessionRef session, const void* match, DADiskAppearedCallback callback,
                                    void* context);
void DARegisterDiskDisappearedCallback(DASessionRef session, const void* match, DADiskDisappearedCallback callback,
                                       void* context);
void DAUnregisterCallback(DASessionRef session, void* callback, void* context);

// The disk's description, or none.
std::optional<DADiskDescription> DADiskCopyDescription(DADiskRef disk);
// The disk's device name ("sr0"; a drive file's name in the simulator), valid while the disk
// is; null for no disk.
const char* DADiskGetBSDName(DADiskRef disk);

namespace testing {
void failNextSessionCreation(bool fail);
}  // namespace testing

}  // namespace platform
