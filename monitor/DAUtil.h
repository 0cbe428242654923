// The disc callbacks: a disc with a named volume is reported as a device notice.
#pragma once

#include <atomic>
#include <functional>

#include "monitor/DeviceNotice.h"
#include "platform/Backend.h"

// Raised when a named volume comes or goes in a drive of the target model; read once at
// the first listing.
extern std::atomic<bool> IsPresenceDiscsForAppLaunch;

using DeviceNoticeHandler = std::function<void(const DeviceNotice&)>;

// True when the disc's description carries a volume name.
bool getDiscriptionInfo(const platform::DiskDescription& disc);
// "appearedDeviceNotify" with object 1 / "disappearedDeviceNotify" with object 3 to `report`,
// for a disc with a volume name only.
void diskAppearedCallback(const platform::DiskDescription& disc, const DeviceNoticeHandler& report);
void diskDisappearedCallback(const platform::DiskDescription& disc, const DeviceNoticeHandler& report);
