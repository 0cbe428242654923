// A scripted stand-in for the device backend, for tests of the drive layer and above.
// Each FakeDrive answers the SCSI commands it receives from a script (answers consumed in
// order), then from a per-opcode responder, else with GOOD; it records every command with
// the bytes sent, and each step of the interface chain can be made to fail.
// All members are thread-safe: the update sequence talks to a drive from its own thread.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/Backend.h"

namespace kdu::test {

// One command as it reached the drive.
struct RecordedCommand {
    std::vector<std::uint8_t> cdb;      // the bytes handed over (6 or 12 here)
    std::uint8_t direction = 0;
    std::uint32_t dataLength = 0;       // length of the one range, 0 without one
    std::uint64_t transferCount = 0;
    std::uint32_t timeoutMs = 0;
    std::vector<std::uint8_t> dataOut;  // the transferCount bytes sent to the drive (direction 1)

    std::uint8_t opcode() const { return cdb.empty() ? 0 : cdb[0]; }
};

// What the drive does with one command.
struct Answer {
    platform::IOReturn result = platform::kIOReturnSuccess;  // non-zero: the command was not delivered
    platform::SCSITaskStatus status = platform::kSCSITaskStatus_GOOD;
    platform::SCSI_Sense_Data sense{};
    std::vector<std::uint8_t> dataIn;                        // copied into the buffer (direction 2)
    std::optional<std::uint64_t> realizedCount;              // default: the bytes actually moved

    static Answer good(std::vector<std::uint8_t> data = {});
    // Fixed-format sense data; byte16/byte17 are the sense-key-specific bytes as sent.
    static Answer checkCondition(std::uint8_t senseKey, std::uint8_t asc, std::uint8_t ascq,
                                 std::uint8_t byte16 = 0, std::uint8_t byte17 = 0);
    static Answer withStatus(platform::SCSITaskStatus status);
    static Answer deliveryFailure(platform::IOReturn result = platform::kIOReturnIOError);
};

// Answer payloads of the target drive's commands.
// Standard INQUIRY data of 56 bytes; texts blank-padded to their field widths.
std::vector<std::uint8_t> inquiryData(const std::string& vendor, const std::string& product,
                                      const std::string& revision, const std::string& date = "");
// READ BUFFER 0xF1 data of 48 bytes; texts copied as given (zero-padded, at most 8 / 4 bytes).
std::vector<std::uint8_t> readBufferData(const std::string& hardVersion, const std::string& krnlVersion,
                                         const std::string& destVersion, const std::string& judgeKrnl);

class FakeDrive {
public:
    using Responder = std::function<Answer(const RecordedCommand&)>;

    explicit FakeDrive(std::string key) : key_(std::move(key)) {}
    const std::string& key() const { return key_; }

    // Scripted answers, used before any responder, one per command, in order.
    void queue(Answer answer);
    std::size_t queuedAnswers() const;
    // Answers every command with this opcode once the script is used up.
    void setResponder(std::uint8_t opcode, Responder responder);

    std::vector<RecordedCommand> commands() const;
    std::vector<RecordedCommand> commandsWithOpcode(std::uint8_t opcode) const;
    void clearCommands();

    // Interface chain faults (success by default).
    void setPlugInResult(platform::IOReturn result);
    void setMMCResult(platform::HRESULT result);
    void setTaskChannelAvailable(bool available);
    // The next `count` task creations fail.
    void failTaskCreations(int count);
    void setClassName(std::string name);

    // Exclusive access: one channel at a time; a second one is refused.
    void setExclusiveAccessResult(platform::IOReturn result);  // forced refusal when non-zero
    bool exclusivelyHeld() const;
    int openChannels() const;

private:
    friend class FakeDeviceNode;
    friend class FakeTaskChannel;

    platform::IOReturn execute(const platform::ScsiCommand& command, platform::ScsiOutcome& out);
    platform::IOReturn obtain(const void* channel);
    platform::IOReturn release(const void* channel);
    bool takeTaskCreation();

    const std::string key_;
    mutable std::mutex mutex_;
    std::deque<Answer> script_;
    std::map<std::uint8_t, Responder> responders_;
    std::vector<RecordedCommand> commands_;
    platform::IOReturn plugInResult_ = platform::kIOReturnSuccess;
    platform::HRESULT mmcResult_ = platform::S_OK;
    bool taskChannelAvailable_ = true;
    int failingTaskCreations_ = 0;
    std::string className_ = "IOSCSIPeripheralDeviceType05";
    platform::IOReturn exclusiveResult_ = platform::kIOReturnSuccess;
    const void* exclusiveHolder_ = nullptr;
    int openChannels_ = 0;
};

// The backend: drives attached by name, disc events, and hot-plug event sources.
class FakeBackend : public platform::Backend {
public:
    FakeBackend();
    ~FakeBackend() override;

    // Attaches a drive (a "published" event); the same key gives the drive already attached.
    std::shared_ptr<FakeDrive> addDrive(const std::string& key);
    // Detaches it (a "terminated" event). Handles held elsewhere stay valid.
    void removeDrive(const std::string& key);
    std::shared_ptr<FakeDrive> drive(const std::string& key) const;
    std::shared_ptr<platform::DeviceNode> node(const std::string& key) const;

    void insertDisc(platform::DiskDescription disk);
    void ejectDisc(const std::string& bsdName);

    std::string name() const override { return "fake"; }
    std::vector<std::shared_ptr<platform::DeviceNode>> authoringDevices() override;
    std::unique_ptr<platform::EventSource> createDeviceEventSource() override;
    std::unique_ptr<platform::EventSource> createDiskEventSource() override;
    std::vector<platform::DiskDescription> presentDisks() override;

    struct Shared;  // state shared with event sources that may outlive a call

private:
    std::shared_ptr<Shared> shared_;
};

}  // namespace kdu::test
