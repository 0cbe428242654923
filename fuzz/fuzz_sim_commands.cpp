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
        scsi::Command command;
        for (auto& byte : command.cdb) byte = input.byte();
        command.cdbLength = input.byte();
        command.direction = static_cast<scsi::Direction>(input.byte() % 3);
        std::vector<std::uint8_t> buffer(static_cast<std::size_t>(input.number(2)));
        const std::uint64_t transferCount = input.number(4);
        nowMs += static_cast<std::int64_t>(input.number(2));
        if (command.direction == scsi::Direction::ToDevice)
            for (auto& byte : buffer) byte = input.byte();
        // Exactly as long as the task hands over, so any read or write past it shows.
        std::vector<std::uint8_t> handed(
            buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(std::min<std::uint64_t>(transferCount, buffer.size())));
        command.data = handed;

        scsi::Result out;
        drive.answer(profile, command, out, nowMs);
        if (out.transferred > command.data.size()) __builtin_trap();
    }
    return 0;
}
