// The bridge's split of the commands a drive receives into the kernel's and a program's,
// on the sequences the kernel and kdu produce.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/tcmu/KernelHousekeeping.h"

namespace {

using Origin = sim::DriveUnit::Origin;
constexpr Origin K = Origin::Housekeeping;
constexpr Origin P = Origin::Program;

struct Arrival {
    std::vector<std::uint8_t> cdb;
    bool attached;
    Origin expected;
};

struct Sequence {
    std::string name;
    std::vector<Arrival> arrivals;
};

class KernelHousekeepingTest : public ::testing::TestWithParam<Sequence> {};

TEST_P(KernelHousekeepingTest, TellsTheKernelsCommandsFromAProgramsOwn) {
    bridge::KernelHousekeeping split;
    for (std::size_t i = 0; i < GetParam().arrivals.size(); ++i) {
        const Arrival& a = GetParam().arrivals[i];
        EXPECT_EQ(split.originOf(a.cdb.data(), a.attached), a.expected) << "command " << i;
    }
}

const std::vector<std::uint8_t> kTur{0x00, 0, 0, 0, 0, 0};
const std::vector<std::uint8_t> kInquiry{0x12, 0, 0, 0, 0x38, 0};
const std::vector<std::uint8_t> kVpd{0x12, 0x01, 0x80, 0, 0xFF, 0};
const std::vector<std::uint8_t> kEvents{0x4A, 0x01, 0, 0, 0x10, 0, 0, 0, 0x08, 0};
const std::vector<std::uint8_t> kModeSense{0x1A, 0, 0x2A, 0, 0x80, 0};
const std::vector<std::uint8_t> kReadBuffer{0x3C, 0x02, 0xF1, 0, 0, 0, 0, 0, 0x30, 0};
const std::vector<std::uint8_t> kModeChange{0x3B, 0x05, 0xFF, 0, 0, 0, 0, 0x01, 0, 0};

INSTANTIATE_TEST_SUITE_P(
    Sequences, KernelHousekeepingTest,
    ::testing::Values(
        Sequence{"ScanBeforeAttach", {{kInquiry, false, K}, {kTur, false, K}, {kReadBuffer, false, K}}},
        Sequence{"ProbesOutsideTheDrivesCommandsAndVitalProductData",
                 {{kModeSense, true, K}, {kVpd, true, K}, {kInquiry, true, P}}},
        // kdu opens the block node (events, TUR, a second TUR on a medium change), then lists.
        Sequence{"MediaChecksAtOpen",
                 {{kEvents, true, K}, {kTur, true, K}, {kTur, true, K}, {kInquiry, true, P}, {kTur, true, P},
                  {kReadBuffer, true, P}}},
        Sequence{"InstallPolls", {{kModeChange, true, P}, {kTur, true, P}, {kTur, true, P}, {kInquiry, true, P}}},
        Sequence{"AnOpenBetweenPolls",
                 {{kTur, true, K}, {kModeChange, true, P}, {kTur, true, P}, {kEvents, true, K}, {kTur, true, K},
                  {kModeChange, true, P}}}),
    [](const ::testing::TestParamInfo<Sequence>& sequence) { return sequence.param.name; });

}  // namespace
