// Following a drive that went away: its arrival is awaited through the hot-plug
// watch the monitor uses too, never by listing the drives again and again.
#pragma once

#include <chrono>
#include <functional>

#include "scsi/DriveIdentity.h"
#include "platform/IOTypes.h"

// Waits on the calling thread until a drive that identifies as `gone` (DriveIdentity::
// returnedAs) is attached, until `deadline`, or until `stop` says so (asked every `slice`).
// The drive's service handle with one reference for the caller, or IO_OBJECT_NULL.
platform::io_service_t AwaitDriveReturn(const scsi::DriveIdentity& gone,
                                        std::chrono::steady_clock::time_point deadline,
                                        const std::function<bool()>& stop, std::chrono::milliseconds slice);
