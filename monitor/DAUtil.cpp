#include "monitor/DAUtil.h"

#include "model/Util.h"

std::atomic<bool> IsPresenceDiscsForAppLaunch{false};

namespace {
constexpr std::int64_t kDiskAppearedObject = 1;
constexpr std::int64_t kDiskDisappearedObject = 3;
}  // namespace

bool getDiscriptionInfo(const platform::DiskDescription& disc) {
    if (!disc.volumeName) return false;
    if (Util::isTargetModel(disc.deviceModel)) IsPresenceDiscsForAppLaunch = true;
    return true;
}

void diskAppearedCallback(const platform::DiskDescription& disc, const DeviceNoticeHandler& report) {
    if (getDiscriptionInfo(disc)) report(DeviceNotice{kAppearedDeviceNotify, kDiskAppearedObject, {}});
}

void diskDisappearedCallback(const platform::DiskDescription& disc, const DeviceNoticeHandler& report) {
    if (getDiscriptionInfo(disc)) report(DeviceNotice{kDisappearedDeviceNotify, kDiskDisappearedObject, {}});
}
