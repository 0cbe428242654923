// What became of one command: delivered or not, and the drive's answer when it was.
#pragma once

#include <cstddef>
#include <cstdint>

#include "scsi/Sense.h"

namespace scsi {

// Values as the drive sends them; others (rarely seen) pass through unnamed.
enum class Status : std::uint8_t {
    Good = 0x00,
    CheckCondition = 0x02,
    ConditionMet = 0x04,
    Busy = 0x08,
    ReservationConflict = 0x18,
    TaskSetFull = 0x28,
    TaskAborted = 0x40,
};

// The codes log lines ("ObtainExclusiveAccess failed.(1) (0x%08x)") and drive files have
// always shown.
enum class TransportError : std::uint32_t {
    None = 0,
    Failed = 0xE00002BC,
    NoMemory = 0xE00002BD,
    NoResources = 0xE00002BE,
    NoDevice = 0xE00002C0,
    NotPrivileged = 0xE00002C1,
    BadArgument = 0xE00002C2,
    InUse = 0xE00002C5,
    Unsupported = 0xE00002C7,
    IOError = 0xE00002CA,
    NotOpen = 0xE00002CD,
    Busy = 0xE00002D5,
    Timeout = 0xE00002D6,
    NotPermitted = 0xE00002E2,
    NotFound = 0xE00002F0,
};

struct Result {
    TransportError error = TransportError::None;  // None: the command reached the drive
    Status status = Status::Good;
    Sense sense{};                                // CHECK CONDITION only
    // Bytes of the command's data moved; nothing unless the answer says so.
    std::size_t transferred = 0;

    bool delivered() const { return error == TransportError::None; }
    bool good() const { return delivered() && status == Status::Good; }
    bool checkCondition() const { return delivered() && status == Status::CheckCondition; }
    // The status as logged ("taskStatus[0x%08x]"): all ones when nothing was delivered.
    std::uint32_t statusWord() const { return delivered() ? static_cast<std::uint32_t>(status) : 0xFFFFFFFFu; }
};

}  // namespace scsi
