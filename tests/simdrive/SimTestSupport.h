// Commands as the drive command layer sends them, and sealed sample images.
#pragma once

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "scsi/Command.h"
#include "scsi/Result.h"
#include "simdrive/SimDrive.h"
#include "tools/ImageMaker.h"

namespace simtest {

using Bytes = std::vector<std::uint8_t>;

// A command with its own data buffer (kept alive with it).
struct Command {
    scsi::Command scsi;
    Bytes buffer;

    const scsi::Command& get() {
        scsi.data = buffer;
        return scsi;
    }
};

inline Command makeCommand(Bytes cdb, scsi::Direction direction, Bytes buffer) {
    Command c{{}, std::move(buffer)};
    std::copy(cdb.begin(), cdb.end(), c.scsi.cdb.begin());
    c.scsi.cdbLength = static_cast<std::uint8_t>(cdb.size());
    c.scsi.direction = direction;
    return c;
}

constexpr scsi::Direction kIn = scsi::Direction::FromDevice;
constexpr scsi::Direction kOut = scsi::Direction::ToDevice;

inline Command inquiry() { return makeCommand({0x12, 0, 0, 0, 0x38, 0}, kIn, Bytes(256)); }
inline Command testUnitReady() { return makeCommand({0, 0, 0, 0, 0, 0}, scsi::Direction::None, {}); }
inline Command readBuffer() { return makeCommand({0x3C, 0x02, 0xF1, 0, 0, 0, 0, 0, 0x30, 0, 0, 0}, kIn, Bytes(256)); }
inline Command changeDriveMode(Bytes data = sim::modeChangeParameterData()) {
    return makeCommand({0x3B, 0x05, 0xFF, 0, 0, 0, 0, 0x01, 0x00, 0, 0, 0}, kOut, std::move(data));
}
inline Command writeBuffer(bool kernel, std::uint32_t offset, Bytes piece) {
    const auto n = static_cast<std::uint32_t>(piece.size());
    auto b = [](std::uint32_t v, int shift) { return static_cast<std::uint8_t>(v >> shift); };
    return makeCommand({0x3B, 0x05, static_cast<std::uint8_t>(kernel ? 0xFE : 0xF0), b(offset, 16), b(offset, 8),
                        b(offset, 0), b(n, 16), b(n, 8), b(n, 0), 0, 0, 0},
                       kOut, std::move(piece));
}

// A sealed image of `length` bytes with the sample header unless `profile` says otherwise.
inline Bytes sealedImage(std::size_t length, image_maker::ImageSpec profile = {}) {
    profile.length = length;
    return image_maker::makeImage(profile);
}

// The pieces of an image as the update sequence cuts them (32768 bytes at most).
inline std::vector<Command> imagePieces(bool kernel, const Bytes& image) {
    std::vector<Command> pieces;
    for (std::size_t at = 0; at < image.size(); at += 0x8000)
        pieces.push_back(writeBuffer(kernel, static_cast<std::uint32_t>(at),
                                     {image.begin() + at, image.begin() + std::min(at + 0x8000, image.size())}));
    return pieces;
}

// While it lives, no file of this process grows past `bytes`: a write beyond fails (EFBIG)
// as on a full file system, through the drive file's own save path.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : previous_(std::signal(SIGXFSZ, SIG_IGN)) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }

private:
    rlimit saved_{};
    void (*previous_)(int);
};

inline std::string text(const Bytes& bytes, std::size_t offset, std::size_t length) {
    return std::string(reinterpret_cast<const char*>(bytes.data() + offset), length);
}

}  // namespace simtest
