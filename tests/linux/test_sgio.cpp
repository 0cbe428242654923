#include <gtest/gtest.h>

#include <cerrno>
#include <tuple>

#include "platform/linux/SgIo.h"

using namespace platform;

namespace {

ScsiCommand commandWith(std::uint8_t direction, std::uint8_t* data, std::uint32_t length, std::uint64_t count) {
    ScsiCommand command;
    command.cdb = {0x12, 0, 0, 0, 56, 0};
    command.cdbLength = 6;
    command.direction = direction;
    command.data = data;
    command.dataLength = length;
    command.transferCount = count;
    command.timeoutMs = 500000;
    return command;
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

}  // namespace

class SgIoDirection : public ::testing::TestWithParam<std::tuple<std::uint8_t, int>> {};

TEST_P(SgIoDirection, MapsTheTaskDirectionAndKeepsTheBuffer) {
    const auto [direction, expected] = GetParam();
    std::uint8_t buffer[64];
    std::uint8_t sense[sgio::kSenseLength];
    sg_io_hdr_t header;
    const auto command = commandWith(direction, buffer, sizeof buffer, 56);
    ASSERT_EQ(sgio::buildHeader(command, sense, header), kIOReturnSuccess);
    EXPECT_EQ(header.dxfer_direction, expected);
    EXPECT_EQ(header.interface_id, 'S');
    EXPECT_EQ(header.cmd_len, 6);
    EXPECT_EQ(header.cmdp[0], 0x12);
    EXPECT_EQ(header.timeout, 500000u);
    EXPECT_EQ(header.mx_sb_len, 18);
    EXPECT_EQ(header.sbp, sense);
    if (expected == SG_DXFER_NONE) {
        EXPECT_EQ(header.dxferp, nullptr);
        EXPECT_EQ(header.dxfer_len, 0u);
    } else {
        EXPECT_EQ(header.dxferp, buffer);
        EXPECT_EQ(header.dxfer_len, 56u);  // the task's count, not the whole range
    }
}

INSTANTIATE_TEST_SUITE_P(AllDirections, SgIoDirection,
                         ::testing::Values(std::make_tuple(kSCSIDataTransfer_NoDataTransfer, SG_DXFER_NONE),
                                           std::make_tuple(kSCSIDataTransfer_FromInitiatorToTarget, SG_DXFER_TO_DEV),
                                           std::make_tuple(kSCSIDataTransfer_FromTargetToInitiator,
                                                           SG_DXFER_FROM_DEV)));

TEST(SgIoHeader, NeverHandsTheKernelMoreThanTheRangeOrANullBuffer) {
    std::uint8_t buffer[16];
    std::uint8_t sense[sgio::kSenseLength];
    sg_io_hdr_t header;
    sgio::buildHeader(commandWith(kSCSIDataTransfer_FromTargetToInitiator, buffer, 16, 4096), sense, header);
    EXPECT_EQ(header.dxfer_len, 16u);

    sgio::buildHeader(commandWith(kSCSIDataTransfer_FromTargetToInitiator, nullptr, 16, 16), sense, header);
    EXPECT_EQ(header.dxfer_direction, SG_DXFER_NONE);
    EXPECT_EQ(header.dxfer_len, 0u);
}

TEST(SgIoHeader, RefusesCdbLengthsTheKernelCannotTake) {
    std::uint8_t sense[sgio::kSenseLength];
    sg_io_hdr_t header;
    auto command = commandWith(kSCSIDataTransfer_NoDataTransfer, nullptr, 0, 0);
    command.cdbLength = 0;
    EXPECT_EQ(sgio::buildHeader(command, sense, header), kIOReturnBadArgument);
    command.cdbLength = 17;
    EXPECT_EQ(sgio::buildHeader(command, sense, header), kIOReturnBadArgument);
}

TEST(SgIoResult, GoodStatusReportsLengthMinusResidual) {
    ScsiOutcome out;
    EXPECT_EQ(sgio::mapResult(0, 0, completed(56, 20, 0x00), out), kIOReturnSuccess);
    EXPECT_EQ(out.status, kSCSITaskStatus_GOOD);
    EXPECT_EQ(out.realizedCount, 36u);

    // A residual beyond the length or below zero is clamped, never wrapped.
    sgio::mapResult(0, 0, completed(56, 80, 0x00), out);
    EXPECT_EQ(out.realizedCount, 0u);
    sgio::mapResult(0, 0, completed(56, -8, 0x00), out);
    EXPECT_EQ(out.realizedCount, 56u);
}

TEST(SgIoResult, CheckConditionCarriesSenseAndNoCount) {
    std::uint8_t sense[sgio::kSenseLength] = {0x70, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x3A, 0x00};
    auto header = completed(56, 0, 0x02, 0, 0x08);
    header.sbp = sense;
    header.sb_len_wr = sgio::kSenseLength;
    ScsiOutcome out;
    EXPECT_EQ(sgio::mapResult(0, 0, header, out), kIOReturnSuccess);
    EXPECT_EQ(out.status, kSCSITaskStatus_CHECK_CONDITION);
    EXPECT_EQ(out.realizedCount, 0u);
    EXPECT_EQ(out.sense[2], 0x02);
    EXPECT_EQ(out.sense[12], 0x3A);
}

TEST(SgIoResult, OtherScsiStatusesPassThroughForTheCaller) {
    ScsiOutcome out;
    EXPECT_EQ(sgio::mapResult(0, 0, completed(0, 0, 0x08), out), kIOReturnSuccess);
    EXPECT_EQ(out.status, kSCSITaskStatus_BUSY);
}

struct FailureCase {
    const char* name;
    int ioctlResult;
    int error;
    unsigned short host;
    unsigned short driver;
    IOReturn expected;
};

class SgIoFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(SgIoFailure, IsADeliveryFailureWithTheCodeOfItsLayer) {
    const auto& c = GetParam();
    ScsiOutcome out;
    EXPECT_EQ(sgio::mapResult(c.ioctlResult, c.error, completed(56, 0, 0x00, c.host, c.driver), out), c.expected);
    EXPECT_EQ(out.status, kSCSITaskStatus_DeliveryFailure);
    EXPECT_EQ(out.realizedCount, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Layers, SgIoFailure,
    ::testing::Values(FailureCase{"IoctlError", -1, EIO, 0, 0, kIOReturnIOError},
                      FailureCase{"IoctlNoPermission", -1, EACCES, 0, 0, kIOReturnNotPrivileged},
                      FailureCase{"IoctlDeviceGone", -1, ENODEV, 0, 0, kIOReturnNoDevice},
                      FailureCase{"HostError", 0, 0, 0x07, 0, kIOReturnError},
                      FailureCase{"HostTimeout", 0, 0, 0x03, 0, kIOReturnTimeout},
                      FailureCase{"HostNoConnect", 0, 0, 0x01, 0, kIOReturnNoDevice},
                      FailureCase{"DriverError", 0, 0, 0, 0x04, kIOReturnNoResources},
                      FailureCase{"DriverErrorWithAdvice", 0, 0, 0, 0x24, kIOReturnNoResources},
                      FailureCase{"DriverTimeout", 0, 0, 0, 0x06, kIOReturnTimeout}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

TEST(SgIoResult, SenseReturnedWithAdviceBitsIsNotAFailure) {
    ScsiOutcome out;
    EXPECT_EQ(sgio::mapResult(0, 0, completed(0, 0, 0x02, 0, 0x18), out), kIOReturnSuccess);
    EXPECT_EQ(out.status, kSCSITaskStatus_CHECK_CONDITION);
}
