#include <algorithm>
#include <map>
#include <set>
#include <thread>

#include "DriveTestSupport.h"
#include "drive/SenseMessages.h"

namespace kdu::test {
namespace {

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
    std::uint8_t responseCode = 0x70;
};

scsi::Sense senseOf(const SenseCase& c) {
    auto s = checkCondition(c.byte2, c.asc, c.ascq).sense;
    s[0] = c.responseCode;
    return s;
}

class SenseLine : public ::testing::TestWithParam<SenseCase> {};

TEST_P(SenseLine, IsWrittenInFull) {
    const auto s = senseOf(GetParam());
    EXPECT_EQ(stderrOf([&] { PrintSenseString(&s, GetParam().raw); }), std::string(GetParam().line) + "\n");
}

const SenseCase kSenseCases[] = {
    {"MediumNotPresent", 0x02, 0x3A, 0x00, false, "Not Ready, Medium not present"},
    {"DiagnosticFailure", 0x04, 0x40, 0x83, false, "Hardware Error, Diagnostic failure on component $83"},
    {"TaggedOverlapped", 0x0B, 0x4D, 0x0F, false, "Aborted Command, Tagged overlapped commands, queue tag = $0f"},
    {"UnlistedCode", 0x03, 0x3C, 0x00, false, "Medium Error, "},
    {"RawPrefix", 0x02, 0x3A, 0x00, true, "Key: $02, ASC: $3a, ASCQ: $00  Not Ready, Medium not present"},
    {"Installing", 0x02, 0x04, 0x12, false, "Not Ready, "},
    {"RamFailureWinsOverFormat", 0x04, 0x40, 0x00, false, "Hardware Error, RAM failure"},
    {"UnknownKey", 0x0F, 0x00, 0x00, false, "Unknown Sense Code, No additional sense information"},
    {"RawKeyWithoutFlagBits", 0xE5, 0x24, 0x00, true, "Key: $05, ASC: $24, ASCQ: $00  Illegal Request, Invalid field in CDB"},
    {"Miscompare", 0x0E, 0x1D, 0x00, false, "Miscompare, Miscompare during verify operation"},
    {"VendorRangeOnlyExact", 0x05, 0xBF, 0x01, false, "Illegal Request, "},
    {"LongestPossible", 0x0C, 0x5D, 0x00, true,
     "Key: $0c, ASC: $5d, ASCQ: $00  Equal (now obsolete), Failure prediction threshold exceeded, "
     "predicted logical unit failure"},
    // Descriptor format is read at the same positions all the same.
    {"ResponseCodeNotChecked", 0x02, 0x3A, 0x02, false, "Not Ready, Medium not present, tray open", 0x72}};
INSTANTIATE_TEST_SUITE_P(Cases, SenseLine, ::testing::ValuesIn(kSenseCases), kRowName);

// Lines from several threads come out whole: no shared buffer, one write per line.
TEST(SenseLineFormat, IsWholeWhenWrittenFromSeveralThreads) {
    const std::vector<SenseCase> cases(kSenseCases, kSenseCases + 4);
    constexpr int kLinesPerThread = 200;
    const std::string out = stderrOf([&] {
        std::vector<std::jthread> threads;
        for (const SenseCase& c : cases)
            threads.emplace_back([&c] {
                const auto s = senseOf(c);
                for (int i = 0; i < kLinesPerThread; ++i) PrintSenseString(&s, c.raw);
            });
    });
    std::map<std::string, int> counts;
    std::size_t start = 0;
    for (std::size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1)
        ++counts[out.substr(start, end - start)];
    ASSERT_EQ(counts.size(), cases.size());
    for (const SenseCase& c : cases) EXPECT_EQ(counts[c.line], kLinesPerThread) << c.line;
}

}  // namespace
}  // namespace kdu::test
