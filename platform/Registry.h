// Registry of device service handles with counted references.
// A handle stays valid while its count is above zero; the last release frees it.
// Releasing a handle that is not live is refused (kIOReturnBadArgument) and logged,
// so double releases show up instead of corrupting another object's count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "scsi/DriveIdentity.h"
#include "platform/IOTypes.h"

namespace platform {

class DeviceNode;

kern_return_t IOObjectRetain(io_object_t object);
kern_return_t IOObjectRelease(io_object_t object);
// Writes the class name (at most 127 characters and a zero) into className.
kern_return_t IOObjectGetClass(io_object_t object, io_name_t className);
// Next service of an iterator with one reference for the caller, or 0 at the end.
io_object_t IOIteratorNext(io_iterator_t iterator);

// Who the drive behind a live service handle is; empty when the handle is not live.
scsi::DriveIdentity IORegistryEntryGetIdentity(io_service_t service);
// The model names the system holds for it; none known when the handle is not live.
scsi::DriveModelNames IORegistryEntryGetModelNames(io_service_t service);

// Inspection, for tests and diagnostics.
std::uint32_t IOObjectGetRetainCount(io_object_t object);  // 0 when not live
std::size_t IORegistryLiveObjectCount();

// For the platform's own use (matching, notifications) and backends.
namespace registry {
// The handle of this drive with one more reference for the caller. A drive keeps one
// handle for as long as any reference to it lives, so the same drive yields the same handle.
io_service_t retainService(const std::shared_ptr<DeviceNode>& node);
// The drive behind a live service handle, or null.
std::shared_ptr<DeviceNode> nodeOf(io_service_t service);
// An iterator holding the given services (the iterator takes over their references).
io_iterator_t createIterator(std::vector<io_service_t> services);
// Appends services (references taken over) to a live iterator: notification iterators refill.
void appendToIterator(io_iterator_t iterator, std::vector<io_service_t> services);
}  // namespace registry

}  // namespace platform
