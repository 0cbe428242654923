// Shared set-up for the benchmarks: a temporary folder of simulated drives installed as the
// backend, generated firmware images as the resources, and quiet diagnostics.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/SCSITaskLib.h"
#include "simdrive/DriveFile.h"
#include "platform/sim/SimBackend.h"
#include "support/ImageBindingSubstitute.h"

namespace bench {

class SimulatedDrives {
public:
    SimulatedDrives();
    ~SimulatedDrives();
    SimulatedDrives(const SimulatedDrives&) = delete;
    SimulatedDrives& operator=(const SimulatedDrives&) = delete;

    void attach(const std::string& name, const sim::DriveSpec& profile);
    // Both images into a resource folder of their own; the normal one `normalLength` bytes.
    void provideImages(std::size_t normalLength);
    sim::SimBackend& backend() { return *backend_; }
    const std::filesystem::path& folder() const { return folder_; }

    // Time spent inside the simulator's command execution (the drive's answer and the
    // modelled wire), since the last reset: the rest of an update's time is its own.
    double simulatorSeconds() const;
    void resetSimulatorTime();

private:
    class TimedBackend;
    std::filesystem::path root_, folder_, resources_;
    std::shared_ptr<sim::SimBackend> backend_;
    std::shared_ptr<TimedBackend> timed_;
    kdu::test::ImageBindingSubstitute binding_;
};

// The opened interface chain of the first drive, released in order when destroyed.
class OpenDrive {
public:
    OpenDrive();
    ~OpenDrive();
    platform::SCSITaskDeviceInterface* interface() const { return interface_; }
    platform::io_service_t service() const { return service_; }

private:
    platform::io_service_t service_ = 0;
    platform::IOCFPlugInInterface* plugIn_ = nullptr;
    platform::MMCDeviceInterface* mmc_ = nullptr;
    platform::SCSITaskDeviceInterface* interface_ = nullptr;
};

// Sends the standard streams to /dev/null for its lifetime: the commands' diagnostics would
// otherwise measure the terminal.
class QuietStreams {
public:
    QuietStreams();
    ~QuietStreams();

private:
    int savedOut_ = -1, savedErr_ = -1;
};

}  // namespace bench
