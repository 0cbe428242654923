#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "drive/STUCMethod.h"
#include "drive/SenseMessages.h"

namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

platform::SCSI_Sense_Data sense(std::uint8_t byte2, std::uint8_t asc, std::uint8_t ascq) {
    platform::SCSI_Sense_Data s{};
    s[0] = 0x70;
    s[2] = byte2;
    s[12] = asc;
    s[13] = ascq;
    return s;
}

std::string lineFor(const platform::SCSI_Sense_Data& s, bool raw = false) {
    CaptureStderr();
    PrintSenseString(&s, raw);
    return GetCapturedStderr();
}

TEST(SenseMessageTable, HasEveryEntryExactlyAsWritten) {
    const auto table = drive::additionalSenseMessages();
    ASSERT_EQ(table.size(), 394u);
    std::set<std::string> texts;
    std::uint64_t digest = 0xcbf29ce484222325ULL;  // FNV-1a over code (big-endian), text and a zero
    auto mix = [&](std::uint8_t b) {
        digest ^= b;
        digest *= 0x100000001b3ULL;
    };
    for (const auto& entry : table) {
        texts.insert(entry.text);
        mix(static_cast<std::uint8_t>(entry.code >> 8));
        mix(static_cast<std::uint8_t>(entry.code));
        for (const char* p = entry.text; *p; ++p) mix(static_cast<std::uint8_t>(*p));
        mix(0);
    }
    EXPECT_EQ(texts.size(), 392u);
    EXPECT_EQ(digest, 0x18cefd5d690feff0ULL);
    EXPECT_TRUE(std::is_sorted(table.begin(), table.end(),
                               [](const auto& a, const auto& b) { return a.code < b.code; }));
}

TEST(SenseMessageTable, EveryEntryIsFoundByItsTwoBytes) {
    for (const auto& entry : drive::additionalSenseMessages())
        EXPECT_STREQ(drive::additionalSenseMessage(entry.code >> 8, entry.code & 0xFF), entry.text) << entry.code;
}

struct SenseCase {
    const char* name;
    std::uint8_t byte2, asc, ascq;
    bool raw;
    const char* line;
};

void PrintTo(const SenseCase& c, std::ostream* os) { *os << c.name; }

class SenseLine : public ::testing::TestWithParam<SenseCase> {};

TEST_P(SenseLine, IsWrittenInFull) {
    const SenseCase& c = GetParam();
    EXPECT_EQ(lineFor(sense(c.byte2, c.asc, c.ascq), c.raw), std::string(c.line) + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SenseLine,
    ::testing::Values(
        SenseCase{"MediumNotPresent", 0x02, 0x3A, 0x00, false, "Not Ready, Medium not present"},
        SenseCase{"RawPrefix", 0x02, 0x3A, 0x00, true, "Key: $02, ASC: $3a, ASCQ: $00  Not Ready, Medium not present"},
        SenseCase{"Installing", 0x02, 0x04, 0x12, false, "Not Ready, "},
        SenseCase{"UnlistedQualifier", 0x02, 0x04, 0x05, false, "Not Ready, "},
        SenseCase{"UnlistedCode", 0x03, 0x3C, 0x00, false, "Medium Error, "},
        SenseCase{"RamFailureWinsOverFormat", 0x04, 0x40, 0x00, false, "Hardware Error, RAM failure"},
        SenseCase{"DiagnosticFailure", 0x04, 0x40, 0x83, false, "Hardware Error, Diagnostic failure on component $83"},
        SenseCase{"TaggedOverlapped", 0x0B, 0x4D, 0x0F, false,
                  "Aborted Command, Tagged overlapped commands, queue tag = $0f"},
        SenseCase{"TaggedOverlappedZero", 0x0B, 0x4D, 0x00, false,
                  "Aborted Command, Tagged overlapped commands, queue tag = $00"},
        SenseCase{"UnknownKey", 0x0F, 0x00, 0x00, false, "Unknown Sense Code, No additional sense information"},
        SenseCase{"FlagBitsIgnored", 0xE5, 0x24, 0x00, false, "Illegal Request, Invalid field in CDB"},
        SenseCase{"RawKeyWithoutFlagBits", 0xE5, 0x24, 0x00, true,
                  "Key: $05, ASC: $24, ASCQ: $00  Illegal Request, Invalid field in CDB"},
        SenseCase{"EqualKey", 0x0C, 0x00, 0x00, false, "Equal (now obsolete), No additional sense information"},
        SenseCase{"Miscompare", 0x0E, 0x1D, 0x00, false, "Miscompare, Miscompare during verify operation"},
        SenseCase{"SpellingKept", 0x01, 0x17, 0x09, false, "Recovered Error, Recivered data without ECC, data rewritten"},
        SenseCase{"HighQualifier", 0x06, 0x5D, 0xFF, false,
                  "Unit Attention, Failure prediction threshold exceeded (FALSE)"},
        SenseCase{"VendorRange", 0x05, 0xBF, 0x00, false, "Illegal Request, Loss of streaming"},
        SenseCase{"VendorRangeOnlyExact", 0x05, 0xBF, 0x01, false, "Illegal Request, "},
        SenseCase{"SharedText1", 0x04, 0x01, 0x00, false, "Hardware Error, Mechanical positioning or changer error"},
        SenseCase{"SharedText2", 0x04, 0x15, 0x01, false, "Hardware Error, Mechanical positioning or changer error"},
        SenseCase{"SharedText3", 0x04, 0x3B, 0x16, false, "Hardware Error, Mechanical positioning or changer error"},
        // The longest line the tables can make.
        SenseCase{"Longest", 0x0C, 0x5D, 0x00, true,
                  "Key: $0c, ASC: $5d, ASCQ: $00  Equal (now obsolete), Failure prediction threshold exceeded, "
                  "predicted logical unit failure"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(SenseLine, ResponseCodeIsNotChecked) {
    auto s = sense(0x02, 0x3A, 0x02);
    s[0] = 0x72;  // descriptor format: read at the same positions all the same
    EXPECT_EQ(lineFor(s), "Not Ready, Medium not present, tray open\n");
}

// Lines from several threads come out whole: no shared buffer, one write per line.
TEST(SenseLine, IsWholeWhenWrittenFromSeveralThreads) {
    const std::vector<std::pair<platform::SCSI_Sense_Data, std::string>> cases = {
        {sense(0x02, 0x3A, 0x00), "Not Ready, Medium not present"},
        {sense(0x04, 0x40, 0x83), "Hardware Error, Diagnostic failure on component $83"},
        {sense(0x0B, 0x4D, 0x0F), "Aborted Command, Tagged overlapped commands, queue tag = $0f"},
        {sense(0x03, 0x3C, 0x00), "Medium Error, "},
    };
    constexpr int kLinesPerThread = 200;
    CaptureStderr();
    {
        std::vector<std::jthread> threads;
        for (const auto& c : cases)
            threads.emplace_back([&c] {
                for (int i = 0; i < kLinesPerThread; ++i) PrintSenseString(&c.first, false);
            });
    }
    const std::string out = GetCapturedStderr();
    std::map<std::string, int> counts;
    std::size_t start = 0;
    for (std::size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1)
        ++counts[out.substr(start, end - start)];
    ASSERT_EQ(counts.size(), cases.size());
    for (const auto& c : cases) EXPECT_EQ(counts[c.second], kLinesPerThread) << c.second;
}

}  // namespace
