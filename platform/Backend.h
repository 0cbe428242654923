// The seam between the platform layer and the operating system. One backend is chosen
// at process start: the simulator (platform/sim) or real drives (platform/linux).
// Nothing above platform/ sees a backend directly.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "scsi/Command.h"
#include "scsi/DriveIdentity.h"
#include "scsi/Result.h"

namespace platform {

// One drive held for this process alone: nobody else can send it commands meanwhile.
// Destroying it gives the drive back.
class TaskChannel {
public:
    virtual ~TaskChannel() = default;
    // The drive's answer, or the transport error that kept the command from it.
    virtual scsi::Result execute(const scsi::Command& command) = 0;
    // Gives the drive back now and says how that went; later calls: None.
    virtual scsi::TransportError release() = 0;
};

struct Opened {
    std::unique_ptr<TaskChannel> channel{};
    scsi::TransportError error = scsi::TransportError::None;  // why there is no channel
};

// One attached MMC drive, as listed, before anyone opens it.
class DeviceNode {
public:
    virtual ~DeviceNode() = default;
    // Stable identity while the drive is attached (a file name, a sysfs path).
    virtual std::string key() const = 0;
    // Who the drive is, for people and for checks that it is still the same drive.
    virtual scsi::DriveIdentity identity() const { return scsi::DriveIdentity{key(), {}, std::nullopt}; }
    // Read without opening the drive, so also while someone else holds it.
    virtual scsi::DriveModelNames modelNames() const { return {}; }
    virtual scsi::TransportError className(std::string& out) const = 0;
    // Exclusive: while one channel holds the drive, another open gets InUse or Busy; a drive
    // that has gone gets NoDevice.
    virtual Opened open() = 0;
};

// What a disc (a disk, in the registry's words) tells about itself.
struct DiskDescription {
    std::string bsdName;                      // unique per disk, e.g. "sr0" or a drive file name
    std::optional<std::string> volumeName;
    std::optional<std::string> deviceModel;
};

// What changed since the last drain of a source. Reported in the order: discs gone,
// drives gone, drives come, discs come (a drive's disc goes before it and comes after it).
struct HotplugEvents {
    std::vector<std::shared_ptr<DeviceNode>> published;
    std::vector<std::shared_ptr<DeviceNode>> terminated;
    std::vector<DiskDescription> disksAppeared;
    std::vector<DiskDescription> disksDisappeared;
};

// A file descriptor that becomes readable when drives or discs come or go; drain() never blocks.
class EventSource {
public:
    virtual ~EventSource() = default;
    virtual int fd() const = 0;
    virtual void drain(HotplugEvents& out) = 0;
};

class Backend {
public:
    virtual ~Backend() = default;
    virtual std::string name() const = 0;
    // Every attached authoring device (MMC, peripheral type 5), in a stable order.
    virtual std::vector<std::shared_ptr<DeviceNode>> authoringDevices() = 0;
    // Drive arrivals and removals and discs coming and going, all through one descriptor.
    // Null (and one "[ERR]" line) when nothing can be watched.
    virtual std::unique_ptr<EventSource> createEventSource() = 0;
    // Discs present now (a new source reports only changes from here on).
    virtual std::vector<DiskDescription> presentDisks() = 0;
};

// The process's backend. install() is called once at start (tests may call it again).
void installBackend(std::shared_ptr<Backend> backend);
Backend& backend();  // aborts with a message when none is installed
std::shared_ptr<Backend> currentBackend();

}  // namespace platform
