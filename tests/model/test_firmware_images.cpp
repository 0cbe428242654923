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
namespace fmt = image_format;

namespace {

// Resource lookup pointed at a temporary folder into which each test puts images.
class FwFileInfo : public ::testing::Test {
protected:
    void SetUp() override { Util::setResourceDirectoryOverride(dir_.path()); }
    void TearDown() override { Util::setResourceDirectoryOverride(std::nullopt); }

    void put(const char* baseName, const image_maker::ImageSpec& profile, std::size_t cutAt = 0) {
        auto image = image_maker::makeImage(profile);
        if (cutAt)
            image.resize(cutAt);
        dir_.write(firmwareFileName(baseName), image);
    }

    TempDir dir_;
    FirmFileData kernel, normal;
};

class FwFilePresence : public FwFileInfo, public ::testing::WithParamInterface<std::pair<bool, bool>> {};

TEST_P(FwFilePresence, MissingImageLeavesItsRecordEmpty)
{
    const auto [hasKernel, hasNormal] = GetParam();
    if (hasKernel)
        put(kKernelImageBaseName, image_maker::kernelImageSpec());
    if (hasNormal)
        put(kNormalImageBaseName, image_maker::normalImageSpec());
    getFwFileInfo(kernel, normal);
    for (const FirmFileData* r : {&kernel, &normal}) {
        const bool present = r == &kernel ? hasKernel : hasNormal;
        const std::vector<OptionalText> fields{r->product(),      r->revision(),     r->date(),      r->hard_version(),
                                               r->krnl_version(), r->dest_version(), r->vendor(),    r->judgeKrnl()};
        const std::vector<OptionalText> sample{"KESTORY BD-RW KVL-MT38 FW", "1.21", "20261120", "MT38HW01",
                                               "KRNL0101", "DEST0001", std::nullopt, std::nullopt};
        EXPECT_EQ(r->isFileExists(), present);
        EXPECT_EQ(fields, present ? sample : std::vector<OptionalText>(8));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, FwFilePresence,
                         ::testing::Values(std::pair{true, true}, std::pair{true, false}, std::pair{false, true},
                                           std::pair{false, false}));

TEST_F(FwFileInfo, FieldsEndAtZeroKeepBlanksAndRefuseBadBytes)
{
    image_maker::ImageSpec profile = image_maker::normalImageSpec();
    profile.product = "KESTORY BD-RW KVL-MT38 FW 121";  // the whole field
    profile.revision = "1.2";
    profile.hardVersion = "\xFF\xFEMT38HW";
    put(kNormalImageBaseName, profile);
    getFwFileInfo(kernel, normal);
    EXPECT_EQ(normal.product(), profile.product);
    EXPECT_EQ(normal.revision(), "1.2");
    EXPECT_EQ(normal.hard_version(), std::nullopt);
    EXPECT_EQ(normal.dest_version(), "DEST0001");

    profile.revision = "1.21 ";
    profile.hardVersion = "MT38HW01";
    put(kNormalImageBaseName, profile, fmt::kHardVersionOffset + 4);  // a short file
    getFwFileInfo(kernel, normal);
    EXPECT_EQ(normal.revision(), "1.21 ");
    EXPECT_EQ(normal.hard_version(), "MT38");
    EXPECT_EQ(normal.date(), "");
}

// The CRC the drive checks the seal with, the program the build makes the shipped images
// with, and the seal refusing a changed image.
TEST(MkImage, WritesTheImagesOfTheSpecsWithTheDrivesCrc)
{
    const std::string check = "123456789";
    EXPECT_EQ(fmt::crc32({reinterpret_cast<const std::uint8_t*>(check.data()), check.size()}), 0xCBF43926u);

    TempDir dir;
    ASSERT_EQ(std::system((KDU_MKIMAGE_PATH " "s + dir.path() + " --binding " + dir.file("table.h")).c_str()), 0);
    const auto read = [&](const std::string& name) {
        std::ifstream in(dir.file(name), std::ios::binary);
        return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_EQ(read("R7360500.121"), image_maker::makeImage(image_maker::kernelImageSpec()));
    const auto normalImage = read("R7360501.121");
    EXPECT_EQ(normalImage, image_maker::makeImage(image_maker::normalImageSpec()));
    // The drive checks pieces written out of order against the whole seal.
    EXPECT_TRUE(fmt::verifySeal(normalImage));
    EXPECT_FALSE(fmt::verifySeal(std::span(normalImage).first(normalImage.size() - 1)));
    auto changed = normalImage;
    changed[fmt::kRevisionOffset] ^= 0x01;
    EXPECT_FALSE(fmt::verifySeal(changed));
}

}  // namespace
