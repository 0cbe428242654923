// The INQUIRY and READ BUFFER dumps.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "drive/STUCMethod.h"
#include "support/FakeBackend.h"

namespace kdu::test {
namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

// Dumps the first `size` bytes of `data`; the bytes after them are non-zero filler that
// must not show.
std::string inquiryDump(std::vector<std::uint8_t> data, std::uint32_t size) {
    data.resize(std::max<std::size_t>(data.size(), 64));
    std::fill(data.begin() + size, data.end(), 'Z');
    CaptureStderr();
    PrintSCSIInquiryDataUsing(data.data(), size);
    return GetCapturedStderr();
}

TEST(InquiryDump, ShowsEveryField) {
    auto data = inquiryData("KESTORY", "BD-RW KVL-MT38", "1.20");
    data[6] = 0x10;
    data[7] = 0x02;
    EXPECT_EQ(inquiryDump(data, 56),
              "\n*********** INQUIRY DATA ***********\n"
              "Got inquiry results size = 56\n"
              "  Peripheral device type = 0x05\n"
              "  Removable media bit = 128\n"
              "  Version = 0x5\n"
              "  Response data format = 0x2\n"
              "  Additional length = 0x33\n"
              "  SCCS and Reserved = 0x0\n"
              "  Byte 6 flags = 0x10\n"
              "  Byte 7 flags = 0x2\n"
              "  Vendor identification  = \"KESTORY \"\n"
              "  Product identification = \"BD-RW KVL-MT38  \"\n"
              "  Product revision level = \"1.20\"\n"
              "\n");
}

TEST(InquiryDump, StopsAtTheEndOfAShortAnswer) {
    const auto data = inquiryData("KESTORY", "BD-RW KVL-MT38", "1.20");
    const std::string out = inquiryDump(data, 20);
    EXPECT_NE(out.find("  Vendor identification  = \"KESTORY \"\n"), std::string::npos) << out;
    EXPECT_NE(out.find("  Product identification = \"BD-R\"\n"), std::string::npos) << out;
    EXPECT_NE(out.find("  Product revision level = \"\"\n"), std::string::npos) << out;

    const std::string tiny = inquiryDump(data, 3);
    EXPECT_NE(tiny.find("  Response data format = 0x0\n"), std::string::npos) << tiny;
    EXPECT_EQ(tiny.find('Z'), std::string::npos) << tiny;
}

TEST(ReadBufferDump, ListsEachByte) {
    const std::vector<std::uint8_t> data = {'A', 'b', '1'};
    CaptureStderr();
    PrintReadBuffer(data.data(), 3);
    EXPECT_EQ(GetCapturedStderr(),
              "\n*********** READ_BUFFER DATA ***********\nGot readBuf results size = 3\n"
              "  (00) = [A]\n  (01) = [b]\n  (02) = [1]\n\n");
}

TEST(ReadBufferDump, EndsForSizesBeyondSixteenBits) {
    const std::vector<std::uint8_t> data(65537, 'x');
    CaptureStderr();
    PrintReadBuffer(data.data(), static_cast<std::uint32_t>(data.size()));
    const std::string out = GetCapturedStderr();
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 65537 + 4);
    EXPECT_NE(out.find("  (65536) = [x]\n\n"), std::string::npos);
}

}  // namespace
}  // namespace kdu::test
