#include "tools/ImageMaker.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "model/FirmwareImageFormat.h"
#include "model/FirmwareImages.h"
#include "model/ImageManifest.h"

namespace image_maker {

namespace {

bool putField(std::vector<std::uint8_t>& image, std::size_t offset, std::size_t width, const std::string& text)
{
    if (text.size() > width)
        return false;
    std::fill(image.begin() + offset, image.begin() + offset + width, std::uint8_t{0});
    std::memcpy(image.data() + offset, text.data(), text.size());
    return true;
}

// xorshift32: fixed output for a seed, so rebuilt images are byte-identical.
void fillBody(std::vector<std::uint8_t>& image, std::uint32_t seed)
{
    std::uint32_t x = seed != 0 ? seed : 0x9E3779B9U;
    for (std::size_t i = image_format::kHeaderLength; i < image.size(); ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        image[i] = static_cast<std::uint8_t>(x);
    }
}

}  // namespace

ImageSpec kernelImageSpec()
{
    ImageSpec profile;
    profile.length = kKernelImageLength;
    profile.sealedLength = image_format::kKernelImageSentLength;
    profile.seed = 0x52373630U;
    return profile;
}

ImageSpec normalImageSpec()
{
    ImageSpec profile;
    profile.length = kNormalImageLength;
    profile.seed = 0x52373631U;
    return profile;
}

std::vector<std::uint8_t> makeImage(const ImageSpec& profile)
{
    using namespace image_format;
    const std::size_t sealed = profile.sealedLength != 0 ? profile.sealedLength : profile.length;
    if (profile.length < kHeaderLength || sealed > profile.length || sealed > UINT32_MAX)
        return {};
    std::vector<std::uint8_t> image(profile.length, 0);
    fillBody(image, profile.seed);
    const bool fits = putField(image, kProductOffset, kProductLength, profile.product) &&
                      putField(image, kRevisionOffset, kRevisionLength, profile.revision) &&
                      putField(image, kHardVersionOffset, kHardVersionLength, profile.hardVersion) &&
                      putField(image, kKernelVersionOffset, kKernelVersionLength, profile.kernelVersion) &&
                      putField(image, kDestVersionOffset, kDestVersionLength, profile.destVersion) &&
                      putField(image, kDateOffset, kDateLength, profile.date);
    if (!fits)
        return {};
    sealImage(image, static_cast<std::uint32_t>(sealed));
    return image;
}

bool writeFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    const std::string temporary = path + ".tmp." + std::to_string(::getpid());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    std::size_t done = 0;
    bool ok = true;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0)
        ok = false;
    if (ok && ::rename(temporary.c_str(), path.c_str()) == 0)
        return true;
    const int saved = errno;
    ::unlink(temporary.c_str());
    errno = saved;
    return false;
}

std::optional<std::string> writeShippedImages(const std::filesystem::path& folder, std::size_t normalLength)
{
    ImageSpec normal = normalImageSpec();
    normal.length = normalLength;
    for (const auto& [name, profile] : {std::pair{firmwareFileName(kKernelImageBaseName), kernelImageSpec()},
                                        std::pair{firmwareFileName(kNormalImageBaseName), normal}}) {
        if (!writeFileAtomically((folder / name).string(), makeImage(profile)))
            return "cannot write " + (folder / name).string() + ": " + std::strerror(errno);
    }
    std::string error;
    if (!writeImageManifest(folder, error))
        return error;
    return std::nullopt;
}

std::optional<ImageBinding> bindingOf(const std::filesystem::path& folder, std::string& error)
{
    ImageBinding binding;
    for (auto [base, bound] : {std::pair{kKernelImageBaseName, &binding.kernel},
                               std::pair{kNormalImageBaseName, &binding.normal}}) {
        bound->file = firmwareFileName(base);
        std::ifstream in(folder / bound->file, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (!in.is_open() || in.bad()) {
            error = "cannot read " + (folder / bound->file).string();
            return std::nullopt;
        }
        bound->length = bytes.size();
        bound->sha256 = sha256Hex(bytes);
    }
    return binding;
}

std::string bindingTableText(const ImageBinding& binding)
{
    const auto entry = [](const BoundImage& image) {
        return "{\"" + image.file + "\", " + std::to_string(image.length) + "u, \"" + image.sha256 + "\"}";
    };
    return "// Written by kdu-mkimage beside the images it made: each role's file, length and SHA-256.\n"
           "#pragma once\n\n#include \"model/ImageBinding.h\"\n\n"
           "inline ImageBinding builtImageBinding() {\n    return ImageBinding{" +
           entry(binding.kernel) + ",\n                        " + entry(binding.normal) + "};\n}\n";
}

}  // namespace image_maker
