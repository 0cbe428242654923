#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TempDir.h"
#include "model/Util.h"

using namespace std::string_literals;

namespace {

// Resource lookup pointed at a temporary folder holding small files.
class Resources : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string field = "ABCD\0EFGH0123456789"s;
        dir_.write("field.bin", {field.begin(), field.end()});
        std::filesystem::create_directory(dir_.file("sub"));
        dir_.write("sub/inner.bin", {1});
        Util::setResourceDirectoryOverride(dir_.path());
    }
    void TearDown() override { Util::setResourceDirectoryOverride(std::nullopt); }

    TempDir dir_;
};

TEST_F(Resources, FoundInTheOverrideOrBesideTheExecutable)
{
    EXPECT_EQ(Util::fullPath("field.bin"), dir_.file("field.bin"));
    EXPECT_EQ(Util::fullPath("missing.bin"), std::nullopt);
    EXPECT_EQ(Util::openFile("missing.bin"), nullptr);
    Util::setResourceDirectoryOverride(std::nullopt);
    const auto exe = std::filesystem::read_symlink("/proc/self/exe");
    EXPECT_EQ(Util::resourceDirectory(),
              (exe.parent_path().parent_path() / "share/kestory-drive-updater").lexically_normal().string());
}

class BadResourceName : public Resources, public ::testing::WithParamInterface<std::string> {};

TEST_P(BadResourceName, IsRefusedThoughAFileIsThere)
{
    EXPECT_EQ(Util::fullPath(GetParam()), std::nullopt);
    EXPECT_EQ(Util::openFile(GetParam()), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Names, BadResourceName,
                         ::testing::Values("", ".", "..", "sub", "sub/inner.bin", "/etc/passwd", "sub/../field.bin",
                                           "field.bin\0x"s));

struct ReadCase {
    std::uint64_t offset;
    std::int32_t length;
    OptionalText text;
};

class ReadField : public Resources, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadField, TextOfTheBytesRead)
{
    const auto handle = Util::openFile("field.bin");
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(Util::readFileWithUTF8String(*handle, GetParam().offset, GetParam().length), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadField,
                         ::testing::Values(ReadCase{0, 8, "ABCD"}, ReadCase{5, 4, "EFGH"}, ReadCase{9, 100, "0123456789"},
                                           ReadCase{1000, 4, ""}, ReadCase{~std::uint64_t{0} - 2, 8, ""},
                                           ReadCase{0, -1, ""}));

TEST_F(Resources, ReadsAreShortAtTheEndCutAt255AndAbsentWhenClosed)
{
    auto handle = Util::openFile("field.bin");
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(Util::readFile(*handle, 15, 100), (std::vector<std::uint8_t>{'6', '7', '8', '9'}));
    EXPECT_TRUE(Util::readFile(*handle, 19, 100).empty());
    handle->close();
    EXPECT_EQ(Util::readFileWithUTF8String(*handle, 0, 4), std::nullopt);
    Util::closeFile(handle);
    Util::closeFile(handle);  // absent handle is ignored
    EXPECT_EQ(handle, nullptr);

    dir_.write("long.bin", std::vector<std::uint8_t>(600, 'x'));
    auto longFile = Util::openFile("long.bin");
    ASSERT_NE(longFile, nullptr);
    EXPECT_EQ(Util::readFileWithUTF8String(*longFile, 0, 600)->size(), 255u);
}

}  // namespace
