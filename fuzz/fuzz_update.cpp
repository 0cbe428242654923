// The whole update sequence against a drive whose every answer comes from the input (see
// DriveAnswers.h): mode changes refused or not, pieces failing, the install reporting
// any progress, the final INQUIRY saying anything. The first four bytes choose the images:
//   flags (bit 0: kernel image, bit 1: normal image, bit 2: drive already in kernel mode,
//          bit 3: kernel image one byte short), normal image length (3 bytes, big-endian).
#include <stdlib.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "DriveAnswers.h"
#include "ScratchFolder.h"
#include "drive/STUCMethod.h"
#include "model/DeviceData.h"
#include "model/FirmFileData.h"
#include "model/FirmwareImageFormat.h"
#include "model/FirmwareImages.h"
#include "model/Util.h"

namespace {

constexpr std::uint64_t kLongestNormalImage = 3 * 32768 + 300;  // a short last piece, kept quick

const std::filesystem::path& resourceFolder() { return kdu::fuzz::scratchFolder("update"); }

// The file at the given length (its bytes do not matter to the sequence), or no file.
void placeImage(const char* baseName, bool present, std::uint64_t length) {
    const std::filesystem::path path = resourceFolder() / firmwareFileName(baseName);
    std::error_code ignored;
    if (!present) {
        std::filesystem::remove(path, ignored);
        return;
    }
    if (!std::filesystem::exists(path)) std::ofstream(path, std::ios::binary);
    std::filesystem::resize_file(path, length, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kdu::fuzz::silenceLog();
    Util::setResourceDirectoryOverride(resourceFolder().string());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kdu::fuzz::Input input(data, size);
    const std::uint8_t flags = input.byte();
    const std::uint64_t normalLength = input.number(3) % (kLongestNormalImage + 1);

    FirmFileData kernel, normal;
    kernel.setIsFileExists(flags & 1);
    normal.setIsFileExists(flags & 2);
    placeImage(kKernelImageBaseName, flags & 1, image_format::kKernelImageSentLength - ((flags & 8) ? 1 : 0));
    placeImage(kNormalImageBaseName, flags & 2, normalLength);

    kdu::fuzz::AnsweringDrive drive(input);
    {
        DeviceData record;
        record.setScsiDevice(drive.service());
        record.setDriveMode((flags & 4) ? 1 : 0);
        record.setRevision("1.20");
        // Polls back to back for at most a millisecond: the input ends long before.
        const UpdateTiming timing{std::chrono::milliseconds(0), std::chrono::milliseconds(1)};
        (void)ExecUpdateMain(record, normal, kernel, timing);
    }
    return 0;
}
