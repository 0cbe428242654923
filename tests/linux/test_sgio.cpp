#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "platform/linux/SgIo.h"

using namespace platform;

namespace {

// The part of the range the task hands over: as many bytes as it asks to move.
scsi::Command commandWith(scsi::Direction direction, std::uint8_t* data, std::uint32_t length, std::uint64_t count) {
    const std::size_t handed = data ? static_cast<std::size_t>(std::min<std::uint64_t>(length, count)) : 0;
    return {.cdb = {0x12, 0, 0, 0, 56, 0}, .cdbLength = 6, .direction = direction, .data = {data, handed},
            .timeout = std::chrono::milliseconds(500000)};
}

sg_io_hdr_t completed(unsigned length, int resid, unsigned char status, unsigned short host = 0,
                      unsigned short driver = 0) {
    sg_io_hdr_t header{};
    header.dxfer_len = length;
    header.resid = resid;
    header.status = status;
    header.host_status = host;
    header.driver_status = driver;
    return header;
}

struct HeaderCase {
    const char* name;
    scsi::Direction direction;
    bool buffer;
    std::uint64_t count;
    int expectedDirection;
    unsigned expectedLength;
};

class SgIoHeader : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(SgIoHeader, MapsTheTaskAndNeverHandsTheKernelMoreThanTheRange) {
    const auto& c = GetParam();
    std::uint8_t buffer[64];
    std::uint8_t sense[sgio::kSenseBufferLength];
    sg_io_hdr_t header;
    const auto command = commandWith(c.direction, c.buffer ? buffer : nullptr, 64, c.count);  // cmdp points into it
    ASSERT_EQ(sgio::buildHeader(command, sense, header), scsi::TransportError::None);
    EXPECT_EQ(header.interface_id, 'S');
    EXPECT_EQ(header.cmd_len, 6);
    EXPECT_EQ(header.cmdp[0], 0x12);
    EXPECT_EQ(header.cmdp[4], 56);
    EXPECT_EQ(header.timeout, 500000u);
    EXPECT_EQ(header.mx_sb_len, sgio::kSenseBufferLength);
    EXPECT_EQ(header.sbp, sense);
    EXPECT_EQ(header.dxfer_direction, c.expectedDirection);
    EXPECT_EQ(header.dxfer_len, c.expectedLength);
    EXPECT_EQ(header.dxferp, c.expectedLength ? buffer : nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Tasks, SgIoHeader,
    ::testing::Values(HeaderCase{"NoData", scsi::Direction::None, true, 56, SG_DXFER_NONE, 0},
                      HeaderCase{"ToDevice", scsi::Direction::ToDevice, true, 56, SG_DXFER_TO_DEV, 56},
                      HeaderCase{"FromDevice", scsi::Direction::FromDevice, true, 56, SG_DXFER_FROM_DEV, 56},
                      HeaderCase{"CountBeyondRange", scsi::Direction::FromDevice, true, 4096,
                                 SG_DXFER_FROM_DEV, 64},
                      HeaderCase{"NullBuffer", scsi::Direction::FromDevice, false, 16, SG_DXFER_NONE, 0}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

TEST(SgIoHeaderCdb, RefusesLengthsTheKernelCannotTake) {
    std::uint8_t sense[sgio::kSenseBufferLength];
    sg_io_hdr_t header;
    auto command = commandWith(scsi::Direction::None, nullptr, 0, 0);
    for (std::uint8_t length : {0, 17}) {
        command.cdbLength = length;
        EXPECT_EQ(sgio::buildHeader(command, sense, header), scsi::TransportError::BadArgument) << int(length);
    }
}

struct StatusCase {
    const char* name;
    unsigned length;
    int resid;
    unsigned char status;
    unsigned short driver;
    scsi::Status expected;
    std::size_t transferred;
};

class SgIoStatus : public ::testing::TestWithParam<StatusCase> {};

TEST_P(SgIoStatus, IsTheTaskStatusWithLengthMinusResidual) {
    const auto& c = GetParam();
    const scsi::Result out = sgio::mapResult(0, 0, completed(c.length, c.resid, c.status, 0, c.driver));
    EXPECT_EQ(out.error, scsi::TransportError::None);
    EXPECT_EQ(out.status, c.expected);
    EXPECT_EQ(out.transferred, c.transferred);
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, SgIoStatus,
    ::testing::Values(StatusCase{"Good", 56, 20, 0x00, 0, scsi::Status::Good, 36},
                      StatusCase{"ResidualBeyondLengthClamped", 56, 80, 0x00, 0, scsi::Status::Good, 0},
                      StatusCase{"NegativeResidualClamped", 56, -8, 0x00, 0, scsi::Status::Good, 56},
                      StatusCase{"BusyPassesThrough", 0, 0, 0x08, 0, scsi::Status::Busy, 0},
                      StatusCase{"SenseReturnedWithAdvice", 56, 0, 0x02, 0x18, scsi::Status::CheckCondition, 0}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

struct FailureCase {
    const char* name;
    int ioctlResult, error;
    unsigned short host, driver;
    scsi::TransportError expected;
};

class SgIoFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(SgIoFailure, IsADeliveryFailureWithTheCodeOfItsLayer) {
    const auto& c = GetParam();
    const scsi::Result out = sgio::mapResult(c.ioctlResult, c.error, completed(56, 0, 0x00, c.host, c.driver));
    EXPECT_EQ(out.error, c.expected);
    EXPECT_EQ(out.statusWord(), 0xFFFFFFFFu);
    EXPECT_EQ(out.transferred, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Layers, SgIoFailure,
    ::testing::Values(FailureCase{"IoctlError", -1, ENOTTY, 0, 0, scsi::TransportError::IOError},
                      FailureCase{"IoctlDeviceDetached", -1, EIO, 0, 0, scsi::TransportError::NoDevice},
                      FailureCase{"IoctlNoSuchAddress", -1, ENXIO, 0, 0, scsi::TransportError::NoDevice},
                      FailureCase{"IoctlNoPermission", -1, EACCES, 0, 0, scsi::TransportError::NotPrivileged},
                      FailureCase{"IoctlDeviceGone", -1, ENODEV, 0, 0, scsi::TransportError::NoDevice},
                      FailureCase{"HostError", 0, 0, 0x07, 0, scsi::TransportError::Failed},
                      FailureCase{"HostTimeout", 0, 0, 0x03, 0, scsi::TransportError::Timeout},
                      FailureCase{"HostNoConnect", 0, 0, 0x01, 0, scsi::TransportError::NoDevice},
                      FailureCase{"DriverError", 0, 0, 0, 0x04, scsi::TransportError::NoResources},
                      FailureCase{"DriverErrorWithAdvice", 0, 0, 0, 0x24, scsi::TransportError::NoResources},
                      FailureCase{"DriverTimeout", 0, 0, 0, 0x06, scsi::TransportError::Timeout}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

}  // namespace
