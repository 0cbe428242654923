// A simulated drive's file as a person may have edited it: read and checked as the
// simulator reads it, and whatever is accepted must survive being written back.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/sim/DriveFile.h"  // the one place that names the drive file's folder

namespace {

std::filesystem::path& driveFile() {
    static std::filesystem::path file;
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string pattern = (std::filesystem::temp_directory_path() / "kdu-fuzz-drives-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) ::abort();
    driveFile() = sim::driveFilePath(pattern, "drive1");
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(driveFile().parent_path(), ignored);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::ofstream(driveFile(), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    std::string error;
    const std::optional<sim::DriveSpec> spec = sim::loadDriveFile(driveFile(), error);
    if (!spec) {
        if (error.empty()) __builtin_trap();  // a refusal always says why
        return 0;
    }
    if (!sim::fromJson(sim::toJson(*spec), "again", error)) __builtin_trap();
    return 0;
}
