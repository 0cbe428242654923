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

using Failure = ImageFault;

// The whole regular file, at most `limit` bytes; none when it cannot be read.
std::optional<std::vector<std::uint8_t>> readResource(const std::string& name, std::uint64_t limit,
                                                      Failure& failure) {
    failure = Failure{ImageProblem::None, name};
    const OptionalText path = Util::fullPath(name);
    if (!path) {
        failure.problem = ImageProblem::Missing;
        return std::nullopt;
    }
    struct stat st {};
    if (::stat(path->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        failure.problem = ImageProblem::NotRegularFile;
        return std::nullopt;
    }
    if (static_cast<std::uint64_t>(st.st_size) > limit) {
        failure.problem = ImageProblem::TooLarge;
        failure.size = static_cast<std::uint64_t>(st.st_size);
        failure.limit = limit;
        return std::nullopt;
    }
    // One read of the size the file had when checked: a file that changes meanwhile is
    // caught by its digest.
    std::ifstream in(*path, std::ios::binary);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(st.st_size));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) {
        failure.problem = ImageProblem::Unreadable;
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
    if (entry == manifest.end()) return Failure{ImageProblem::NotInManifest, name};
    if (image.size() < minimumLength) return Failure{ImageProblem::Truncated, name, image.size(), minimumLength};
    if (sha256Hex(image) != entry->second) return Failure{ImageProblem::Damaged, name};
    using namespace image_format;
    const OptionalText revision = headerField(image, kRevisionOffset, kRevisionLength);
    if (Util::cmpCurVersion(revision, OptionalText{kTargetRevision}) != 0 || !revision)
        return Failure{ImageProblem::OtherRevision, name, 0, 0, revision.value_or("?")};
    return std::nullopt;
}

std::optional<Failure> prove(const FirmFileData& normal, ProvenImages& images) {
    const std::string kernelName = firmwareFileName(kKernelImageBaseName);
    const std::string normalName = firmwareFileName(kNormalImageBaseName);
    Failure failure;

    const auto manifestBytes = readResource(kImageManifestName, kMaxManifestLength, failure);
    if (!manifestBytes) return failure;
    std::string error;
    const auto manifest =
        parseImageManifest(std::string_view(reinterpret_cast<const char*>(manifestBytes->data()), manifestBytes->size()), error);
    if (!manifest) return Failure{ImageProblem::ManifestMalformed, kImageManifestName, 0, 0, error};

    auto kernel = readResource(kernelName, kMaxNormalImageLength, failure);
    if (!kernel) return failure;
    if (auto bad = checkImage(kernelName, *kernel, *manifest, image_format::kKernelImageSentLength)) return bad;

    auto normalBytes = readResource(normalName, kMaxNormalImageLength, failure);
    if (!normalBytes) return failure;
    if (auto bad = checkImage(normalName, *normalBytes, *manifest, image_format::kHeaderLength)) return bad;

    // Eligibility was judged with the header read at start-up: a file swapped since then,
    // even a genuine one, must not be sent under that judgement.
    using namespace image_format;
    if (!normal.isFileExists() ||
        !textEquals(headerField(*normalBytes, kHardVersionOffset, kHardVersionLength), normal.hard_version()) ||
        !textEquals(headerField(*normalBytes, kDestVersionOffset, kDestVersionLength), normal.dest_version()) ||
        !textEquals(headerField(*normalBytes, kRevisionOffset, kRevisionLength), normal.revision()))
        return Failure{ImageProblem::ChangedSinceStart, normalName};

    images.kernel = std::move(*kernel);
    images.normal = std::move(*normalBytes);
    return std::nullopt;
}

}  // namespace

std::string imageProblemText(const ImageFault& fault) {
    switch (fault.problem) {
        case ImageProblem::None: return {};
        case ImageProblem::Missing: return "missing";
        case ImageProblem::NotRegularFile: return "missing or not a regular file";
        case ImageProblem::TooLarge:
            return "too large (" + std::to_string(fault.size) + " bytes, at most " + std::to_string(fault.limit) + ")";
        case ImageProblem::Unreadable: return "cannot be read";
        case ImageProblem::NotInManifest: return "not listed in the image manifest";
        case ImageProblem::Truncated:
            return "truncated (" + std::to_string(fault.size) + " bytes, at least " + std::to_string(fault.limit) +
                   " needed)";
        case ImageProblem::Damaged: return "damaged or replaced (its SHA-256 differs from the manifest)";
        case ImageProblem::OtherRevision:
            return "carries revision \"" + fault.detail + "\", not \"" + kTargetRevision + "\"";
        case ImageProblem::ManifestMalformed: return "malformed: " + fault.detail;
        case ImageProblem::ChangedSinceStart: return "changed since the program started";
        case ImageProblem::MissingAtStart: return "missing at start-up";
    }
    return {};
}

std::string ImageProof::message() const {
    if (proven()) return {};
    return fault.file + ": " + imageProblemText(fault);
}

ImageProof proveShippedImages(const FirmFileData& normal) {
    ImageProof proof;
    ProvenImages images;
    if (std::optional<Failure> failure = prove(normal, images)) {
        proof.fault = std::move(*failure);
        return proof;
    }
    proof.images = std::move(images);
    return proof;
}
