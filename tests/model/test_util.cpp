#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/Util.h"

using namespace std::string_literals;

namespace {

// --- disc presence -------------------------------------------------------------------

struct SenseCase {
    std::uint8_t senseKey, asc;
    bool present;
};

class DiscPresence : public ::testing::TestWithParam<SenseCase> {};

TEST_P(DiscPresence, OnlyMediumNotPresentMeansNoDisc)
{
    platform::SCSI_Sense_Data sense{};
    sense[2] = GetParam().senseKey;
    sense[12] = GetParam().asc;
    EXPECT_EQ(Util::isPresenceOfDisc(sense), GetParam().present);
}

INSTANTIATE_TEST_SUITE_P(Cases, DiscPresence,
                         ::testing::Values(SenseCase{0x02, 0x3A, false}, SenseCase{0x00, 0x3A, false},
                                           SenseCase{0x06, 0x3A, false}, SenseCase{0x00, 0x00, true},  // all zero: GOOD status
                                           SenseCase{0x02, 0x04, true}, SenseCase{0x06, 0x28, true}));

// --- target model --------------------------------------------------------------------

struct ModelCase {
    OptionalText product;
    bool target;
};

class TargetModel : public ::testing::TestWithParam<ModelCase> {};

TEST_P(TargetModel, BlanksIgnoredCaseKept)
{
    EXPECT_EQ(Util::isTargetModel(GetParam().product), GetParam().target);
}

INSTANTIATE_TEST_SUITE_P(Cases, TargetModel,
                         ::testing::Values(ModelCase{"BD-RW KVL-MT38", true}, ModelCase{"BD-RWKVL-MT38", true},
                                           ModelCase{"BD-RW  KVL-MT38 ", true}, ModelCase{"BD-RW KVL-MT38  ", true},
                                           ModelCase{"bd-rw kvl-mt38", false}, ModelCase{std::nullopt, false},
                                           ModelCase{"", false}, ModelCase{"BD-RW KVL-MT39", false},
                                           ModelCase{"BD-RW\tKVL-MT38", false}));

// --- revision comparison -------------------------------------------------------------

struct VersionCase {
    OptionalText cur, other;
    std::int64_t result;
};

class CmpCurVersion : public ::testing::TestWithParam<VersionCase> {};

TEST_P(CmpCurVersion, NumericAware)
{
    EXPECT_EQ(Util::cmpCurVersion(GetParam().cur, GetParam().other), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CmpCurVersion,
    ::testing::Values(VersionCase{"1.20", "1.21", -1}, VersionCase{"1.21", "1.21 ", 0},
                      VersionCase{"1 .21", "1.21", 0}, VersionCase{"1.21", "1.20", 1},
                      VersionCase{"0000", "1.21", -1}, VersionCase{"1.9", "1.10", -1},
                      VersionCase{"1.10", "1.9", 1}, VersionCase{"1.2", "1.2a", -1},
                      VersionCase{"a", "B", 1}, VersionCase{"1.21", "1,21", 1},
                      // runs longer than any integer type
                      VersionCase{"99999999999999999999999", "100000000000000000000000", -1},
                      VersionCase{"123456789012345678901234567890", "123456789012345678901234567891", -1},
                      VersionCase{"", "", 0}, VersionCase{"", "1", -1},
                      VersionCase{std::nullopt, "1.21", 0}, VersionCase{"1.21", std::nullopt, 0},
                      VersionCase{std::nullopt, std::nullopt, 0}));

// --- byte fields to text -------------------------------------------------------------

struct FieldCase {
    std::vector<std::uint8_t> bytes;
    std::int32_t offset, length;
    OptionalText text;
};

class ConvertToString : public ::testing::TestWithParam<FieldCase> {};

TEST_P(ConvertToString, TextUpToFirstZero)
{
    const auto& c = GetParam();
    EXPECT_EQ(Util::convertToString(c.bytes.data(), c.offset, c.length), c.text);
}

std::vector<std::uint8_t> bytesOf(const std::string& s)
{
    return {s.begin(), s.end()};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConvertToString,
    ::testing::Values(FieldCase{bytesOf("MT38\0\0\0\0"s), 0, 8, "MT38"}, FieldCase{bytesOf("        "), 0, 8, "        "},
                      FieldCase{bytesOf("xxMT38HW01"), 2, 8, "MT38HW01"}, FieldCase{bytesOf("MT38"), 0, 0, std::nullopt},
                      FieldCase{bytesOf("MT38"), 0, -4, std::nullopt}, FieldCase{bytesOf("MT38"), -1, 2, std::nullopt},
                      FieldCase{{0xFF, 0xFE, 0x41, 0x42}, 0, 4, std::nullopt},  // not UTF-8
                      FieldCase{bytesOf("\xC3\xA9t\xC3\xA9"), 0, 5, "\xC3\xA9t\xC3\xA9"},
                      // overlong, surrogate, above U+10FFFF, cut short
                      FieldCase{bytesOf("\xE0\x80\xAF"), 0, 3, std::nullopt}, FieldCase{bytesOf("\xED\xA0\x80"), 0, 3, std::nullopt},
                      FieldCase{bytesOf("\xF4\x90\x80\x80"), 0, 4, std::nullopt}, FieldCase{bytesOf("A\xE2\x82"), 0, 3, std::nullopt},
                      FieldCase{{0x00, 0x41}, 0, 2, ""}));

TEST(ConvertToStringEdges, NullIsAbsentAndLongFieldsAreCutAt255)
{
    EXPECT_EQ(Util::convertToString(nullptr, 0, 8), std::nullopt);
    const std::vector<std::uint8_t> bytes(1000, 'A');
    const auto text = Util::convertToString(bytes.data(), 0, 1000);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->size(), 255u);
}

}  // namespace
