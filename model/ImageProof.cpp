#include "model/ImageProof.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <map>

#include "model/DeviceData.h"
#include "model/FirmwareImageFormat.h"
#include "model/FirmwareImages.h"
#include "model/ImageManifest.h"
#include "model/Util.h"

namespace {

// Buffer offsets travel in 24 bits.
constexpr std::uint64_t kMaxNormalImageLength = 16u * 1024 * 1024;
// The manifest is two short lines; anything much larger is not ours.
constexpr std::uint64_t kMaxManifestLength = 4096;

struct Failure {
    std::string file, problem;
};

// The whole regular file, at most `limit` bytes; none when it cannot be read.
std::optional<std::vector<std::uint8_t>> readResource(const std::string& name, std::uint64_t limit,
                                                      std::string& problem) {
    const OptionalText path = Util::fullPath(name);
    if (!path) {
        problem = "missing";
        return std::nullopt;
    }
    struct stat st {};
    if (::stat(path->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        problem = "missing or not a regular file";
        return std::nullopt;
    }
    if (static_cast<std::uint64_t>(st.st_size) > limit) {
        problem = "too large (" + std::to_string(st.st_size) + " bytes, at most " + std::to_string(limit) + ")";
        return std::nullopt;
    }
    // One read of the size the file had when checked: a file that changes meanwhile is
    // caught by its digest.
    std::ifstream in(*path, std::ios::binary);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(st.st_size));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) {
        problem = "cannot be read";
        return std::nullopt;
    }
    return bytes;
}

OptionalText headerField(const std::vector<std::uint8_t>& image, std::size_t offset, std::size_t length) {
    return Util::convertToString(image.data(), static_cast<std::int32_t>(offset), static_cast<std::int32_t>(length));
}

std::optional<Failure> checkImage(const std::string& name, const std::vector<std::uint8_t>& image,
                                  const std::map<std::string, std::string>& manifest, std::uint64_t minimumLength) {
    const auto entry = manifest.find(name);
    if (entry == manifest.end()) return Failure{name, "not listed in the image manifest"};
    if (image.size() < minimumLength)
        return Failure{name, "truncated (" + std::to_string(image.size()) + " bytes, at least " +
                                 std::to_string(minimumLength) + " needed)"};
    if (sha256Hex(image) != entry->second) return Failure{name, "damaged or replaced (its SHA-256 differs from the manifest)"};
    using namespace image_format;
    const OptionalText revision = headerField(image, kRevisionOffset, kRevisionLength);
    if (Util::cmpCurVersion(revision, OptionalText{kTargetRevision}) != 0 || !revision)
        return Failure{name, "carries revision \"" + revision.value_or("?") + "\", not \"" + kTargetRevision + "\""};
    return std::nullopt;
}

std::optional<Failure> prove(const FirmFileData& normal, ProvenImages& images) {
    const std::string kernelName = firmwareFileName(kKernelImageBaseName);
    const std::string normalName = firmwareFileName(kNormalImageBaseName);
    std::string problem;

    const auto manifestBytes = readResource(kImageManifestName, kMaxManifestLength, problem);
    if (!manifestBytes) return Failure{kImageManifestName, problem};
    std::string error;
    const auto manifest =
        parseImageManifest(std::string_view(reinterpret_cast<const char*>(manifestBytes->data()), manifestBytes->size()), error);
    if (!manifest) return Failure{kImageManifestName, "malformed: " + error};

    auto kernel = readResource(kernelName, kMaxNormalImageLength, problem);
    if (!kernel) return Failure{kernelName, problem};
    if (auto failure = checkImage(kernelName, *kernel, *manifest, image_format::kKernelImageSentLength)) return failure;

    auto normalBytes = readResource(normalName, kMaxNormalImageLength, problem);
    if (!normalBytes) return Failure{normalName, problem};
    if (auto failure = checkImage(normalName, *normalBytes, *manifest, image_format::kHeaderLength)) return failure;

    // Eligibility was judged with the header read at start-up: a file swapped since then,
    // even a genuine one, must not be sent under that judgement.
    using namespace image_format;
    if (!normal.isFileExists() ||
        !textEquals(headerField(*normalBytes, kHardVersionOffset, kHardVersionLength), normal.hard_version()) ||
        !textEquals(headerField(*normalBytes, kDestVersionOffset, kDestVersionLength), normal.dest_version()) ||
        !textEquals(headerField(*normalBytes, kRevisionOffset, kRevisionLength), normal.revision()))
        return Failure{normalName, "changed since the program started"};

    images.kernel = std::move(*kernel);
    images.normal = std::move(*normalBytes);
    return std::nullopt;
}

}  // namespace

std::string ImageProof::message() const {
    if (proven()) return {};
    return file + ": " + problem;
}

ImageProof proveShippedImages(const FirmFileData& normal) {
    ImageProof proof;
    ProvenImages images;
    if (const std::optional<Failure> failure = prove(normal, images)) {
        proof.file = failure->file;
        proof.problem = failure->problem;
        return proof;
    }
    proof.images = std::move(images);
    return proof;
}
