#include "model/ImageProof.h"

#include <sys/stat.h>

#include <algorithm>
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

// The file in the role of `own`: byte for byte the image the program was built with there.
// The other role's image in its place is named as such, since swapped files are the likely slip.
std::optional<Failure> checkImage(const BoundImage& own, const BoundImage& other, const char* otherRole,
                                  const std::vector<std::uint8_t>& image, std::uint64_t minimumLength) {
    const std::string digest = sha256Hex(image);
    const auto is = [&](const BoundImage& bound) {
        return !digest.empty() && digest == bound.sha256 && image.size() == bound.length;
    };
    if (!is(own)) {
        if (is(other)) return Failure{ImageProblem::WrongRole, own.file, 0, 0, otherRole};
        if (image.size() < own.length) return Failure{ImageProblem::Truncated, own.file, image.size(), own.length};
        return Failure{ImageProblem::Damaged, own.file};
    }
    if (image.size() < minimumLength) return Failure{ImageProblem::Truncated, own.file, image.size(), minimumLength};
    using namespace image_format;
    const OptionalText revision = headerField(image, kRevisionOffset, kRevisionLength);
    if (Util::cmpCurVersion(revision, OptionalText{kTargetRevision}) != 0 || !revision)
        return Failure{ImageProblem::OtherRevision, own.file, 0, 0, revision.value_or("?")};
    return std::nullopt;
}

// The manifest is for people checking the files by hand: it must say what the program knows.
std::optional<Failure> checkManifest(const ImageBinding& binding) {
    Failure failure;
    const auto bytes = readResource(kImageManifestName, kMaxManifestLength, failure);
    if (!bytes) return failure;
    std::string error;
    const auto manifest =
        parseImageManifest(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), error);
    if (!manifest) return Failure{ImageProblem::ManifestMalformed, kImageManifestName, 0, 0, error};
    for (const BoundImage* bound : {&binding.kernel, &binding.normal}) {
        const auto entry = manifest->find(bound->file);
        if (entry == manifest->end()) return Failure{ImageProblem::NotInManifest, bound->file};
        if (entry->second != bound->sha256)
            return Failure{ImageProblem::ManifestDiffers, kImageManifestName, 0, 0, bound->file};
    }
    return std::nullopt;
}

std::optional<Failure> proveFiles(const ImageBinding& binding, ProvenImages& images) {
    // Large enough for either image, so one in the other's place is read and named.
    const std::uint64_t limit = std::min(kMaxNormalImageLength, std::max(binding.kernel.length, binding.normal.length));
    Failure failure;
    auto kernel = readResource(binding.kernel.file, limit, failure);
    if (!kernel) return failure;
    if (auto bad = checkImage(binding.kernel, binding.normal, "normal", *kernel, image_format::kKernelImageSentLength))
        return bad;
    auto normal = readResource(binding.normal.file, limit, failure);
    if (!normal) return failure;
    if (auto bad = checkImage(binding.normal, binding.kernel, "kernel", *normal, image_format::kHeaderLength))
        return bad;
    if (auto bad = checkManifest(binding)) return bad;
    images.kernel = std::move(*kernel);
    images.normal = std::move(*normal);
    return std::nullopt;
}

std::optional<Failure> prove(const ImageBinding& binding, const FirmFileData& normal, ProvenImages& images) {
    if (auto bad = proveFiles(binding, images)) return bad;
    // Eligibility was judged with the header read at start-up: a file swapped since then,
    // even a genuine one, must not be sent under that judgement.
    using namespace image_format;
    if (!normal.isFileExists() ||
        !textEquals(headerField(images.normal, kHardVersionOffset, kHardVersionLength), normal.hard_version()) ||
        !textEquals(headerField(images.normal, kDestVersionOffset, kDestVersionLength), normal.dest_version()) ||
        !textEquals(headerField(images.normal, kRevisionOffset, kRevisionLength), normal.revision()))
        return Failure{ImageProblem::ChangedSinceStart, binding.normal.file};
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
        case ImageProblem::Damaged:
            return "damaged or replaced (its SHA-256 differs from the one this program was built with)";
        case ImageProblem::OtherRevision:
            return "carries revision \"" + fault.detail + "\", not \"" + kTargetRevision + "\"";
        case ImageProblem::ManifestMalformed: return "malformed: " + fault.detail;
        case ImageProblem::WrongRole:
            return fault.detail == "kernel" ? "holds the kernel image, not the normal image"
                                            : "holds the normal image, not the kernel image";
        case ImageProblem::ManifestDiffers:
            return "lists another SHA-256 for " + fault.detail + " than this program was built with";
        case ImageProblem::ChangedSinceStart: return "changed since the program started";
        case ImageProblem::MissingAtStart: return "missing at start-up";
    }
    return {};
}

std::string imageFaultText(const ImageFault& fault) {
    if (fault.problem == ImageProblem::None) return {};
    return fault.file + ": " + imageProblemText(fault);
}

std::string_view imageProblemKey(ImageProblem problem) {
    switch (problem) {
        case ImageProblem::None: return "none";
        case ImageProblem::Missing: return "missing";
        case ImageProblem::NotRegularFile: return "not_regular_file";
        case ImageProblem::TooLarge: return "too_large";
        case ImageProblem::Unreadable: return "unreadable";
        case ImageProblem::NotInManifest: return "not_in_manifest";
        case ImageProblem::Truncated: return "truncated";
        case ImageProblem::Damaged: return "damaged";
        case ImageProblem::OtherRevision: return "other_revision";
        case ImageProblem::ManifestMalformed: return "manifest_malformed";
        case ImageProblem::WrongRole: return "wrong_role";
        case ImageProblem::ManifestDiffers: return "manifest_differs";
        case ImageProblem::ChangedSinceStart: return "changed_since_start";
        case ImageProblem::MissingAtStart: return "missing_at_start";
    }
    return "damaged";
}

std::string ImageProof::message() const { return proven() ? std::string() : imageFaultText(fault); }

ImageProof proveShippedImages(const ImageBinding& binding, const FirmFileData& normal) {
    ImageProof proof;
    ProvenImages images;
    if (std::optional<Failure> failure = prove(binding, normal, images)) {
        proof.fault = std::move(*failure);
        return proof;
    }
    proof.images = std::move(images);
    return proof;
}

ImageFault loadShippedImages(const ImageBinding& binding, FirmFileData& kernel, FirmFileData& normal) {
    ProvenImages images;
    if (std::optional<Failure> failure = proveFiles(binding, images)) return std::move(*failure);
    readImageHeader(images.kernel, kernel);
    readImageHeader(images.normal, normal);
    return {};
}
