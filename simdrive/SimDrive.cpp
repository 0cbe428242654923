#include "simdrive/SimDrive.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <span>

#include "model/FirmwareImageFormat.h"

namespace sim {

namespace {

constexpr std::uint8_t kOpTestUnitReady = 0x00;
constexpr std::uint8_t kOpInquiry = 0x12;
constexpr std::uint8_t kOpWriteBuffer = 0x3B;
constexpr std::uint8_t kOpReadBuffer = 0x3C;
constexpr std::uint8_t kModeDownloadAndSave = 0x05;
constexpr std::uint8_t kModeData = 0x02;
constexpr std::uint8_t kBufferModeChange = 0xFF;
constexpr std::uint8_t kBufferKernelImage = 0xFE;
constexpr std::uint8_t kBufferNormalImage = 0xF0;
constexpr std::uint8_t kBufferVersions = 0xF1;

constexpr std::size_t kInquiryLength = 96;
constexpr std::size_t kVersionsLength = 48;
constexpr std::size_t kModeChangeLength = 256;

constexpr SenseCodes kInvalidOpcode{0x05, 0x20, 0x00};
constexpr SenseCodes kInvalidFieldInCdb{0x05, 0x24, 0x00};
constexpr SenseCodes kInvalidFieldInParameters{0x05, 0x26, 0x00};
constexpr SenseCodes kParameterLengthError{0x05, 0x1A, 0x00};
constexpr SenseCodes kCommandSequenceError{0x05, 0x2C, 0x00};
constexpr SenseCodes kNoMedium{0x02, 0x3A, 0x00};
constexpr SenseCodes kInstalling{0x02, 0x04, 0x12};
constexpr SenseCodes kModeChangeRefused = kInternalTargetFailure;

std::uint32_t be24(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
}

void checkCondition(scsi::Result& out, SenseCodes codes) {
    out.status = scsi::Status::CheckCondition;
    out.sense = makeSense(codes);
    out.transferred = 0;
}

void putText(std::uint8_t* dest, std::size_t width, const std::string& text, char pad) {
    std::memset(dest, pad, width);
    std::memcpy(dest, text.data(), std::min(width, text.size()));
}

// Copies a data-in answer, honouring the allocation length and the initiator's buffer.
void dataIn(const scsi::Command& command, std::uint32_t allocationLength, std::span<const std::uint8_t> answer,
            scsi::Result& out) {
    out.status = scsi::Status::Good;
    if (command.direction != scsi::Direction::FromDevice || command.data.empty()) {
        out.transferred = 0;
        return;
    }
    const std::size_t n = std::min<std::size_t>({answer.size(), allocationLength, command.data.size()});
    std::memcpy(command.data.data(), answer.data(), n);
    out.transferred = n;
}

// True when the initiator really supplies `length` bytes of data-out.
bool suppliesDataOut(const scsi::Command& command, std::uint32_t length) {
    if (length == 0) return true;
    return command.direction == scsi::Direction::ToDevice && command.data.size() >= length;
}

// A header text field: its bytes up to the first zero.
std::string headerField(const std::vector<std::uint8_t>& image, std::size_t offset, std::size_t length) {
    if (image.size() < offset + length) return {};
    const char* begin = reinterpret_cast<const char*>(image.data() + offset);
    return std::string(begin, strnlen(begin, length));
}

// Time since the install began, saturated: the start comes from a file anyone may edit.
std::int64_t elapsedMs(const InstallState& install, std::int64_t nowMs) {
    std::int64_t elapsed = 0;
    if (__builtin_sub_overflow(nowMs, install.startedAtMs, &elapsed))
        return nowMs < install.startedAtMs ? std::numeric_limits<std::int64_t>::min()
                                           : std::numeric_limits<std::int64_t>::max();
    return elapsed;
}

}  // namespace

std::string commandName(const std::uint8_t* cdb) {
    switch (cdb[0]) {
    case kOpTestUnitReady: return "TEST UNIT READY";
    case kOpInquiry: return "INQUIRY";
    case kOpReadBuffer: return "READ BUFFER";
    case kOpWriteBuffer: return cdb[2] == kBufferModeChange ? "CHANGE DRIVE MODE" : "WRITE BUFFER";
    default: {
        char name[16];
        std::snprintf(name, sizeof name, "OPCODE 0x%02X", cdb[0]);
        return name;
    }
    }
}

scsi::Sense makeSense(SenseCodes codes) {
    scsi::Sense sense{};
    sense[0] = 0x70;
    sense[2] = codes.key & 0x0F;
    sense[7] = 10;
    sense[12] = codes.asc;
    sense[13] = codes.ascq;
    return sense;
}

std::vector<std::uint8_t> modeChangeParameterData() {
    std::vector<std::uint8_t> data(kModeChangeLength, 0);
    std::memcpy(data.data(), "KESTORY ", 8);
    std::memcpy(data.data() + 8, "KVL-MT38", 8);
    const std::uint8_t accessCode[4] = {0x5D, 0x27, 0xB4, 0xE6};
    std::memcpy(data.data() + 16, accessCode, 4);
    return data;
}

bool SimDrive::settle(DriveSpec& profile, std::int64_t nowMs) {
    if (!profile.install || profile.faults.installNeverEnds) return false;
    const InstallState& install = *profile.install;
    if (elapsedMs(install, nowMs) < static_cast<std::int64_t>(install.durationMs)) return false;
    if (profile.faults.installRevision) {
        profile.revision = *profile.faults.installRevision;
    } else if (install.resultRevision) {
        profile.revision = *install.resultRevision;
    }
    // The drive runs the installed firmware, and reports its date with its revision.
    if (install.resultRevision && install.resultDate) profile.date = *install.resultDate;
    profile.install.reset();
    profile.mode = DriveMode::Normal;
    return true;
}

std::uint16_t SimDrive::installProgress(const InstallState& install, std::int64_t nowMs) {
    if (install.durationMs == 0) return 0;
    const std::int64_t duration = install.durationMs;
    const std::int64_t remaining = duration - std::clamp<std::int64_t>(elapsedMs(install, nowMs), 0, duration);
    return static_cast<std::uint16_t>(0xFFFF * remaining / duration);
}

void SimDrive::reset() {
    kernel_ = {};
    normal_ = {};
}

bool SimDrive::answer(DriveSpec& profile, const scsi::Command& command, scsi::Result& out, std::int64_t nowMs) {
    out = scsi::Result{};
    bool changed = settle(profile, nowMs);
    const std::uint8_t* cdb = command.cdb.data();
    const bool installing = profile.install.has_value();

    if (cdb[0] == kOpInquiry) {
        inquiry(profile, command, out);
    } else if (cdb[0] == kOpTestUnitReady) {
        testUnitReady(profile, out, nowMs);
    } else if (cdb[0] == kOpReadBuffer || cdb[0] == kOpWriteBuffer) {
        if (installing) {
            checkCondition(out, kInstalling);
        } else if (cdb[0] == kOpReadBuffer) {
            readBuffer(profile, command, out);
        } else if ((cdb[1] & 0x1F) != kModeDownloadAndSave) {
            checkCondition(out, kInvalidFieldInCdb);
        } else if (cdb[2] == kBufferModeChange) {
            changed = changeDriveMode(profile, command, out, nowMs) || changed;
        } else {
            writeBuffer(profile, command, out);
        }
    } else {
        checkCondition(out, kInvalidOpcode);
    }
    return changed;
}

void SimDrive::inquiry(const DriveSpec& profile, const scsi::Command& command, scsi::Result& out) const {
    if (command.cdb[1] & 0x01) {  // vital product data: this drive has none
        checkCondition(out, kInvalidFieldInCdb);
        return;
    }
    std::uint8_t data[kInquiryLength] = {};
    data[0] = 0x05;  // peripheral device type: CD/DVD/BD
    data[1] = 0x80;  // removable medium
    data[2] = 0x05;  // version
    data[3] = 0x02;  // response data format
    data[4] = kInquiryLength - 5;
    putText(data + 8, 8, profile.vendor, ' ');
    putText(data + 16, 16, profile.product, ' ');
    putText(data + 32, 4, profile.mode == DriveMode::Kernel ? std::string(kKernelModeRevision) : profile.revision, ' ');
    putText(data + 36, 9, profile.date, '\0');
    const std::uint32_t allocationLength = (std::uint32_t{command.cdb[3]} << 8) | command.cdb[4];
    dataIn(command, allocationLength, data, out);
}

void SimDrive::testUnitReady(const DriveSpec& profile, scsi::Result& out, std::int64_t nowMs) const {
    if (profile.install) {
        checkCondition(out, kInstalling);
        const std::uint16_t progress = installProgress(*profile.install, nowMs);
        out.sense[15] = 0x80;  // sense-key specific bytes valid
        out.sense[16] = static_cast<std::uint8_t>(progress & 0xFF);  // low byte first, as this drive reports it
        out.sense[17] = static_cast<std::uint8_t>(progress >> 8);
    } else if (!profile.disc) {
        checkCondition(out, kNoMedium);
    } else {
        out.status = scsi::Status::Good;
    }
}

void SimDrive::readBuffer(const DriveSpec& profile, const scsi::Command& command, scsi::Result& out) const {
    const std::uint8_t* cdb = command.cdb.data();
    const std::uint32_t offset = be24(cdb + 3);
    if ((cdb[1] & 0x1F) != kModeData || cdb[2] != kBufferVersions || offset > kVersionsLength) {
        checkCondition(out, kInvalidFieldInCdb);
        return;
    }
    std::uint8_t data[kVersionsLength] = {};
    std::memcpy(data, "KVL-MT38", 8);
    putText(data + 16, 8, profile.hard_version, '\0');
    putText(data + 24, 8, profile.krnl_version, '\0');
    putText(data + 32, 8, profile.dest_version, '\0');
    putText(data + 40, 4, profile.judgeKrnl, '\0');
    dataIn(command, be24(cdb + 6), std::span<const std::uint8_t>(data).subspan(offset), out);
}

bool SimDrive::changeDriveMode(DriveSpec& profile, const scsi::Command& command, scsi::Result& out, std::int64_t nowMs) {
    const std::uint8_t* cdb = command.cdb.data();
    if (be24(cdb + 3) != 0 || be24(cdb + 6) != kModeChangeLength) {
        checkCondition(out, kInvalidFieldInCdb);
        return false;
    }
    static const std::vector<std::uint8_t> expected = modeChangeParameterData();
    if (!suppliesDataOut(command, kModeChangeLength) ||
        std::memcmp(command.data.data(), expected.data(), kModeChangeLength) != 0) {
        checkCondition(out, kInvalidFieldInParameters);
        return false;
    }
    const bool toKernel = profile.mode == DriveMode::Normal;
    if ((toKernel && profile.faults.modeChangeToKernel) || (!toKernel && profile.faults.modeChangeToNormal)) {
        checkCondition(out, kModeChangeRefused);
        return false;
    }
    out.status = scsi::Status::Good;
    out.transferred = kModeChangeLength;
    if (toKernel) {
        reset();
        profile.mode = DriveMode::Kernel;
        return true;
    }
    profile.mode = DriveMode::Normal;
    if (kernel_.received || normal_.received) {
        profile.install = judgeImages(profile, nowMs);
        reset();
    }
    return true;
}

void SimDrive::writeBuffer(const DriveSpec& profile, const scsi::Command& command, scsi::Result& out) {
    const std::uint8_t* cdb = command.cdb.data();
    if (cdb[2] != kBufferKernelImage && cdb[2] != kBufferNormalImage) {
        checkCondition(out, kInvalidFieldInCdb);
        return;
    }
    if (profile.mode != DriveMode::Kernel) {
        checkCondition(out, kCommandSequenceError);
        return;
    }
    const std::uint32_t offset = be24(cdb + 3);
    const std::uint32_t length = be24(cdb + 6);
    if (!suppliesDataOut(command, length)) {
        checkCondition(out, kParameterLengthError);
        return;
    }
    if (std::size_t{offset} + length > kMaxImageLength) {
        checkCondition(out, kInvalidFieldInCdb);
        return;
    }
    Image& image = cdb[2] == kBufferKernelImage ? kernel_ : normal_;
    if (image.bytes.size() < std::size_t{offset} + length) image.bytes.resize(std::size_t{offset} + length, 0);
    if (length > 0) std::memcpy(image.bytes.data() + offset, command.data.data(), length);
    image.receivedPiece(offset, length);
    image.received = true;
    out.status = scsi::Status::Good;
    out.transferred = length;
}

void SimDrive::Image::receivedPiece(std::size_t offset, std::size_t length) {
    if (!summing) return;
    const std::size_t end = offset + length;
    if (std::max(offset, image_format::kSealedRegionStart) < std::min(end, summedEnd)) {
        summing = false;  // bytes already summed were written again
        return;
    }
    const std::optional<image_format::Seal> seal = image_format::readSeal(bytes);
    if (!seal) {
        summing = false;
        return;
    }
    if (offset > summedEnd) return;  // a gap: the end check reads the whole image
    const std::size_t to = std::min<std::size_t>(end, seal->coveredLength);
    if (to <= summedEnd) return;
    crc = image_format::crc32(std::span(bytes).subspan(summedEnd, to - summedEnd), crc);
    summedEnd = to;
}

bool SimDrive::Image::sealHolds() const {
    const std::optional<image_format::Seal> seal = image_format::readSeal(bytes);
    if (summing && seal && summedEnd == seal->coveredLength && seal->coveredLength <= bytes.size())
        return crc == seal->crc;
    return image_format::verifySeal(bytes);
}

InstallState SimDrive::judgeImages(const DriveSpec& profile, std::int64_t nowMs) const {
    InstallState install{nowMs, profile.timing.installMs, std::nullopt, std::nullopt};
    if (!normal_.received || !normal_.sealHolds()) return install;
    if (kernel_.received && !kernel_.sealHolds()) return install;
    const std::string product =
        headerField(normal_.bytes, image_format::kProductOffset, image_format::kProductLength);
    if (product.find(kTargetProduct) == std::string::npos) return install;
    const std::string hardware =
        headerField(normal_.bytes, image_format::kHardVersionOffset, image_format::kHardVersionLength);
    if (hardware != profile.hard_version) return install;
    std::string revision = headerField(normal_.bytes, image_format::kRevisionOffset, image_format::kRevisionLength);
    while (!revision.empty() && revision.back() == ' ') revision.pop_back();
    if (revision.empty()) return install;
    install.resultRevision = revision.substr(0, 4);
    install.resultDate = headerField(normal_.bytes, image_format::kDateOffset, image_format::kDateLength);
    return install;
}

}  // namespace sim
