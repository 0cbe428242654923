// A firmware image file of any content: its seal read and checked, and its header read
// as the program reads the shipped images, from a resource folder of its own.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "ScratchFolder.h"
#include "model/FirmFileData.h"
#include "model/FirmwareImageFormat.h"
#include "model/FirmwareImages.h"
#include "model/Utf8.h"
#include "model/Util.h"

namespace {

std::string resourceFolder() { return kdu::fuzz::scratchFolder("images").string(); }

void write(const std::string& name, const std::uint8_t* data, std::size_t size) {
    std::ofstream(resourceFolder() + "/" + name, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// A header field is text of at most its width, and UTF-8.
void checkField(const OptionalText& field, std::size_t width) {
    if (field && (field->size() > width || !isValidUtf8(*field))) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Util::setResourceDirectoryOverride(resourceFolder());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace image_format;
    std::vector<std::uint8_t> image(data, data + size);
    const std::span<const std::uint8_t> bytes(image);
    if (const auto seal = readSeal(bytes); seal && seal->coveredLength < kSealedRegionStart) __builtin_trap();
    (void)verifySeal(bytes);
    if (image.size() >= kSealedRegionStart) {
        sealImage(image, static_cast<std::uint32_t>(image.size()));
        if (!verifySeal(image)) __builtin_trap();  // what we seal, we accept
    }

    write(firmwareFileName(kKernelImageBaseName), data, size);
    write(firmwareFileName(kNormalImageBaseName), data, size);
    FirmFileData kernel, normal;
    getFwFileInfo(kernel, normal);
    for (const FirmFileData* record : {&kernel, &normal}) {
        if (!record->isFileExists()) __builtin_trap();
        checkField(record->product(), kProductLength);
        checkField(record->revision(), kRevisionLength);
        checkField(record->date(), kDateLength);
        checkField(record->hard_version(), kHardVersionLength);
        checkField(record->krnl_version(), kKernelVersionLength);
        checkField(record->dest_version(), kDestVersionLength);
    }
    return 0;
}
