// Shared set-up for the benchmarks: a temporary folder of simulated drives installed as the
// backend, generated firmware images as the resources, and quiet diagnostics.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/Backend.h"
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

// The first drive, held until destroyed.
class OpenDrive {
public:
    OpenDrive();
    platform::TaskChannel& channel() const { return *channel_; }
    const platform::DeviceNode& node() const { return *node_; }

private:
    std::shared_ptr<platform::DeviceNode> node_;
    std::unique_ptr<platform::TaskChannel> channel_;
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
