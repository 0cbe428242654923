// The whole update sequence against a drive whose answers come from the input (see
// DriveAnswers.h), with genuine shipped images, so that every path past the image checks
// is reached: mode changes refused or not, pieces failing, the install reporting any
// progress, the final INQUIRY saying anything. The first byte:
//   bit 0: the drive is in its update mode when listed;
//   bit 1: every answer comes from the input, the listing's and the second look's too
//          (mostly refused there); without it the drive identifies itself as the target
//          until the first WRITE BUFFER, and from then on the input answers.
#include <stdio.h>
#include <stdlib.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "DriveAnswers.h"
#include "ScratchFolder.h"
#include "drive/DriveList.h"
#include "drive/STUCMethod.h"
#include "model/DeviceData.h"
#include "model/FirmFileData.h"
#include "model/FirmwareImageFormat.h"
#include "model/FirmwareImages.h"
#include "model/Util.h"
#include "support/ImageBindingSubstitute.h"
#include "tools/ImageMaker.h"

namespace {

constexpr std::uint8_t kTestUnitReady = 0x00, kInquiry = 0x12, kWriteBuffer = 0x3B, kReadBuffer = 0x3C;
// Three whole pieces and a short one, kept quick.
constexpr std::size_t kNormalImageLength = 3 * 32768 + 256;

FirmFileData kernelRecord, normalRecord;
kdu::test::ImageBindingSubstitute binding;

// Bound to their roles by the generator that binds the shipped ones.
void writeShippedImages() {
    const std::filesystem::path folder = kdu::fuzz::scratchFolder("update");
    Util::setResourceDirectoryOverride(folder.string());
    if (image_maker::writeShippedImages(folder, kNormalImageLength)) abort();
    binding.bindImagesIn(folder);
    getFwFileInfo(kernelRecord, normalRecord);
}

// The target drive's identification, as long as nothing has been written to it.
class GenuineIdentity {
public:
    explicit GenuineIdentity(bool updateMode) : updateMode_(updateMode) {}
    std::optional<kdu::test::Answer> operator()(const kdu::test::RecordedCommand& command) {
        if (command.opcode() == kWriteBuffer) written_ = true;
        if (written_) return std::nullopt;
        switch (command.opcode()) {
        case kInquiry:
            return kdu::test::Answer{.dataIn = kdu::test::inquiryData("KESTORY", "BD-RW KVL-MT38",
                                                                     updateMode_ ? "0000" : "1.20", "20240501")};
        case kTestUnitReady: return kdu::test::Answer{};
        case kReadBuffer:
            return kdu::test::Answer{.dataIn = kdu::test::readBufferData("MT38HW01", "KRNL0101", "DEST0001", "KJ01")};
        default: return std::nullopt;
        }
    }

private:
    bool updateMode_;
    bool written_ = false;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kdu::fuzz::silenceLog();
    // No sleep inhibitor from the system's bus on every run.
    setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent", 1);
    writeShippedImages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kdu::fuzz::Input input(data, size);
    const std::uint8_t flags = input.byte();
    const bool updateMode = flags & 1;
    kdu::fuzz::AnsweringDrive::OwnAnswer own;
    if (!(flags & 2)) own = GenuineIdentity(updateMode);

    kdu::fuzz::AnsweringDrive drive(input, own);
    std::vector<DeviceData> listed;
    ListTargetDrives(listed, normalRecord);
    DeviceData record;
    if (!listed.empty()) {
        record = listed.front();
    } else {
        record.setIdentity(drive.node().identity());
        record.setRevision(updateMode ? "0000" : "1.20");
    }
    // Polls back to back for at most a millisecond: the input ends long before.
    const UpdateTiming timing{std::chrono::milliseconds(0), std::chrono::milliseconds(1)};
    UpdateReport report;
    ExecUpdateMain(record, normalRecord, kernelRecord, timing, {}, &report);
    // To see where a seed leads: KDU_FUZZ_SHOW=1 build/fuzz/bin/fuzz_update <seed>
    if (getenv("KDU_FUZZ_SHOW") != nullptr) fprintf(stderr, "%s\n", report.message().c_str());
    return 0;
}
