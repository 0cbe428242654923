// The simulator backend: every <name>.json file in a folder is an attached drive. Nodes,
// task channels (exclusive access = flock on a hidden lock file beside the drive file, so
// two processes meet it) and the in-process record of everything each drive received.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/Backend.h"

namespace sim {

struct RecordedCommand {
    enum class Kind { Command, ObtainExclusiveAccess, ReleaseExclusiveAccess };
    Kind kind = Kind::Command;
    // Commands: the CDB as handed over, the data sent to the drive (data-out only), the
    // transfer count and timeout, and the outcome.
    std::vector<std::uint8_t> cdb;
    scsi::Direction direction = scsi::Direction::None;
    std::vector<std::uint8_t> data;
    std::uint64_t transferCount = 0;
    std::uint32_t timeoutMs = 0;
    std::uint32_t status = 0;  // as logged: all ones when not delivered
    // Delivery result of a command; result of an exclusive-access request.
    scsi::TransportError result = scsi::TransportError::None;
};

class SimFolder;  // shared by the backend, its nodes, channels and event sources

class SimBackend : public platform::Backend {
public:
    explicit SimBackend(std::filesystem::path folder);
    ~SimBackend() override;

    std::string name() const override { return "simulator"; }
    std::vector<std::shared_ptr<platform::DeviceNode>> authoringDevices() override;
    std::unique_ptr<platform::EventSource> createEventSource() override;
    std::vector<platform::DiskDescription> presentDisks() override;

    const std::filesystem::path& folder() const;

    // Everything drive `key` received in this process since the last clear, in order:
    // commands and exclusive-access requests.
    std::vector<RecordedCommand> commandLog(const std::string& key) const;
    // The commands only.
    std::vector<RecordedCommand> sentCommands(const std::string& key) const;
    // Also restarts the numbering that "Nth occurrence" faults count by.
    void clearCommandLog(const std::string& key);
    // Recording is on by default (tests read the log); a long-running front end turns it
    // off, so the images it sends are not kept in memory for the life of the process.
    void setRecording(bool recording);

private:
    std::shared_ptr<SimFolder> folder_;
};

}  // namespace sim
