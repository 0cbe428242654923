#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
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

std::vector<std::uint8_t> readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void expectEmpty(const FirmFileData& r)
{
    EXPECT_FALSE(r.isFileExists());
    EXPECT_FALSE(r.vendor() || r.product() || r.revision() || r.date() || r.hard_version() || r.krnl_version() ||
                 r.dest_version() || r.judgeKrnl());
}

void expectSampleFields(const FirmFileData& r)
{
    EXPECT_TRUE(r.isFileExists());
    EXPECT_EQ(r.product(), "KESTORY BD-RW KVL-MT38 FW");
    EXPECT_EQ(r.revision(), "1.21");
    EXPECT_EQ(r.date(), "20261120");
    EXPECT_EQ(r.hard_version(), "MT38HW01");
    EXPECT_EQ(r.krnl_version(), "KRNL0101");
    EXPECT_EQ(r.dest_version(), "DEST0001");
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

    void put(const char* baseName, const image_maker::ImageSpec& spec) {
        dir_.write(firmwareFileName(baseName), image_maker::makeImage(spec));
    }
    // The normal image with its header bytes at `offset` replaced.
    void putPatchedNormal(std::size_t offset, const std::string& bytes) {
        auto image = image_maker::makeImage(image_maker::normalImageSpec());
        std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
        dir_.write(firmwareFileName(kNormalImageBaseName), image);
    }

    TempDir dir_;
    FirmFileData kernel, normal;
};

TEST_F(FwFileInfo, BothPresent)
{
    put(kKernelImageBaseName, image_maker::kernelImageSpec());
    put(kNormalImageBaseName, image_maker::normalImageSpec());
    getFwFileInfo(kernel, normal);
    expectSampleFields(kernel);
    expectSampleFields(normal);
}

TEST_F(FwFileInfo, OnlyKernelPresent)
{
    put(kKernelImageBaseName, image_maker::kernelImageSpec());
    getFwFileInfo(kernel, normal);
    expectSampleFields(kernel);
    expectEmpty(normal);
}

TEST_F(FwFileInfo, OnlyNormalPresent)
{
    put(kNormalImageBaseName, image_maker::normalImageSpec());
    getFwFileInfo(kernel, normal);
    expectEmpty(kernel);
    expectSampleFields(normal);
}

TEST_F(FwFileInfo, NonePresent)
{
    getFwFileInfo(kernel, normal);
    expectEmpty(kernel);
    expectEmpty(normal);
}

TEST_F(FwFileInfo, RevisionWithZeroYieldsFourCharacters)
{
    putPatchedNormal(image_format::kRevisionOffset, "1.21\0"s);
    getFwFileInfo(kernel, normal);
    EXPECT_EQ(normal.revision(), "1.21");
}

TEST_F(FwFileInfo, RevisionWithBlankKeepsTheBlank)
{
    putPatchedNormal(image_format::kRevisionOffset, "1.21 ");
    getFwFileInfo(kernel, normal);
    EXPECT_EQ(normal.revision(), "1.21 ");
    EXPECT_EQ(Util::cmpCurVersion(normal.revision(), kTargetRevision), 0);
}

TEST_F(FwFileInfo, FullProductFieldYieldsAll29Characters)
{
    const std::string product = "KESTORY BD-RW KVL-MT38 FW 121";
    ASSERT_EQ(product.size(), image_format::kProductLength);
    putPatchedNormal(image_format::kProductOffset, product);
    getFwFileInfo(kernel, normal);
    EXPECT_EQ(normal.product(), product);
    EXPECT_EQ(normal.revision(), "1.21");  // the next field is not run into
}

TEST_F(FwFileInfo, InvalidUtf8FieldIsAbsent)
{
    putPatchedNormal(image_format::kHardVersionOffset, "\xFF\xFEMT38HW");
    getFwFileInfo(kernel, normal);
    EXPECT_TRUE(normal.isFileExists());
    EXPECT_EQ(normal.hard_version(), std::nullopt);
    EXPECT_EQ(normal.dest_version(), "DEST0001");
}

TEST_F(FwFileInfo, FileEndingInsideTheHeader)
{
    auto image = image_maker::makeImage(image_maker::normalImageSpec());
    image.resize(image_format::kHardVersionOffset + 4);
    dir_.write(firmwareFileName(kNormalImageBaseName), image);
    getFwFileInfo(kernel, normal);
    EXPECT_EQ(normal.revision(), "1.21");
    EXPECT_EQ(normal.hard_version(), "MT38");
    EXPECT_EQ(normal.dest_version(), "");
    EXPECT_EQ(normal.date(), "");
}

// --- the seal ------------------------------------------------------------------------

TEST(Crc32, KnownVector)
{
    const std::string check = "123456789";
    EXPECT_EQ(image_format::crc32({reinterpret_cast<const std::uint8_t*>(check.data()), check.size()}), 0xCBF43926u);
    EXPECT_EQ(image_format::crc32({}), 0u);
}

TEST(Seal, DetectsChangesInsideTheCoveredRegionOnly)
{
    auto spec = image_maker::normalImageSpec();
    spec.length = 4096;
    spec.sealedLength = 2048;
    auto image = image_maker::makeImage(spec);
    ASSERT_TRUE(image_format::verifySeal(image));

    image[3000] ^= 0xFF;  // beyond the covered length
    EXPECT_TRUE(image_format::verifySeal(image));
    image[image_format::kRevisionOffset] ^= 0x01;
    EXPECT_FALSE(image_format::verifySeal(image));
    image[image_format::kRevisionOffset] ^= 0x01;

    EXPECT_FALSE(image_format::verifySeal(std::span(image).first(2047)));  // covered length cut off
    EXPECT_FALSE(image_format::verifySeal(std::span(image).first(50)));
    image[0] = 'X';
    EXPECT_FALSE(image_format::verifySeal(image));
}

// --- the image maker's output ---------------------------------------------------------

TEST(MkImage, WritesSealedImagesWithTheSampleFields)
{
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const std::string command = std::string(KDU_MKIMAGE_PATH) + " " + dir.path();
    ASSERT_EQ(std::system(command.c_str()), 0);

    const auto kernelImage = readAll(dir.file("R7360500.121"));
    const auto normalImage = readAll(dir.file("R7360501.121"));
    EXPECT_GE(kernelImage.size(), image_format::kKernelImageSentLength);
    EXPECT_NE(normalImage.size() % 256, 0u);
    EXPECT_NE(normalImage.size() % 32768, 0u);
    // The drive sees only the first 70,144 bytes of the kernel image, and the seal covers them.
    EXPECT_TRUE(image_format::verifySeal(std::span(kernelImage).first(image_format::kKernelImageSentLength)));
    EXPECT_TRUE(image_format::verifySeal(normalImage));
    EXPECT_FALSE(image_format::verifySeal(std::span(normalImage).first(normalImage.size() - 1)));

    Util::setResourceDirectoryOverride(dir.path());
    FirmFileData kernel, normal;
    getFwFileInfo(kernel, normal);
    Util::setResourceDirectoryOverride(std::nullopt);
    expectSampleFields(kernel);
    expectSampleFields(normal);
    EXPECT_TRUE(Util::isTargetModel("BD-RW KVL-MT38"));
    EXPECT_NE(normal.product()->find("BD-RW KVL-MT38"), std::string::npos);
}

TEST(MkImage, RefusesFieldsTooWide)
{
    auto spec = image_maker::normalImageSpec();
    spec.revision = "1.21.0";
    EXPECT_TRUE(image_maker::makeImage(spec).empty());
}

}  // namespace
