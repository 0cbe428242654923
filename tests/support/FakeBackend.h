// A scripted stand-in for the device backend, for tests of the drive layer and above.
// A FakeDrive answers each command from its script (consumed in order), then from a
// per-opcode responder, else with GOOD; it records every command with the bytes sent.
// Thread-safe: the monitor tests attach and detach drives from other threads.
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

struct RecordedCommand {
    std::vector<std::uint8_t> cdb;      // the bytes handed over (6 or 12 here)
    scsi::Direction direction = scsi::Direction::None;
    std::uint64_t transferCount = 0;
    std::uint32_t timeoutMs = 0;
    std::vector<std::uint8_t> dataOut;  // the bytes sent to the drive

    std::uint8_t opcode() const { return cdb.empty() ? 0 : cdb[0]; }
};

// Built with designated initializers: {} is GOOD, {.status = ...}, {.error = ...} (not delivered).
struct Answer {
    scsi::TransportError error = scsi::TransportError::None;
    scsi::Status status = scsi::Status::Good;
    scsi::Sense sense{};
    std::vector<std::uint8_t> dataIn{};
    std::optional<std::size_t> transferred{};  // default: the bytes actually moved
};
// CHECK CONDITION with fixed-format sense; byte16/byte17 are the sense-key-specific bytes.
Answer checkCondition(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq, std::uint8_t byte16 = 0,
                      std::uint8_t byte17 = 0);

// Standard INQUIRY data of 56 bytes, texts blank-padded to their widths.
std::vector<std::uint8_t> inquiryData(const std::string& vendor, const std::string& product,
                                      const std::string& revision, const std::string& date = "");
// READ BUFFER 0xF1 data of 48 bytes, texts zero-padded.
std::vector<std::uint8_t> readBufferData(const std::string& hardVersion, const std::string& krnlVersion,
                                         const std::string& destVersion, const std::string& judgeKrnl);

// One attached drive; it is its own device node.
class FakeDrive : public platform::DeviceNode, public std::enable_shared_from_this<FakeDrive> {
    template <typename F>
    auto locked(F f) const {
        std::lock_guard lock(mutex_);
        return f();
    }

public:
    using Responder = std::function<Answer(const RecordedCommand&)>;
    struct Faults {
        scsi::TransportError open = scsi::TransportError::None;  // every open fails with it
        int busyOpens = 0;                                        // the next n opens find it busy
        bool refuseRelease = false;  // gives the drive back but reports that it could not
    };

    explicit FakeDrive(std::string key) : key_(std::move(key)) {}

    void queue(Answer answer) { locked([&] { script_.push_back(std::move(answer)); }); }
    void setResponder(std::uint8_t opcode, Responder r) { locked([&] { responders_[opcode] = std::move(r); }); }
    void setFaults(const Faults& faults) { locked([&] { faults_ = faults; }); }
    void setModelNames(scsi::DriveModelNames names) { locked([&] { names_ = std::move(names); }); }
    void setIdentity(scsi::DriveIdentity identity) { locked([&] { identity_ = std::move(identity); }); }
    std::vector<RecordedCommand> commands() const { return locked([&] { return commands_; }); }
    void clearCommands() { locked([&] { commands_.clear(); }); }
    bool held() const { return locked([&] { return holder_ != nullptr; }); }
    // Every open that succeeded ("open"), every giving back ("release") and every command
    // sent after it ("command after release"), in order.
    std::vector<std::string> holds() const { return locked([&] { return holds_; }); }

    std::string key() const override { return key_; }
    scsi::DriveIdentity identity() const override {
        return locked([&] { return identity_.value_or(scsi::DriveIdentity{key_, {}, std::nullopt}); });
    }
    scsi::DriveModelNames modelNames() const override { return locked([&] { return names_; }); }
    scsi::TransportError className(std::string& out) const override {
        out = "IOSCSIPeripheralDeviceType05";
        return scsi::TransportError::None;
    }
    platform::Opened open() override;

private:
    friend class FakeTaskChannel;
    scsi::Result execute(const scsi::Command& command);

    const std::string key_;
    mutable std::mutex mutex_;
    std::deque<Answer> script_;
    std::map<std::uint8_t, Responder> responders_;
    std::vector<RecordedCommand> commands_;
    Faults faults_;
    scsi::DriveModelNames names_;
    std::optional<scsi::DriveIdentity> identity_;
    const void* holder_ = nullptr;
    std::vector<std::string> holds_;
};

// Drives attached by name, discs, and hot-plug event sources.
class FakeBackend : public platform::Backend {
public:
    FakeBackend();
    ~FakeBackend() override;

    // Attaches a drive (a "published" event); the same key gives the drive already attached.
    std::shared_ptr<FakeDrive> addDrive(const std::string& key);
    // Detaches it (a "terminated" event). Handles held elsewhere stay valid.
    void removeDrive(const std::string& key);

    void insertDisc(platform::DiskDescription disk);
    void ejectDisc(const std::string& bsdName);

    std::string name() const override { return "fake"; }
    std::vector<std::shared_ptr<platform::DeviceNode>> authoringDevices() override;
    std::unique_ptr<platform::EventSource> createEventSource() override;
    // Later sources cannot be made (null), as when nothing can be watched.
    void refuseEventSources(bool refuse);
    std::vector<platform::DiskDescription> presentDisks() override;

    struct Shared;  // state shared with event sources that may outlive a call

private:
    std::shared_ptr<Shared> shared_;
};

}  // namespace kdu::test
