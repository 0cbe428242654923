// The simulated drive answering commands of any shape, as it will when it serves as a
// device that any program may send commands to. The input is a run of commands, each:
//   CDB (16 bytes), CDB length, direction, buffer length (2 bytes, big-endian), transfer
//   count (4 bytes, big-endian), milliseconds passed since the last one (2 bytes), and for
//   data-out the bytes sent (as many as the buffer length; fewer when the input ends).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FuzzInput.h"

// The one place that names where the simulated drive lives.
#include "simdrive/SimDrive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kdu::fuzz::Input input(data, size);
    sim::DriveSpec profile;
    sim::SimDrive drive;
    std::int64_t nowMs = 1'765'000'000'000;
    while (!input.empty()) {
        platform::ScsiCommand command;
        for (auto& byte : command.cdb) byte = input.byte();
        command.cdbLength = input.byte();
        command.direction = input.byte() % 3;
        // Exactly as long as announced, so any read or write past it shows.
        std::vector<std::uint8_t> buffer(static_cast<std::size_t>(input.number(2)));
        command.transferCount = input.number(4);
        nowMs += static_cast<std::int64_t>(input.number(2));
        if (command.direction == platform::kSCSIDataTransfer_FromInitiatorToTarget)
            for (auto& byte : buffer) byte = input.byte();
        command.data = buffer.empty() ? nullptr : buffer.data();
        command.dataLength = static_cast<std::uint32_t>(buffer.size());

        platform::ScsiOutcome out;
        drive.answer(profile, command, out, nowMs);
        if (out.realizedCount > std::min<std::uint64_t>(command.transferCount, command.dataLength)) __builtin_trap();
    }
    return 0;
}
