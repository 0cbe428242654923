// INQUIRY, TEST UNIT READY and READ BUFFER against a drive whose every answer (status,
// sense, data, count) comes from the input, through the task chain as in the listing.
// The input is a run of answers, one per command in the order sent, each:
//   kind (bits 0-1: 0 GOOD, 1 CHECK CONDITION, 2 the status byte below, 3 not delivered;
//         bit 2: a realized count follows), status, 18 sense bytes, data length (2 bytes,
//   big-endian), [realized count, 8 bytes big-endian], data.
// Missing bytes read as zero, so once the input is used up every command gets GOOD.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "drive/STUCMethod.h"
#include "model/DeviceData.h"
#include "model/FirmFileData.h"
#include "platform/Log.h"
#include "platform/Registry.h"
#include "support/FakeBackend.h"

namespace {

using kdu::test::Answer;

constexpr std::size_t kLongestAnswer = 300;  // beyond the commands' 256-byte buffers

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint64_t number(int bytes) {
        std::uint64_t value = 0;
        while (bytes-- > 0) value = value << 8 | byte();
        return value;
    }
    std::vector<std::uint8_t> bytes(std::size_t count) {
        const std::size_t n = std::min(count, size_ - at_);
        std::vector<std::uint8_t> out(data_ + at_, data_ + at_ + n);
        at_ += n;
        return out;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

Answer answerFrom(Input& input) {
    Answer answer;
    const std::uint8_t kind = input.byte();
    const std::uint8_t status = input.byte();
    switch (kind & 3) {
        case 0: answer.status = platform::kSCSITaskStatus_GOOD; break;
        case 1: answer.status = platform::kSCSITaskStatus_CHECK_CONDITION; break;
        case 2: answer.status = status; break;
        default: answer.result = platform::kIOReturnIOError; break;
    }
    for (auto& byte : answer.sense) byte = input.byte();
    const auto length = static_cast<std::size_t>(input.number(2)) % (kLongestAnswer + 1);
    if (kind & 4) answer.realizedCount = input.number(8);
    answer.dataIn = input.bytes(length);
    return answer;
}

void imageRecord(FirmFileData& normal) {
    normal.setProduct("KESTORY BD-RW KVL-MT38 FW");
    normal.setRevision("1.21");
    normal.setHard_version("MT38HW01");
    normal.setKrnl_version("KRNL0101");
    normal.setDest_version("DEST0001");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    platform::setSyslogEnabled(false);
    platform::setLogSink([](platform::LogLevel, const std::string&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input input(data, size);
    auto backend = std::make_shared<kdu::test::FakeBackend>();
    auto drive = backend->addDrive("drive0");
    for (std::uint8_t opcode : {0x12, 0x00, 0x3C})
        drive->setResponder(opcode, [&input](const kdu::test::RecordedCommand&) { return answerFrom(input); });
    platform::installBackend(backend);

    const platform::io_service_t service = platform::registry::retainService(drive);
    platform::IOCFPlugInInterface* plugIn = nullptr;
    platform::SCSITaskDeviceInterface* taskDevice = nullptr;
    platform::MMCDeviceInterface* mmc = nullptr;
    CreateDeviceInterfaceForAuthoringDevice(service, &plugIn, &taskDevice, &mmc);
    if (taskDevice != nullptr) {
        FirmFileData normal;
        imageRecord(normal);
        if (std::optional<DeviceData> listed = GetDeviceInfo(taskDevice, normal))
            (void)IsEligibleForUpdate(*listed, normal);

        DeviceData record;
        bool discPresent = false;
        std::uint32_t progress = 0;
        CommandInquiry(taskDevice, &record);
        CommandTestUnitReady(taskDevice, &record, &discPresent, &progress);
        CommandReadBufferForDevice(taskDevice, &record);
        (void)IsEligibleForUpdate(record, normal);
        taskDevice->Release();
    }
    if (mmc != nullptr) mmc->Release();
    if (plugIn != nullptr) platform::IODestroyPlugInInterface(plugIn);
    platform::IOObjectRelease(service);
    platform::installBackend(nullptr);
    return 0;
}
