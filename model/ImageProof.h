// Proof that the firmware images about to be sent are exactly the ones shipped: present,
// of a length the drive can take, equal to the build's SHA-256 manifest, and carrying the
// header fields read at start-up and the revision the update checks for at its end.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/FirmFileData.h"

struct ProvenImages {
    std::vector<std::uint8_t> kernel;
    std::vector<std::uint8_t> normal;
};

enum class ImageProblem {
    None,
    Missing,
    NotRegularFile,
    TooLarge,           // size, limit: bytes and the most allowed
    Unreadable,
    NotInManifest,
    Truncated,          // size, limit: bytes and the least needed
    Damaged,            // its SHA-256 differs from the manifest
    OtherRevision,      // detail: the revision it carries
    ManifestMalformed,  // detail: the parser's words
    ChangedSinceStart,
    MissingAtStart,     // absent when the program started, so never judged
};

// What is wrong with which file, as words and numbers that any front end can phrase.
struct ImageFault {
    ImageFault() = default;
    ImageFault(ImageProblem problem, std::string file, std::uint64_t size = 0, std::uint64_t limit = 0,
               std::string detail = {})
        : problem(problem), file(std::move(file)), size(size), limit(limit), detail(std::move(detail)) {}

    ImageProblem problem = ImageProblem::None;
    std::string file;
    std::uint64_t size = 0, limit = 0;
    std::string detail;
};

// "missing", "truncated (12 bytes, at least 4096 needed)"...
std::string imageProblemText(const ImageFault& fault);

struct ImageProof {
    std::optional<ProvenImages> images;  // set only when both images are proven
    ImageFault fault;                    // why not, when not

    bool proven() const { return images.has_value(); }
    // "R7360501.121: <problem>", or empty when proven.
    std::string message() const;
};

// Reads both images whole and proves them against the manifest and `normal`, the header
// record the eligibility was judged with. The bytes in the result are the ones to send.
ImageProof proveShippedImages(const FirmFileData& normal);
