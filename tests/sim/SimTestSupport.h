// Commands as the drive command layer sends them, and small sealed firmware images.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "model/FirmwareImageFormat.h"
#include "platform/Backend.h"
#include "platform/sim/SimDrive.h"
#include "platform/sim/SimDefaults.h"

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

inline Command makeCommand(std::vector<std::uint8_t> cdb, std::uint8_t direction, std::vector<std::uint8_t> buffer,
                           std::uint64_t transferCount) {
    Command c;
    std::memcpy(c.scsi.cdb.data(), cdb.data(), cdb.size());
    c.scsi.cdbLength = static_cast<std::uint8_t>(cdb.size());
    c.scsi.direction = direction;
    c.scsi.transferCount = transferCount;
    c.scsi.timeoutMs = 500000;
    c.buffer = std::move(buffer);
    return c;
}

inline Command inquiry() {
    return makeCommand({0x12, 0, 0, 0, 0x38, 0}, platform::kSCSIDataTransfer_FromTargetToInitiator,
                       std::vector<std::uint8_t>(256), 256);
}
inline Command testUnitReady() {
    return makeCommand({0, 0, 0, 0, 0, 0}, platform::kSCSIDataTransfer_NoDataTransfer, {}, 0);
}
inline Command readBuffer() {
    return makeCommand({0x3C, 0x02, 0xF1, 0, 0, 0, 0, 0, 0x30, 0, 0, 0},
                       platform::kSCSIDataTransfer_FromTargetToInitiator, std::vector<std::uint8_t>(256), 256);
}
inline Command changeDriveMode(std::vector<std::uint8_t> data = sim::modeChangeParameterData()) {
    return makeCommand({0x3B, 0x05, 0xFF, 0, 0, 0, 0, 0x01, 0x00, 0, 0, 0},
                       platform::kSCSIDataTransfer_FromInitiatorToTarget, std::move(data), 256);
}
inline Command writeBuffer(bool kernel, std::uint32_t offset, std::vector<std::uint8_t> piece) {
    const auto length = static_cast<std::uint32_t>(piece.size());
    return makeCommand({0x3B, 0x05, static_cast<std::uint8_t>(kernel ? 0xFE : 0xF0),
                        static_cast<std::uint8_t>(offset >> 16), static_cast<std::uint8_t>(offset >> 8),
                        static_cast<std::uint8_t>(offset), static_cast<std::uint8_t>(length >> 16),
                        static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length), 0, 0, 0},
                       platform::kSCSIDataTransfer_FromInitiatorToTarget, std::move(piece), length);
}

struct ImageFields {
    std::string product = "KESTORY BD-RW KVL-MT38 FW";
    std::string revision = "1.21";
    std::string hardVersion = sim::kDefaultHardVersion;
};

// A sealed image of `length` bytes (a multiple of 256 keeps the pieces simple).
inline std::vector<std::uint8_t> sealedImage(std::size_t length, const ImageFields& fields = {}) {
    std::vector<std::uint8_t> image(length);
    for (std::size_t i = image_format::kHeaderLength; i < length; ++i) image[i] = static_cast<std::uint8_t>(i * 7);
    std::memcpy(image.data() + image_format::kProductOffset, fields.product.data(), fields.product.size());
    std::memcpy(image.data() + image_format::kRevisionOffset, fields.revision.data(), fields.revision.size());
    std::memcpy(image.data() + image_format::kHardVersionOffset, fields.hardVersion.data(), fields.hardVersion.size());
    image_format::sealImage(image, static_cast<std::uint32_t>(length));
    return image;
}

// The pieces of an image as the update sequence cuts them (32768 bytes at most).
inline std::vector<Command> imagePieces(bool kernel, const std::vector<std::uint8_t>& image) {
    std::vector<Command> pieces;
    for (std::size_t offset = 0; offset < image.size(); offset += 0x8000) {
        const std::size_t n = std::min<std::size_t>(0x8000, image.size() - offset);
        pieces.push_back(writeBuffer(kernel, static_cast<std::uint32_t>(offset),
                                     std::vector<std::uint8_t>(image.begin() + offset, image.begin() + offset + n)));
    }
    return pieces;
}

inline std::string text(const std::vector<std::uint8_t>& bytes, std::size_t offset, std::size_t length) {
    return std::string(reinterpret_cast<const char*>(bytes.data() + offset), length);
}

}  // namespace simtest
