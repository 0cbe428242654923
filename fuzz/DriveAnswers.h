// Drive answers read from fuzz input, for the targets that run commands against the test
// backend. The input is a run of answers, one per command in the order sent, each:
//   kind (bits 0-1: 0 GOOD, 1 CHECK CONDITION, 2 the status byte below, 3 not delivered;
//         bit 2: a realized count follows), status, 18 sense bytes, data length (2 bytes,
//   big-endian), [realized count, 8 bytes big-endian], data.
// Missing bytes read as zero, so once the input is used up every command gets GOOD.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "FuzzInput.h"
#include "log/Log.h"
#include "support/FakeBackend.h"

namespace kdu::fuzz {

inline constexpr std::size_t kLongestAnswer = 300;  // beyond the commands' 256-byte buffers

inline test::Answer answerFrom(Input& input) {
    test::Answer answer;
    const std::uint8_t kind = input.byte();
    const std::uint8_t status = input.byte();
    switch (kind & 3) {
        case 0: answer.status = scsi::Status::Good; break;
        case 1: answer.status = scsi::Status::CheckCondition; break;
        case 2: answer.status = static_cast<scsi::Status>(status); break;
        default: answer.error = scsi::TransportError::IOError; break;
    }
    for (auto& byte : answer.sense) byte = input.byte();
    const auto length = static_cast<std::size_t>(input.number(2)) % (kLongestAnswer + 1);
    if (kind & 4) answer.transferred = static_cast<std::size_t>(input.number(8));
    answer.dataIn = input.bytes(length);
    return answer;
}

// The code under test logs as it goes; nothing of that is wanted here.
inline void silenceLog() {
    kdulog::setSyslogEnabled(false);
    kdulog::setLogSink([](kdulog::LogLevel, const std::string&) {});
}

// One drive on a fresh test backend answering every command from the input, installed
// for the life of the scope. `own`, when given, may answer a
// command itself; what it leaves comes from the input.
class AnsweringDrive {
public:
    using OwnAnswer = std::function<std::optional<test::Answer>(const test::RecordedCommand&)>;

    explicit AnsweringDrive(Input& input, OwnAnswer own = {}) : own_(std::move(own)) {
        backend_ = std::make_shared<test::FakeBackend>();
        drive_ = backend_->addDrive("drive0");
        // One `own` for every opcode, so that it sees the commands in their order.
        for (int opcode = 0; opcode < 256; ++opcode)
            drive_->setResponder(static_cast<std::uint8_t>(opcode), [this, &input](const test::RecordedCommand& command) {
                if (own_) {
                    if (std::optional<test::Answer> answer = own_(command)) return *answer;
                }
                return answerFrom(input);
            });
        platform::installBackend(backend_);
    }
    AnsweringDrive(const AnsweringDrive&) = delete;
    AnsweringDrive& operator=(const AnsweringDrive&) = delete;
    ~AnsweringDrive() { platform::installBackend(nullptr); }
    test::FakeDrive& node() const { return *drive_; }

private:
    OwnAnswer own_;
    std::shared_ptr<test::FakeBackend> backend_;
    std::shared_ptr<test::FakeDrive> drive_;
};

}  // namespace kdu::fuzz
