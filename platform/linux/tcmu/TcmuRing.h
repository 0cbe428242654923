// The command ring of one user backstore of the kernel's SCSI target (target_core_user),
// reached through its UIO device: commands are taken off the ring in order and completed
// in place, and the kernel is told by a write to the device.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "log/UniqueFd.h"
#include "scsi/Result.h"

namespace tcmu {

// A piece of a command's data in the shared mapping.
struct Buffer {
    std::uint8_t* data;
    std::size_t length;
};

// One command as the ring holds it.
struct RingCommand {
    std::uint32_t tail = 0;                  // where its entry starts
    std::array<std::uint8_t, 16> cdb{};
    std::uint8_t cdbLength = 0;              // as the operation code's group implies
    std::vector<Buffer> buffers;             // the data, in order
    std::size_t dataLength = 0;              // the initiator's buffer, all buffers together
};

struct RingReply {
    scsi::Status status = scsi::Status::Good;
    scsi::Sense sense{};                     // sent with CHECK CONDITION
    std::span<const std::uint8_t> dataIn;    // copied to the initiator (its real length)
};

class Ring {
public:
    // Opens /dev/<uioName> and maps its ring. None, with `error` set, when that fails.
    static std::unique_ptr<Ring> open(const std::string& uioName, std::string& error);
    ~Ring();
    Ring(const Ring&) = delete;
    Ring& operator=(const Ring&) = delete;

    // Readable when the kernel rang: call acknowledge(), then take commands with next().
    int fd() const { return fd_.get(); }
    void acknowledge();

    // The command at the tail, or none when the ring is empty. Padding and task
    // management notices are passed over.
    std::optional<RingCommand> next();
    // Copies the command's data-out, all buffers in order.
    std::vector<std::uint8_t> dataOut(const RingCommand& command) const;
    // Answers the command `next` returned, moves the tail past it and tells the kernel.
    void complete(const RingCommand& command, const RingReply& reply);

private:
    Ring(kdulog::UniqueFd fd, void* map, std::size_t size);
    std::uint8_t* at(std::uint64_t offset) const { return static_cast<std::uint8_t*>(map_) + offset; }

    kdulog::UniqueFd fd_;
    void* map_;
    std::size_t size_;
};

}  // namespace tcmu
