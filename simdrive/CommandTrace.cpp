#include "simdrive/CommandTrace.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "model/FirmwareImageFormat.h"

namespace sim {

namespace {

// Opened once for the life of the process, so every line is a single append.
int traceFd() {
    static const int fd = [] {
        const char* path = std::getenv(kTraceVariable);
        return path && *path ? ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644) : -1;
    }();
    return fd;
}

}  // namespace

bool tracing() { return traceFd() >= 0; }

void traceCommand(const std::string& drive, const scsi::Command& command, const char* mark) {
    if (!tracing()) return;
    std::string line = drive + ' ';
    if (mark != nullptr) line += std::string(mark) + ' ';
    const std::size_t length = std::min<std::size_t>(scsi::groupCdbLength(command.cdb[0], command.cdbLength), 16);
    char hex[8];
    for (std::size_t i = 0; i < length; ++i) {
        std::snprintf(hex, sizeof hex, "%02x", command.cdb[i]);
        line += hex;
    }
    // A buffer of no bytes is traced too ("out=0").
    if (command.direction == scsi::Direction::ToDevice && command.data.data() != nullptr) {
        char data[48];
        std::snprintf(data, sizeof data, " out=%zu crc=%08x", command.data.size(),
                      image_format::crc32(std::span<const std::uint8_t>(command.data)));
        line += data;
    }
    writeTrace(line);
}

void writeTrace(const std::string& line) {
    const int fd = traceFd();
    if (fd < 0) return;
    const std::string whole = line + '\n';
    [[maybe_unused]] const ssize_t written = ::write(fd, whole.data(), whole.size());
}

}  // namespace sim
