#include "model/FirmwareImageFormat.h"

#include <algorithm>
#include <cstring>

#include <zlib.h>

namespace image_format {

namespace {

constexpr std::size_t kCoveredLengthOffset = 8;
constexpr std::size_t kCrcOffset = 12;

void putLittleEndian(std::span<std::uint8_t> out, std::size_t at, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i)
        out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t getLittleEndian(std::span<const std::uint8_t> in, std::size_t at)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(in[at + i]) << (8 * i);
    return value;
}

}  // namespace

std::uint32_t crc32(std::span<const std::uint8_t> bytes, std::uint32_t previous)
{
    // zlib's CRC-32 is the IEEE one, and several times faster than a byte-wise table.
    uLong crc = previous;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const auto chunk = static_cast<uInt>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        crc = ::crc32(crc, bytes.data() + done, chunk);
        done += chunk;
    }
    return static_cast<std::uint32_t>(crc);
}

void sealImage(std::span<std::uint8_t> image, std::uint32_t coveredLength)
{
    if (coveredLength < kSealedRegionStart || image.size() < coveredLength)
        return;  // nothing sensible to seal; verifySeal will refuse the image
    std::fill(image.begin(), image.begin() + kSealedRegionStart, std::uint8_t{0});
    std::memcpy(image.data(), kSealMagic, sizeof kSealMagic);
    putLittleEndian(image, kCoveredLengthOffset, coveredLength);
    putLittleEndian(image, kCrcOffset,
                    crc32(image.subspan(kSealedRegionStart, coveredLength - kSealedRegionStart)));
}

std::optional<Seal> readSeal(std::span<const std::uint8_t> image)
{
    if (image.size() < kSealedRegionStart || std::memcmp(image.data(), kSealMagic, sizeof kSealMagic) != 0)
        return std::nullopt;
    const std::uint32_t covered = getLittleEndian(image, kCoveredLengthOffset);
    if (covered < kSealedRegionStart)
        return std::nullopt;
    return Seal{covered, getLittleEndian(image, kCrcOffset)};
}

bool verifySeal(std::span<const std::uint8_t> image)
{
    const std::optional<Seal> seal = readSeal(image);
    if (!seal || seal->coveredLength > image.size())
        return false;
    return seal->crc == crc32(image.subspan(kSealedRegionStart, seal->coveredLength - kSealedRegionStart));
}

}  // namespace image_format
