// CHANGE DRIVE MODE and WRITE BUFFER: switching the drive's mode and sending it firmware.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <vector>

#include "drive/CommandFrame.h"
#include "drive/STUCMethod.h"
#include "log/Log.h"

namespace {

constexpr std::uint8_t kOpWriteBuffer = 0x3B;
constexpr std::uint8_t kModeDownloadMicrocodeWithSave = 0x05;
constexpr std::uint8_t kBufferModeChange = 0xFF;
constexpr std::uint8_t kBufferKernelImage = 0xFE;
constexpr std::uint8_t kBufferNormalImage = 0xF0;

constexpr std::size_t kModeChangeDataSize = 256;
// Vendor and model as the drive names itself, then the access code that unlocks the change.
constexpr char kModeChangeVendor[] = "KESTORY ";
constexpr char kModeChangeModel[] = "KVL-MT38";
constexpr std::uint8_t kModeChangeAccessCode[] = {0x5D, 0x27, 0xB4, 0xE6};

// A WRITE BUFFER(10) CDB handed over as 12 bytes; offset and length are 24-bit big-endian.
std::array<std::uint8_t, 16> writeBufferCdb(std::uint8_t bufferId, std::uint32_t offset, std::uint32_t length) {
    return {kOpWriteBuffer,
            kModeDownloadMicrocodeWithSave,
            bufferId,
            static_cast<std::uint8_t>(offset >> 16),
            static_cast<std::uint8_t>(offset >> 8),
            static_cast<std::uint8_t>(offset),
            static_cast<std::uint8_t>(length >> 16),
            static_cast<std::uint8_t>(length >> 8),
            static_cast<std::uint8_t>(length),
            0x00,
            0x00,
            0x00};
}

}  // namespace

scsi::Result CommandChangeDriveMode(platform::TaskChannel& channel, DeviceData* /*record*/) {
    std::array<std::uint8_t, kModeChangeDataSize> data{};
    std::memcpy(data.data(), kModeChangeVendor, 8);
    std::memcpy(data.data() + 8, kModeChangeModel, 8);
    std::memcpy(data.data() + 16, kModeChangeAccessCode, sizeof kModeChangeAccessCode);

    drive::CommandRequest request;
    request.function = "CommandChangeDriveMode";
    request.cdb = writeBufferCdb(kBufferModeChange, 0, kModeChangeDataSize);
    request.cdbLength = 12;
    request.data = data;
    request.direction = scsi::Direction::ToDevice;
    request.banner = "*********** CHANGE DRIVE MODE DATA ***********\n";
    request.requestLine = "Requesting change drive mode\n";

    const scsi::Result result = drive::runCommand(channel, request);
    drive::printStatusAndCount(result);
    // Decoded whatever the status: after GOOD it reads the zeroed buffer as "No Sense".
    PrintSenseString(&result.sense, false);
    return result;
}

scsi::Result CommandWriteBuffer(platform::TaskChannel& channel, std::uint32_t isKernel, DeviceData* /*record*/,
                                std::span<const std::uint8_t> data, std::uint32_t offset, std::uint32_t length) {
    // A longer piece would not fit the transfer buffer; sending part of it would corrupt the image.
    if (length > kWriteBufferMaxLength) {
        KDU_LOG_ERR("CommandWriteBuffer", "Piece too long for the transfer buffer. (%u > %u)\n", length,
                    kWriteBufferMaxLength);
        return {.error = scsi::TransportError::BadArgument};
    }
    // Zeroed, so a piece shorter than `length` goes out padded with zeros.
    std::vector<std::uint8_t> buffer(kWriteBufferMaxLength, 0);
    std::copy_n(data.begin(), std::min<std::size_t>(length, data.size()), buffer.begin());

    drive::CommandRequest request;
    request.function = "CommandWriteBuffer";
    request.cdb = writeBufferCdb(isKernel != 0 ? kBufferKernelImage : kBufferNormalImage, offset, length);
    request.cdbLength = 12;
    request.data = std::span(buffer).first(length);
    request.direction = scsi::Direction::ToDevice;
    request.banner = "*********** WRITE BUFFER DATA ***********\n";
    request.requestLine = "Requesting write buffer\n";

    const scsi::Result result = drive::runCommand(channel, request);
    drive::printStatusAndCount(result);
    if (result.checkCondition()) PrintSenseString(&result.sense, false);
    return result;
}
