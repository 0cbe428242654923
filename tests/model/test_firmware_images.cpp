#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "TempDir.h"
#include "model/FirmwareImageFormat.h"
#include "model/FirmwareImages.h"
#include "model/Util.h"
#include "tools/ImageMaker.h"

using namespace std::string_literals;

namespace {

void expectFields(const FirmFileData& r, bool present)
{
    EXPECT_EQ(r.isFileExists(), present);
    EXPECT_EQ(r.product(), present ? OptionalText("KESTORY BD-RW KVL-MT38 FW") : std::nullopt);
    EXPECT_EQ(r.revision(), present ? OptionalText("1.21") : std::nullopt);
    EXPECT_EQ(r.date(), present ? OptionalText("20261120") : std::nullopt);
    EXPECT_EQ(r.hard_version(), present ? OptionalText("MT38HW01") : std::nullopt);
    EXPECT_EQ(r.krnl_version(), present ? OptionalText("KRNL0101") : std::nullopt);
    EXPECT_EQ(r.dest_version(), present ? OptionalText("DEST0001") : std::nullopt);
    EXPECT_FALSE(r.vendor() || r.judgeKrnl());
}

// Resource lookup pointed at a temporary folder into which each test puts images.
class FwFileInfo : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.path().empty());
        Util::setResourceDirectoryOverride(dir_.path());
    }
    void TearDown() override { Util::setResourceDirectoryOverride(std::nullopt); }

    void put(const char* baseName, const std::vector<std::uint8_t>& image) {
        dir_.write(firmwareFileName(baseName), image);
    }
    // The normal image with header bytes at `offset` replaced, read back into `normal`.
    void readPatchedNormal(std::size_t offset, const std::string& patch) {
        auto image = image_maker::makeImage(image_maker::normalImageSpec());
        std::copy(patch.begin(), patch.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
        put(kNormalImageBaseName, image);
        getFwFileInfo(kernel, normal);
    }

    TempDir dir_;
    FirmFileData kernel, normal;
};

class FwFilePresence : public FwFileInfo, public ::testing::WithParamInterface<std::pair<bool, bool>> {};

TEST_P(FwFilePresence, MissingImageLeavesItsRecordEmpty)
{
    const auto [hasKernel, hasNormal] = GetParam();
    if (hasKernel)
        put(kKernelImageBaseName, image_maker::makeImage(image_maker::kernelImageSpec()));
    if (hasNormal)
        put(kNormalImageBaseName, image_maker::makeImage(image_maker::normalImageSpec()));
    getFwFileInfo(kernel, normal);
    expectFields(kernel, hasKernel);
    expectFields(normal, hasNormal);
}

INSTANTIATE_TEST_SUITE_P(Cases, FwFilePresence,
                         ::testing::Values(std::pair{true, true}, std::pair{true, false}, std::pair{false, true},
                                           std::pair{false, false}));

TEST_F(FwFileInfo, RevisionEndsAtZeroButKeepsABlank)
{
    readPatchedNormal(image_format::kRevisionOffset, "1.21\0"s);
    EXPECT_EQ(normal.revision(), "1.21");
    readPatchedNormal(image_format::kRevisionOffset, "1.21 ");
    EXPECT_EQ(normal.revision(), "1.21 ");
}

TEST_F(FwFileInfo, FullProductFieldYieldsAll29Characters)
{
    const std::string product = "KESTORY BD-RW KVL-MT38 FW 121";
    readPatchedNormal(image_format::kProductOffset, product);
    EXPECT_EQ(normal.product(), product);
}

TEST_F(FwFileInfo, BadBytesAndShortFiles)
{
    readPatchedNormal(image_format::kHardVersionOffset, "\xFF\xFEMT38HW");
    EXPECT_EQ(normal.hard_version(), std::nullopt);
    EXPECT_EQ(normal.dest_version(), "DEST0001");

    auto image = image_maker::makeImage(image_maker::normalImageSpec());
    image.resize(image_format::kHardVersionOffset + 4);
    put(kNormalImageBaseName, image);
    getFwFileInfo(kernel, normal);
    EXPECT_EQ(normal.hard_version(), "MT38");
    EXPECT_EQ(normal.date(), "");
}

TEST(Crc32, KnownVector)
{
    const std::string check = "123456789";
    EXPECT_EQ(image_format::crc32({reinterpret_cast<const std::uint8_t*>(check.data()), check.size()}), 0xCBF43926u);
}

TEST(MkImage, WritesSealedImagesWithTheSampleFields)
{
    TempDir dir;
    ASSERT_EQ(std::system((KDU_MKIMAGE_PATH " "s + dir.path()).c_str()), 0);
    const auto read = [&](const char* name) {
        std::ifstream in(dir.file(name), std::ios::binary);
        return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
    };
    const auto kernelImage = read("R7360500.121"), normalImage = read("R7360501.121");
    ASSERT_GE(kernelImage.size(), image_format::kKernelImageSentLength);
    EXPECT_EQ(normalImage.size() % 256, 0u);
    EXPECT_NE(normalImage.size() % 32768, 0u);
    // Only the first 70,144 bytes of the kernel image reach the drive; the seal covers them.
    EXPECT_TRUE(image_format::verifySeal(std::span(kernelImage).first(image_format::kKernelImageSentLength)));
    EXPECT_TRUE(image_format::verifySeal(normalImage));
    EXPECT_FALSE(image_format::verifySeal(std::span(normalImage).first(normalImage.size() - 1)));
    auto changed = normalImage;
    changed[image_format::kRevisionOffset] ^= 0x01;
    EXPECT_FALSE(image_format::verifySeal(changed));

    Util::setResourceDirectoryOverride(dir.path());
    FirmFileData kernel, normal;
    getFwFileInfo(kernel, normal);
    Util::setResourceDirectoryOverride(std::nullopt);
    expectFields(kernel, true);
    expectFields(normal, true);
}

}  // namespace
