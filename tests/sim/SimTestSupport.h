// Commands as the drive command layer sends them, and sealed sample images.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Backend.h"
#include "platform/sim/SimDrive.h"
#include "tools/ImageMaker.h"

namespace simtest {

// A command with its own data buffer (kept alive with it).
struct Command {
    platform::ScsiCommand scsi;
    std::vector<std::uint8_t> buffer;

    const platform::ScsiCommand& get() {
        scsi.data = buffer.empty() ? nullptr : buffer.data();
        scsi.dataLength = static_cast<std::uint32_t>(buffer.size());
        return scsi;
    }
};

inline Command makeCommand(std::vector<std::uint8_t> cdb, std::uint8_t direction, std::vector<std::uint8_t> buffer) {
    Command c{{}, std::move(buffer)};
    std::copy(cdb.begin(), cdb.end(), c.scsi.cdb.begin());
    c.scsi.cdbLength = static_cast<std::uint8_t>(cdb.size());
    c.scsi.direction = direction;
    c.scsi.transferCount = c.buffer.size();
    c.scsi.timeoutMs = 500000;
    return c;
}

inline Command inquiry() {
    return makeCommand({0x12, 0, 0, 0, 0x38, 0}, platform::kSCSIDataTransfer_FromTargetToInitiator,
                       std::vector<std::uint8_t>(256));
}
inline Command testUnitReady() { return makeCommand({0, 0, 0, 0, 0, 0}, platform::kSCSIDataTransfer_NoDataTransfer, {}); }
inline Command readBuffer() {
    return makeCommand({0x3C, 0x02, 0xF1, 0, 0, 0, 0, 0, 0x30, 0, 0, 0},
                       platform::kSCSIDataTransfer_FromTargetToInitiator, std::vector<std::uint8_t>(256));
}
inline Command changeDriveMode(std::vector<std::uint8_t> data = sim::modeChangeParameterData()) {
    return makeCommand({0x3B, 0x05, 0xFF, 0, 0, 0, 0, 0x01, 0x00, 0, 0, 0},
                       platform::kSCSIDataTransfer_FromInitiatorToTarget, std::move(data));
}
inline Command writeBuffer(bool kernel, std::uint32_t offset, std::vector<std::uint8_t> piece) {
    const auto n = static_cast<std::uint32_t>(piece.size());
    auto byte = [](std::uint32_t v, int shift) { return static_cast<std::uint8_t>(v >> shift); };
    return makeCommand({0x3B, 0x05, static_cast<std::uint8_t>(kernel ? 0xFE : 0xF0), byte(offset, 16), byte(offset, 8),
                        byte(offset, 0), byte(n, 16), byte(n, 8), byte(n, 0), 0, 0, 0},
                       platform::kSCSIDataTransfer_FromInitiatorToTarget, std::move(piece));
}

// A sealed image of `length` bytes with the sample header unless `spec` says otherwise.
inline std::vector<std::uint8_t> sealedImage(std::size_t length, image_maker::ImageSpec spec = {}) {
    spec.length = length;
    return image_maker::makeImage(spec);
}

// The pieces of an image as the update sequence cuts them (32768 bytes at most).
inline std::vector<Command> imagePieces(bool kernel, const std::vector<std::uint8_t>& image) {
    std::vector<Command> pieces;
    for (std::size_t offset = 0; offset < image.size(); offset += 0x8000) {
        const auto first = image.begin() + static_cast<std::ptrdiff_t>(offset);
        const auto n = static_cast<std::ptrdiff_t>(std::min<std::size_t>(0x8000, image.size() - offset));
        pieces.push_back(writeBuffer(kernel, static_cast<std::uint32_t>(offset), {first, first + n}));
    }
    return pieces;
}

inline std::string text(const std::vector<std::uint8_t>& bytes, std::size_t offset, std::size_t length) {
    return std::string(reinterpret_cast<const char*>(bytes.data() + offset), length);
}

}  // namespace simtest
