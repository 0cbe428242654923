// The disc watcher: a disk session on the main run loop and its two callbacks.
#pragma once

#include <atomic>

#include "platform/DiskArbitration.h"

// The session, null when there is none. Touched on the main thread only.
extern platform::DASessionRef gDASession;
// Raised when a named volume comes or goes in a drive of the target model; read once at
// the first listing.
extern std::atomic<bool> IsPresenceDiscsForAppLaunch;

class DAUtil {
public:
    DAUtil() = delete;
    static platform::DASessionRef session();
    // Creates the session once and schedules it on the calling thread's run loop.
    // Logs one "[ERR]" line and leaves no session when it cannot be created.
    static void initSession();
    // Unschedules (from the calling thread's run loop) and releases the session, if any.
    static void releaseSession();
};

// True when the disk's description carries a volume name.
bool getDiscriptionInfo(platform::DADiskRef disk);
void diskAppearedCallback(platform::DADiskRef disk, void* context);
void diskDisappearedCallback(platform::DADiskRef disk, void* context);
