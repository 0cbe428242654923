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

struct ImageProof {
    std::optional<ProvenImages> images;  // set only when both images are proven
    std::string file;                    // the file at fault
    std::string problem;                 // what is wrong with it

    bool proven() const { return images.has_value(); }
    // "R7360501.121: <problem>", or empty when proven.
    std::string message() const;
};

// Reads both images whole and proves them against the manifest and `normal`, the header
// record the eligibility was judged with. The bytes in the result are the ones to send.
ImageProof proveShippedImages(const FirmFileData& normal);
