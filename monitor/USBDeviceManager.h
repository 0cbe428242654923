// Watches drives of the authoring category being attached and detached, and posts
// "appearedDeviceNotify" / "disappearedDeviceNotify" (no object) for each report, with the
// ids of the drives reported.
#pragma once

#include "platform/IOTypes.h"

class USBDeviceManager {
public:
    // One instance for the process, made on first use (no caller needs it today).
    static USBDeviceManager& sharedInstance();

    // Registers both watches on the calling thread's run loop, posts the two initial
    // notices, then runs that loop. Returns false at once after a failure (logged); true
    // only if the run loop ever returns.
    bool start();
};

void deviceAddedCallback(void* refcon, platform::io_iterator_t iterator);
void deviceRemovedCallback(void* refcon, platform::io_iterator_t iterator);
