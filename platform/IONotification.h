// Notifications of drives first published or terminated, delivered on a run loop.
#pragma once

#include "platform/IOTypes.h"
#include "platform/Matching.h"
#include "platform/RunLoop.h"

namespace platform {

class IONotificationPort;
using IONotificationPortRef = IONotificationPort*;
using IOServiceMatchingCallback = void (*)(void* refcon, io_iterator_t iterator);

inline constexpr char kIOFirstMatchNotification[] = "IOServiceFirstMatch";
inline constexpr char kIOTerminatedNotification[] = "IOServiceTerminate";

// The registry's master port (a token here). 0 on success.
kern_return_t IOMasterPort(mach_port_t bootstrapPort, mach_port_t* masterPort);
kern_return_t mach_port_deallocate(mach_port_t task, mach_port_t port);
inline constexpr mach_port_t mach_task_self() { return 1; }

IONotificationPortRef IONotificationPortCreate(mach_port_t masterPort);
void IONotificationPortDestroy(IONotificationPortRef port);
// Attaches the port's event source to a run loop: callbacks run on that loop's thread.
void IONotificationPortAddToRunLoop(IONotificationPortRef port, RunLoop& loop);

// Registers for kIOFirstMatchNotification or kIOTerminatedNotification. *notification
// receives the iterator the callback drains; nothing is delivered until it has been
// drained once. The registration keeps its own reference to `matching`.
kern_return_t IOServiceAddMatchingNotification(IONotificationPortRef port, const char* notificationType,
                                               CFDictionaryRef matching, IOServiceMatchingCallback callback,
                                               void* refcon, io_iterator_t* notification);

namespace testing {
// The next IOMasterPort calls return this code (and a null port when `nullPort`).
void setMasterPortOutcome(kern_return_t result, bool nullPort);
// The next registrations of this type return `result`.
void setNotificationRegistrationResult(const char* notificationType, kern_return_t result);
void resetNotificationFaults();
}  // namespace testing

}  // namespace platform
