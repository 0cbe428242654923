#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TempDir.h"
#include "model/Util.h"

using namespace std::string_literals;

namespace {

// Points resource lookup at a temporary folder holding one small file.
class ResourceLookup : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.path().empty());
        dir_.write("field.bin", bytes("ABCD\0EFGH0123456789"s));
        Util::setResourceDirectoryOverride(dir_.path());
    }
    void TearDown() override { Util::setResourceDirectoryOverride(std::nullopt); }

    static std::vector<std::uint8_t> bytes(const std::string& s) { return {s.begin(), s.end()}; }

    TempDir dir_;
};

TEST_F(ResourceLookup, FindsFilesInTheOverride)
{
    EXPECT_EQ(Util::resourceDirectory(), dir_.path());
    EXPECT_EQ(Util::fullPath("field.bin"), dir_.file("field.bin"));
    EXPECT_NE(Util::openFile("field.bin"), nullptr);
    EXPECT_EQ(Util::fullPath("missing.bin"), std::nullopt);
    EXPECT_EQ(Util::openFile("missing.bin"), nullptr);
}

class BadResourceName : public ResourceLookup, public ::testing::WithParamInterface<std::string> {};

TEST_P(BadResourceName, IsRefused)
{
    // Each name would reach a real file if it were accepted.
    std::filesystem::create_directory(dir_.file("sub"));
    dir_.write("sub/inner.bin", {1});
    EXPECT_EQ(Util::fullPath(GetParam()), std::nullopt);
    EXPECT_EQ(Util::openFile(GetParam()), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Names, BadResourceName,
                         ::testing::Values("", ".", "..", "sub", "sub/inner.bin", "../" + std::string("x"),
                                           "/etc/passwd", "sub/../field.bin", "field.bin\0x"s));

TEST(ResourceDefault, BesideTheExecutable)
{
    Util::setResourceDirectoryOverride(std::nullopt);
    const auto exe = std::filesystem::read_symlink("/proc/self/exe");
    const auto expected = (exe.parent_path().parent_path() / "share/kestory-drive-updater").lexically_normal();
    ASSERT_TRUE(std::filesystem::is_directory(expected)) << "the build makes " << expected;
    EXPECT_EQ(Util::resourceDirectory(), expected.string());
}

struct ReadCase {
    std::uint64_t offset;
    std::int32_t length;
    OptionalText text;
};

class ReadField : public ResourceLookup, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadField, TextOfTheBytesRead)
{
    auto handle = Util::openFile("field.bin");
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(Util::readFileWithUTF8String(*handle, GetParam().offset, GetParam().length), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadField,
                         ::testing::Values(ReadCase{0, 8, "ABCD"}, ReadCase{5, 4, "EFGH"}, ReadCase{9, 100, "0123456789"},
                                           ReadCase{19, 4, ""}, ReadCase{1000, 4, ""},
                                           ReadCase{~std::uint64_t{0} - 2, 8, ""}, ReadCase{0, 0, ""}));

TEST_F(ResourceLookup, ReadFileIsShortAtTheEnd)
{
    auto handle = Util::openFile("field.bin");
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(Util::readFile(*handle, 15, 100), bytes("6789"));
    EXPECT_TRUE(Util::readFile(*handle, 19, 100).empty());
    EXPECT_TRUE(Util::readFile(*handle, 0, -1).empty());
}

TEST_F(ResourceLookup, FieldTextIsCutAt255Bytes)
{
    dir_.write("long.bin", std::vector<std::uint8_t>(600, 'x'));
    auto handle = Util::openFile("long.bin");
    ASSERT_NE(handle, nullptr);
    const auto text = Util::readFileWithUTF8String(*handle, 0, 600);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->size(), 255u);
}

TEST_F(ResourceLookup, ClosedHandleReadsNothing)
{
    auto handle = Util::openFile("field.bin");
    ASSERT_NE(handle, nullptr);
    handle->close();
    EXPECT_EQ(Util::readFileWithUTF8String(*handle, 0, 4), std::nullopt);
    Util::closeFile(handle);
    EXPECT_EQ(handle, nullptr);
    Util::closeFile(handle);  // absent handle is ignored
}

}  // namespace
