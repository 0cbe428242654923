// Builds sample firmware images: header fields at their offsets, a deterministic body,
// and the seal. Used by kdu-mkimage and by tests that need images of their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "model/ImageBinding.h"

namespace image_maker {

struct ImageSpec {
    std::size_t length = 0;
    std::uint32_t sealedLength = 0;  // 0: the whole image
    std::uint32_t seed = 1;          // body bytes
    std::string product = "KESTORY BD-RW KVL-MT38 FW";
    std::string revision = "1.21";
    std::string date = "20261120";
    std::string hardVersion = "MT38HW01";
    std::string kernelVersion = "KRNL0101";
    std::string destVersion = "DEST0001";
};

inline constexpr std::size_t kKernelImageLength = 98'304;
// Not a multiple of 32768, so the last transfer is short; a multiple of 256 as real images
// are, so it goes out without padding.
inline constexpr std::size_t kNormalImageLength = 1'572'096;

ImageSpec kernelImageSpec();
ImageSpec normalImageSpec();

// Empty when a field does not fit its width or the length cannot hold the header.
std::vector<std::uint8_t> makeImage(const ImageSpec& profile);

// Writes `bytes` to `path` through a temporary file and a rename, so no reader ever
// sees half an image. False (with errno set) on failure.
bool writeFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes);

// The shipped pair as the build makes it, into `folder`: the kernel image, the normal image
// of `normalLength` bytes and their manifest. The error text, or none.
std::optional<std::string> writeShippedImages(const std::filesystem::path& folder,
                                              std::size_t normalLength = kNormalImageLength);

// Each role's file in `folder` with its length and SHA-256: what the build carries into the
// program, and what a test binds the images it made to. None, with the reason, when a file
// cannot be read.
std::optional<ImageBinding> bindingOf(const std::filesystem::path& folder, std::string& error);

// The C++ header that gives the program `binding` as builtImageBinding().
std::string bindingTableText(const ImageBinding& binding);

}  // namespace image_maker
