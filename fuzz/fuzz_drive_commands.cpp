// INQUIRY, TEST UNIT READY and READ BUFFER against a drive whose every answer (status,
// sense, data, count) comes from the input (see DriveAnswers.h), opened as in the listing:
// the listing's judgement first, then each command on its own.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "DriveAnswers.h"
#include "drive/STUCMethod.h"
#include "model/Eligibility.h"
#include "model/DeviceData.h"
#include "model/FirmFileData.h"

namespace {

void imageRecord(FirmFileData& normal) {
    normal.setProduct("KESTORY BD-RW KVL-MT38 FW");
    normal.setRevision("1.21");
    normal.setHard_version("MT38HW01");
    normal.setKrnl_version("KRNL0101");
    normal.setDest_version("DEST0001");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kdu::fuzz::silenceLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kdu::fuzz::Input input(data, size);
    kdu::fuzz::AnsweringDrive drive(input);
    FirmFileData normal;
    imageRecord(normal);
    // The images' proof reads files, not drive answers: taken as passed.
    if (std::optional<DeviceData> listed = GetDeviceInfo(drive.node(), normal, true))
        (void)judgeEligibility(*listed, normal, true);

    platform::Opened opened = CreateDeviceInterfaceForAuthoringDevice(drive.node());
    if (opened.channel) {
        DeviceData record;
        CommandInquiry(*opened.channel, &record);
        (void)CommandTestUnitReady(*opened.channel, &record).discPresent();
        CommandReadBufferForDevice(*opened.channel, &record);
        (void)judgeEligibility(record, normal, true);
    }
    return 0;
}
