#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <thread>

#include "DriveTestSupport.h"
#include "drive/SenseMessages.h"

namespace kdu::test {
namespace {

platform::SCSI_Sense_Data sense(std::uint8_t byte2, std::uint8_t asc, std::uint8_t ascq) {
    return checkCondition(byte2, asc, ascq).sense;
}

TEST(SenseMessageTable, HasEveryEntryExactlyAsWrittenAndFindsEachByItsTwoBytes) {
    const auto table = drive::additionalSenseMessages();
    ASSERT_EQ(table.size(), 394u);
    std::set<std::string> texts;
    std::uint64_t digest = 0xcbf29ce484222325ULL;  // FNV-1a over code (big-endian), text and a zero
    auto mix = [&](std::uint8_t b) { digest = (digest ^ b) * 0x100000001b3ULL; };
    for (const auto& entry : table) {
        texts.insert(entry.text);
        mix(static_cast<std::uint8_t>(entry.code >> 8));
        mix(static_cast<std::uint8_t>(entry.code));
        for (const char* p = entry.text; *p; ++p) mix(static_cast<std::uint8_t>(*p));
        mix(0);
        EXPECT_STREQ(drive::additionalSenseMessage(entry.code >> 8, entry.code & 0xFF), entry.text) << entry.code;
    }
    EXPECT_EQ(texts.size(), 392u);
    EXPECT_EQ(digest, 0x18cefd5d690feff0ULL);
    EXPECT_TRUE(std::is_sorted(table.begin(), table.end(), [](const auto& a, const auto& b) { return a.code < b.code; }));
}

struct SenseCase {
    const char* name;
    std::uint8_t byte2, asc, ascq;
    bool raw;
    const char* line;
};

class SenseLine : public ::testing::TestWithParam<SenseCase> {};

TEST_P(SenseLine, IsWrittenInFull) {
    const SenseCase& c = GetParam();
    const auto s = sense(c.byte2, c.asc, c.ascq);
    EXPECT_EQ(stderrOf([&] { PrintSenseString(&s, c.raw); }), std::string(c.line) + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SenseLine,
    ::testing::Values(
        SenseCase{"MediumNotPresent", 0x02, 0x3A, 0x00, false, "Not Ready, Medium not present"},
        SenseCase{"RawPrefix", 0x02, 0x3A, 0x00, true, "Key: $02, ASC: $3a, ASCQ: $00  Not Ready, Medium not present"},
        SenseCase{"Installing", 0x02, 0x04, 0x12, false, "Not Ready, "},
        SenseCase{"UnlistedCode", 0x03, 0x3C, 0x00, false, "Medium Error, "},
        SenseCase{"RamFailureWinsOverFormat", 0x04, 0x40, 0x00, false, "Hardware Error, RAM failure"},
        SenseCase{"DiagnosticFailure", 0x04, 0x40, 0x83, false, "Hardware Error, Diagnostic failure on component $83"},
        SenseCase{"TaggedOverlapped", 0x0B, 0x4D, 0x0F, false,
                  "Aborted Command, Tagged overlapped commands, queue tag = $0f"},
        SenseCase{"UnknownKey", 0x0F, 0x00, 0x00, false, "Unknown Sense Code, No additional sense information"},
        SenseCase{"RawKeyWithoutFlagBits", 0xE5, 0x24, 0x00, true,
                  "Key: $05, ASC: $24, ASCQ: $00  Illegal Request, Invalid field in CDB"},
        SenseCase{"EqualKey", 0x0C, 0x00, 0x00, false, "Equal (now obsolete), No additional sense information"},
        SenseCase{"Miscompare", 0x0E, 0x1D, 0x00, false, "Miscompare, Miscompare during verify operation"},
        SenseCase{"VendorRangeOnlyExact", 0x05, 0xBF, 0x01, false, "Illegal Request, "},
        // The longest line the tables can make.
        SenseCase{"Longest", 0x0C, 0x5D, 0x00, true,
                  "Key: $0c, ASC: $5d, ASCQ: $00  Equal (now obsolete), Failure prediction threshold exceeded, "
                  "predicted logical unit failure"}),
    kRowName);

TEST(SenseLineFormat, ResponseCodeIsNotChecked) {
    auto s = sense(0x02, 0x3A, 0x02);
    s[0] = 0x72;  // descriptor format: read at the same positions all the same
    EXPECT_EQ(stderrOf([&] { PrintSenseString(&s, false); }), "Not Ready, Medium not present, tray open\n");
}

// Lines from several threads come out whole: no shared buffer, one write per line.
TEST(SenseLineFormat, IsWholeWhenWrittenFromSeveralThreads) {
    const std::vector<std::pair<platform::SCSI_Sense_Data, std::string>> cases = {
        {sense(0x02, 0x3A, 0x00), "Not Ready, Medium not present"},
        {sense(0x04, 0x40, 0x83), "Hardware Error, Diagnostic failure on component $83"},
        {sense(0x0B, 0x4D, 0x0F), "Aborted Command, Tagged overlapped commands, queue tag = $0f"},
        {sense(0x03, 0x3C, 0x00), "Medium Error, "},
    };
    constexpr int kLinesPerThread = 200;
    const std::string out = stderrOf([&] {
        std::vector<std::jthread> threads;
        for (const auto& c : cases)
            threads.emplace_back([&c] {
                for (int i = 0; i < kLinesPerThread; ++i) PrintSenseString(&c.first, false);
            });
    });
    std::map<std::string, int> counts;
    std::size_t start = 0;
    for (std::size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1)
        ++counts[out.substr(start, end - start)];
    ASSERT_EQ(counts.size(), cases.size());
    for (const auto& c : cases) EXPECT_EQ(counts[c.second], kLinesPerThread) << c.second;
}

}  // namespace
}  // namespace kdu::test
