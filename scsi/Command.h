// One SCSI command as a transport carries it: the CDB, the one buffer that moves whole, and
// the time the drive is given.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

namespace scsi {

// The values are those of the task interface the drive code fills in.
enum class Direction : std::uint8_t { None = 0, ToDevice = 1, FromDevice = 2 };

struct Command {
    std::array<std::uint8_t, 16> cdb{};
    std::uint8_t cdbLength = 0;               // 6, 10, 12 or 16
    Direction direction = Direction::None;
    std::span<std::uint8_t> data{};           // empty: no transfer
    std::chrono::milliseconds timeout{500000};
};

// The CDB length an operation code's group implies (6, 10, 12 or 16); `given` for the
// reserved and vendor groups. The kernel passes a target only that many bytes.
constexpr std::size_t groupCdbLength(std::uint8_t opcode, std::size_t given) {
    switch (opcode >> 5) {
    case 0: return 6;
    case 1:
    case 2: return 10;
    case 4: return 16;
    case 5: return 12;
    default: return given;
    }
}

}  // namespace scsi
