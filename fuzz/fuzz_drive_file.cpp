// A simulated drive's file as a person may have edited it: read and checked as the
// simulator reads it; whatever is accepted must survive being written back, and the drive
// must answer from it (identity, state, install under way) at any time of day.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

// The one place that names where the simulated drive lives.
#include "ScratchFolder.h"
#include "simdrive/DriveFile.h"
#include "simdrive/SimDrive.h"

namespace {

std::filesystem::path& driveFile() {
    static std::filesystem::path file;
    return file;
}

// INQUIRY, TEST UNIT READY and READ BUFFER as the listing sends them, at `nowMs`.
void ask(sim::DriveSpec profile, std::int64_t nowMs) {
    sim::SimDrive drive;
    std::uint8_t data[256];
    const std::array<std::uint8_t, 16> cdbs[] = {
        {0x12, 0x00, 0x00, 0x00, 0x38, 0x00},
        {0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
        {0x3C, 0x02, 0xF1, 0x00, 0x00, 0x00, 0x00, 0x00, 0x30, 0x00, 0x00, 0x00},
    };
    for (const auto& cdb : cdbs) {
        scsi::Command command;
        command.cdb = cdb;
        command.cdbLength = cdb[0] == 0x3C ? 12 : 6;
        command.direction = cdb[0] == 0x00 ? scsi::Direction::None : scsi::Direction::FromDevice;
        if (cdb[0] != 0x00) command.data = data;
        scsi::Result out;
        drive.answer(profile, command, out, nowMs);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    driveFile() = sim::driveFilePath(kdu::fuzz::scratchFolder("drives"), "drive1");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::ofstream(driveFile(), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    std::string error;
    const std::optional<sim::DriveSpec> profile = sim::loadDriveFile(driveFile(), error);
    if (!profile) {
        if (error.empty()) __builtin_trap();  // a refusal always says why
        return 0;
    }
    if (!sim::fromJson(sim::toJson(*profile), "again", error)) __builtin_trap();
    for (std::int64_t nowMs : {std::int64_t{1'765'000'000'000}, std::int64_t{0}}) ask(*profile, nowMs);
    return 0;
}
