// Following a drive that went away: its arrival is awaited through the hot-plug
// watch the monitor uses too, never by listing the drives again and again.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "scsi/DriveIdentity.h"
#include "platform/Backend.h"

// Waits on the calling thread until a drive that identifies as `gone` (DriveIdentity::
// returnedAs) is attached, until `deadline`, or until `stop` says so (asked every `slice`).
// The returned drive, or null.
std::shared_ptr<platform::DeviceNode> AwaitDriveReturn(const scsi::DriveIdentity& gone,
                                        std::chrono::steady_clock::time_point deadline,
                                        const std::function<bool()>& stop, std::chrono::milliseconds slice);
