#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/linux/FixedSense.h"
#include "platform/linux/SgIo.h"

using namespace platform;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct SenseCase {
    const char* name;
    Bytes given;
    Bytes fixed;  // all 18 bytes
};

class SenseConversion : public ::testing::TestWithParam<SenseCase> {};

TEST_P(SenseConversion, YieldsTheFixedFormTheDecoderReads) {
    const auto& c = GetParam();
    const scsi::Sense fixed = sgio::toFixedSense(c.given.data(), c.given.size());
    EXPECT_EQ(Bytes(fixed.begin(), fixed.end()), c.fixed);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, SenseConversion,
    ::testing::Values(
        // Installing: NOT READY 04/12, progress 0x1234 in the sense-key-specific descriptor.
        SenseCase{"NotReadyWithProgress",
                  {0x72, 0x02, 0x04, 0x12, 0, 0, 0, 0x08, 0x02, 0x06, 0, 0, 0x80, 0x12, 0x34, 0x00},
                  {0x70, 0, 0x02, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x04, 0x12, 0, 0x80, 0x12, 0x34}},
        SenseCase{"UnitAttentionPowerOn",
                  {0x72, 0x06, 0x29, 0x00, 0, 0, 0, 0x00},
                  {0x70, 0, 0x06, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x29, 0x00, 0, 0, 0, 0}},
        // ILLEGAL REQUEST 20/00 with information and a field pointer (command byte 0).
        SenseCase{"IllegalRequestWithInformation",
                  {0x72, 0x05, 0x20, 0x00, 0, 0, 0, 0x14, 0x00, 0x0A, 0x80, 0, 0, 0, 0, 0, 0xDE, 0xAD, 0xBE, 0xEF,
                   0x02, 0x06, 0, 0, 0xC0, 0x00, 0x00, 0x00},
                  {0xF0, 0, 0x05, 0xDE, 0xAD, 0xBE, 0xEF, 0x0A, 0, 0, 0, 0, 0x20, 0x00, 0, 0xC0, 0x00, 0x00}},
        // Deferred errors stay deferred; information wider than 32 bits is left out.
        SenseCase{"DeferredWithWideInformation",
                  {0x73, 0x03, 0x0C, 0x00, 0, 0, 0, 0x0C, 0x00, 0x0A, 0x80, 0, 0, 0, 0, 1, 0, 0, 0, 0},
                  {0x71, 0, 0x03, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x0C, 0x00, 0, 0, 0, 0}},
        // Unknown descriptors are stepped over.
        SenseCase{"UnknownDescriptorFirst",
                  {0x72, 0x02, 0x04, 0x12, 0, 0, 0, 0x0C, 0x0A, 0x02, 0x11, 0x22,  //
                   0x02, 0x06, 0, 0, 0x80, 0x80, 0x00, 0},
                  {0x70, 0, 0x02, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x04, 0x12, 0, 0x80, 0x80, 0x00}},
        // The additional length says more than arrived: the descriptor cut short is dropped.
        SenseCase{"TruncatedDescriptor",
                  {0x72, 0x02, 0x04, 0x12, 0, 0, 0, 0x08, 0x02, 0x06, 0, 0, 0x80},
                  {0x70, 0, 0x02, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x04, 0x12, 0, 0, 0, 0}},
        SenseCase{"HeaderOnlyInPart", {0x72, 0x06}, {0x70, 0, 0x06, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        SenseCase{"FixedPassesThrough",
                  {0x70, 0, 0x02, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x3A, 0x00, 0, 0, 0, 0, 0xAA, 0xBB},
                  {0x70, 0, 0x02, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x3A, 0x00, 0, 0, 0, 0}},
        SenseCase{"Nothing", {}, Bytes(18, 0)}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

// Every prefix of random descriptor sense, each in a buffer of exactly its size, so a read
// past the end shows under the address sanitizer.
TEST(SenseConversionBounds, ArbitraryBytesOfAnyLengthStayInBounds) {
    std::mt19937 random(1234);
    for (int round = 0; round < 200; ++round) {
        Bytes noise(8 + random() % 90);
        for (auto& b : noise) b = static_cast<std::uint8_t>(random());
        noise[0] = round % 2 ? 0x72 : 0xF3;
        for (std::size_t length = 0; length <= noise.size(); ++length) {
            const Bytes prefix(noise.begin(), noise.begin() + static_cast<std::ptrdiff_t>(length));
            const scsi::Sense fixed = sgio::toFixedSense(prefix.data(), prefix.size());
            if (length > 0) {
                EXPECT_EQ(fixed[0] & 0x7E, 0x70);
            }
        }
    }
}

// A check condition carries its sense, in fixed form, and no count.
TEST(SenseFromSgIo, DescriptorSenseReachesTheTaskInFixedForm) {
    std::uint8_t sense[sgio::kSenseBufferLength] = {0x72, 0x02, 0x04, 0x12, 0, 0, 0, 0x08,
                                                    0x02, 0x06, 0,    0,    0x80, 0x40, 0x00, 0};
    sg_io_hdr_t header{};
    header.status = static_cast<unsigned char>(scsi::Status::CheckCondition);
    header.driver_status = 0x08;
    header.sbp = sense;
    header.mx_sb_len = sgio::kSenseBufferLength;
    header.sb_len_wr = 16;
    header.dxfer_len = 56;
    const scsi::Result out = sgio::mapResult(0, 0, header);
    ASSERT_TRUE(out.checkCondition());
    EXPECT_EQ(out.error, scsi::TransportError::None);
    EXPECT_EQ(out.transferred, 0u);
    EXPECT_EQ(out.sense[0], 0x70);
    EXPECT_EQ(out.sense[2], 0x02);
    EXPECT_EQ(out.sense[12], 0x04);
    EXPECT_EQ(out.sense[13], 0x12);
    EXPECT_EQ((out.sense[16] << 8) | out.sense[17], 0x4000);  // a quarter done
}

}  // namespace
