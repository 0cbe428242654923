// A temporary folder that lives as long as the fuzz run, however many inputs it takes.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace kdu::fuzz {

// Made on the first call (named after `purpose`), removed when the process ends.
inline const std::filesystem::path& scratchFolder(const char* purpose) {
    // Never destroyed: the exit handler still reads it after static destructors may have run.
    static const std::filesystem::path* const folder = [purpose] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / ("kdu-fuzz-" + std::string(purpose) + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        return new std::filesystem::path(pattern);
    }();
    static const bool removedAtExit = std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(*folder, ignored);
    }) == 0;
    (void)removedAtExit;
    return *folder;
}

}  // namespace kdu::fuzz
