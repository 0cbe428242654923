#include "monitor/DAUtil.h"

#include <mutex>

#include "model/NotificationNames.h"
#include "model/Util.h"
#include "log/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"

using namespace platform;

DASessionRef gDASession = nullptr;
std::atomic<bool> IsPresenceDiscsForAppLaunch{false};

namespace {
constexpr std::int64_t kDiskAppearedObject = 1;
constexpr std::int64_t kDiskDisappearedObject = 3;
std::mutex discInfoMutex;  // one description read at a time
}  // namespace

DASessionRef DAUtil::session() { return gDASession; }

void DAUtil::initSession() {
    if (gDASession) return;
    DASessionRef created = DASessionCreate();
    if (!created) {
        // The disc notices are lost for this run; drive notices still come.
        KDU_LOG_ERR("DAUtil::initSession", "Couldn't create a disk session");
        return;
    }
    gDASession = created;
    DASessionScheduleWithRunLoop(gDASession, CFRunLoopGetCurrent());
}

void DAUtil::releaseSession() {
    if (!gDASession) return;
    DASessionUnscheduleFromRunLoop(gDASession, CFRunLoopGetCurrent());
    DASessionRelease(gDASession);
    gDASession = nullptr;
}

bool getDiscriptionInfo(DADiskRef disk) {
    std::lock_guard sync(discInfoMutex);
    std::optional<DADiskDescription> description = DADiskCopyDescription(disk);
    if (!description || !description->volumeName) return false;
    if (Util::isTargetModel(description->deviceModel)) IsPresenceDiscsForAppLaunch = true;
    return true;
}

void diskAppearedCallback(DADiskRef disk, void* /*context*/) {
    if (getDiscriptionInfo(disk)) NotificationCenter::defaultCenter().post(kAppearedDeviceNotify, kDiskAppearedObject);
}

void diskDisappearedCallback(DADiskRef disk, void* /*context*/) {
    if (getDiscriptionInfo(disk))
        NotificationCenter::defaultCenter().post(kDisappearedDeviceNotify, kDiskDisappearedObject);
}
