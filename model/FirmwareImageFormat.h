// Layout of a firmware image file. The application reads text fields from offset 96 on;
// bytes 0-95 carry our integrity seal, which the drive checks over what it received.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace image_format {

inline constexpr std::size_t kProductOffset = 96, kProductLength = 29;
inline constexpr std::size_t kRevisionOffset = 144, kRevisionLength = 5;
inline constexpr std::size_t kHardVersionOffset = 176, kHardVersionLength = 8;
inline constexpr std::size_t kKernelVersionOffset = 208, kKernelVersionLength = 8;
inline constexpr std::size_t kDestVersionOffset = 240, kDestVersionLength = 8;
inline constexpr std::size_t kDateOffset = 304, kDateLength = 8;
inline constexpr std::size_t kHeaderLength = 312;

// Only the first 65536 + 4608 bytes of the kernel image ever reach the drive.
inline constexpr std::size_t kKernelImageSentLength = 65536 + 4608;

// Seal: magic at 0..7, covered length (little-endian) at 8..11, CRC-32 (IEEE, little-endian)
// of bytes [96, covered length) at 12..15. Bytes 16..95 are zero.
inline constexpr char kSealMagic[8] = {'K', 'D', 'U', 'F', 'W', 'I', 'M', 'G'};
inline constexpr std::size_t kSealedRegionStart = 96;

// CRC-32 of `bytes`; pass the CRC of the bytes before them to continue it.
std::uint32_t crc32(std::span<const std::uint8_t> bytes, std::uint32_t previous = 0);

struct Seal {
    std::uint32_t coveredLength = 0;
    std::uint32_t crc = 0;
};
// The seal at the start of `image`, when it has one whose covered length is sensible.
std::optional<Seal> readSeal(std::span<const std::uint8_t> image);
// Writes the seal into image[0..15] covering [96, coveredLength). image.size() >= coveredLength.
void sealImage(std::span<std::uint8_t> image, std::uint32_t coveredLength);
// True when image starts with a seal whose covered length fits and whose CRC matches.
bool verifySeal(std::span<const std::uint8_t> image);

}  // namespace image_format
