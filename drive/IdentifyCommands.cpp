// INQUIRY, TEST UNIT READY and READ BUFFER: who the drive is and what state it is in.
#include <array>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>

#include "log/Console.h"
#include "drive/CommandFrame.h"
#include "drive/STUCMethod.h"
#include "model/Util.h"

namespace {

constexpr std::size_t kDataInSize = 256;

constexpr std::uint8_t kSenseKeyNotReady = 0x2;
constexpr std::uint8_t kSenseKeyUnitAttention = 0x6;
constexpr std::uint8_t kAscNotReady = 0x04;
constexpr std::uint8_t kAscqBecomingReady = 0x01;
constexpr std::uint8_t kAscqInstallingFirmware = 0x12;
constexpr std::uint8_t kAscMediumNotPresent = 0x3A;

// What "%.Ns" makes of the bytes at `offset`: up to the first zero, at most `width`.
std::string fieldText(const std::uint8_t* buffer, std::size_t offset, std::size_t width) {
    const char* start = reinterpret_cast<const char*>(buffer + offset);
    return std::string(start, strnlen(start, width));
}

// The progress value sits in the sense-key-specific bytes, low byte first as this drive sends it.
std::uint16_t progressOf(const scsi::Sense& sense) {
    return static_cast<std::uint16_t>(sense[16] | sense[17] << 8);
}

UnitState stateOf(const scsi::Sense& sense) {
    const std::uint8_t key = sense[2] & 0x0F;
    if (key == kSenseKeyUnitAttention) return UnitState::Restarting;
    if (key == kSenseKeyNotReady && sense[12] == kAscNotReady && sense[13] == kAscqInstallingFirmware)
        return UnitState::Installing;
    if (key == kSenseKeyNotReady && sense[12] == kAscNotReady && sense[13] == kAscqBecomingReady)
        return UnitState::Busy;
    if (key == kSenseKeyNotReady && sense[12] == kAscMediumNotPresent) return UnitState::NoDisc;
    return UnitState::OtherSense;
}

}  // namespace

scsi::Result CommandInquiry(platform::TaskChannel& channel, DeviceData* record) {
    std::array<std::uint8_t, kDataInSize> data{};
    drive::CommandRequest request;
    request.function = "CommandInquiry";
    request.cdb = {0x12, 0x00, 0x00, 0x00, 0x38, 0x00};
    request.cdbLength = 6;
    request.data = data;
    request.direction = scsi::Direction::FromDevice;
    request.requestLine = "Requesting Inquiry data\n";

    const scsi::Result result = drive::runCommand(channel, request);
    if (result.good()) {
        if (record == nullptr) return result;
        record->setVendor(fieldText(data.data(), 8, 8));
        record->setProduct(fieldText(data.data(), 16, 16));
        record->setRevision(fieldText(data.data(), 32, 4));
        record->setDate(fieldText(data.data(), 36, 9));
    } else if (result.checkCondition()) {
        PrintSenseString(&result.sense, false);
    } else {
        kdulog::consoleErr("taskStatus = 0x%08x\n", result.statusWord());
    }
    return result;
}

UnitReadiness CommandTestUnitReady(platform::TaskChannel& channel, DeviceData* record) {
    drive::CommandRequest request;
    request.function = "CommandTestUnitReady";
    request.cdb = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    request.cdbLength = 6;
    request.requestLine = "Requesting TEST UNIT READY data\n";

    const scsi::Result result = drive::runCommand(channel, request);
    UnitReadiness readiness{.result = result};
    if (result.checkCondition()) {
        PrintSenseString(&result.sense, false);
        readiness.state = stateOf(result.sense);
        if (readiness.state == UnitState::Installing) readiness.progress = progressOf(result.sense);
    } else if (result.good()) {
        readiness.state = UnitState::Ready;
    } else {
        kdulog::consoleErr("taskStatus = 0x%08x\n", result.statusWord());
        if (!result.delivered())
            readiness.state = result.error == scsi::TransportError::NoDevice ? UnitState::Gone : UnitState::NotDelivered;
        else if (result.status == scsi::Status::Busy || result.status == scsi::Status::TaskSetFull)
            readiness.state = UnitState::Busy;
    }

    if (record != nullptr) {
        record->setIsPresenceDisc(readiness.discPresent());
        record->setInstallProgress(readiness.state == UnitState::Installing ? std::optional(readiness.progress)
                                                                            : std::nullopt);
    }
    return readiness;
}

scsi::Result CommandReadBufferForDevice(platform::TaskChannel& channel, DeviceData* record) {
    std::array<std::uint8_t, kDataInSize> data{};
    drive::CommandRequest request;
    request.function = "CommandReadBufferForDevice";
    // READ BUFFER(10), data mode, buffer 0xF1, offset 0, allocation length 48; handed over as 12 bytes.
    request.cdb = {0x3C, 0x02, 0xF1, 0x00, 0x00, 0x00, 0x00, 0x00, 0x30, 0x00, 0x00, 0x00};
    request.cdbLength = 12;
    request.data = data;
    request.direction = scsi::Direction::FromDevice;
    request.requestLine = "Requesting read buffer\n";

    const scsi::Result result = drive::runCommand(channel, request);
    drive::printStatusAndCount(result);
    if (result.good() && record != nullptr) {
        record->setHard_version(Util::convertToString(data.data(), 16, 8));
        record->setKrnl_version(Util::convertToString(data.data(), 24, 8));
        record->setDest_version(Util::convertToString(data.data(), 32, 8));
        record->setJudgeKrnl(Util::convertToString(data.data(), 40, 4));
    }
    if (result.checkCondition()) PrintSenseString(&result.sense, false);
    return result;
}
