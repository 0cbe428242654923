#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/DeviceData.h"
#include "model/Util.h"

using namespace std::string_literals;

namespace {

struct SenseCase {
    std::uint8_t senseKey, asc;
    bool present;
};

class DiscPresence : public ::testing::TestWithParam<SenseCase> {};

TEST_P(DiscPresence, OnlyMediumNotPresentMeansNoDisc)
{
    scsi::Sense sense{};
    sense[2] = GetParam().senseKey;
    sense[12] = GetParam().asc;
    EXPECT_EQ(Util::isPresenceOfDisc(sense), GetParam().present);
}

INSTANTIATE_TEST_SUITE_P(Cases, DiscPresence,
                         ::testing::Values(SenseCase{0x02, 0x3A, false}, SenseCase{0x00, 0x3A, false},
                                           SenseCase{0x06, 0x3A, false}, SenseCase{0x00, 0x00, true},  // GOOD status
                                           SenseCase{0x02, 0x04, true}, SenseCase{0x06, 0x28, true}));

class TargetModel : public ::testing::TestWithParam<std::pair<OptionalText, bool>> {};

TEST_P(TargetModel, BlanksIgnoredCaseKept)
{
    EXPECT_EQ(Util::isTargetModel(GetParam().first), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Cases, TargetModel,
                         ::testing::Values(std::pair{"BD-RW KVL-MT38", true}, std::pair{"BD-RWKVL-MT38", true},
                                           std::pair{"BD-RW  KVL-MT38 ", true}, std::pair{"bd-rw kvl-mt38", false},
                                           std::pair{OptionalText{}, false}, std::pair{"", false},
                                           std::pair{"BD-RW KVL-MT39", false}, std::pair{"BD-RW\tKVL-MT38", false}));

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
    ::testing::Values(VersionCase{"1.20", "1.21", -1}, VersionCase{"1.21", "1.21 ", 0}, VersionCase{"1 .21", "1.21", 0},
                      VersionCase{"1.21", "1.20", 1}, VersionCase{"0000", "1.21", -1}, VersionCase{"1.9", "1.10", -1},
                      VersionCase{"1.10", "1.9", 1}, VersionCase{"1.2", "1.2a", -1}, VersionCase{"a", "B", 1},
                      VersionCase{"1.21", "1,21", 1}, VersionCase{"", "", 0}, VersionCase{"", "1", -1},
                      // runs longer than any integer type
                      VersionCase{"99999999999999999999999", "100000000000000000000000", -1},
                      VersionCase{"123456789012345678901234567890", "123456789012345678901234567891", -1},
                      VersionCase{std::nullopt, "1.21", 0}, VersionCase{"1.21", std::nullopt, 0},
                      VersionCase{std::nullopt, std::nullopt, 0}));

struct FieldCase {
    std::string bytes;
    std::int32_t offset, length;
    OptionalText text;
};

class ConvertToString : public ::testing::TestWithParam<FieldCase> {};

TEST_P(ConvertToString, TextUpToFirstZero)
{
    const auto& c = GetParam();
    EXPECT_EQ(Util::convertToString(reinterpret_cast<const std::uint8_t*>(c.bytes.data()), c.offset, c.length), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConvertToString,
    ::testing::Values(FieldCase{"MT38\0\0\0\0"s, 0, 8, "MT38"}, FieldCase{"        ", 0, 8, "        "},
                      FieldCase{"xxMT38HW01", 2, 8, "MT38HW01"}, FieldCase{"MT38", 0, 0, std::nullopt},
                      FieldCase{"MT38", 0, -4, std::nullopt}, FieldCase{"MT38", -1, 2, std::nullopt},
                      FieldCase{"\xFF\xFE" "AB", 0, 4, std::nullopt},  // not UTF-8
                      FieldCase{"\xC3\xA9t\xC3\xA9", 0, 5, "\xC3\xA9t\xC3\xA9"}, FieldCase{"\0A"s, 0, 2, ""},
                      // overlong, surrogate, above U+10FFFF, cut short
                      FieldCase{"\xE0\x80\xAF", 0, 3, std::nullopt}, FieldCase{"\xED\xA0\x80", 0, 3, std::nullopt},
                      FieldCase{"\xF4\x90\x80\x80", 0, 4, std::nullopt}, FieldCase{"A\xE2\x82", 0, 3, std::nullopt}));

TEST(TextEquals, AbsentNeverEquals) {
    EXPECT_FALSE(textEquals(std::nullopt, std::nullopt) || textEquals(std::nullopt, "") || textEquals("", std::nullopt));
    EXPECT_TRUE(textEquals("", ""));
    EXPECT_FALSE(textEquals("1.21", "1.21 "));
}

}  // namespace
