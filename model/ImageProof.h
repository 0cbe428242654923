// Proof that the firmware images about to be sent are exactly the ones shipped: each role's
// file equal to what the program was built with (ImageBinding), of a length the drive can
// take, listed so in the SHA-256 manifest, and carrying the header fields read at start-up
// and the revision the update checks for at its end.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/FirmFileData.h"
#include "model/ImageBinding.h"

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
    Damaged,            // its SHA-256 differs from the one the program was built with
    OtherRevision,      // detail: the revision it carries
    ManifestMalformed,  // detail: the parser's words
    WrongRole,          // detail: the role whose image it holds, "kernel" or "normal"
    ManifestDiffers,    // detail: the image file the manifest lists with another SHA-256
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
// "R7360501.121: truncated (...)": the file and what is wrong with it; empty for none.
std::string imageFaultText(const ImageFault& fault);
// "truncated", "swapped"...: stable words for scripts.
std::string_view imageProblemKey(ImageProblem problem);

struct ImageProof {
    std::optional<ProvenImages> images;  // set only when both images are proven
    ImageFault fault;                    // why not, when not

    bool proven() const { return images.has_value(); }
    // "R7360501.121: <problem>", or empty when proven.
    std::string message() const;
};

// Reads both images whole and proves them against `binding`, the manifest and `normal`, the
// header record the eligibility was judged with. The bytes in the result are the ones to send.
ImageProof proveShippedImages(const ImageBinding& binding, const FirmFileData& normal);

// The start-up reading: proves both images against `binding` and the manifest and, only when
// they are proven, fills the two header records from the proven bytes. Otherwise both records
// stay as they were (empty at start-up) and the fault says which file and what is wrong, so
// that an unproven image never shows, nor judges a drive by, bytes nobody vouched for.
ImageFault loadShippedImages(const ImageBinding& binding, FirmFileData& kernel, FirmFileData& normal);
