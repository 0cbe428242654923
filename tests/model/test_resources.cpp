#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TempDir.h"
#include "model/Util.h"

using namespace std::string_literals;

namespace {

// Only a plain file name is looked up in the resource folder: no name reaches a folder or
// anything outside it, though a file is there.
class BadResourceName : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        dir_.write("field.bin", {'A'});
        std::filesystem::create_directory(dir_.file("sub"));
        dir_.write("sub/inner.bin", {1});
        Util::setResourceDirectoryOverride(dir_.path());
        ASSERT_NE(Util::openFile("field.bin"), nullptr);
    }
    void TearDown() override { Util::setResourceDirectoryOverride(std::nullopt); }

    TempDir dir_;
};

TEST_P(BadResourceName, IsRefused)
{
    EXPECT_EQ(Util::fullPath(GetParam()), std::nullopt);
    EXPECT_EQ(Util::openFile(GetParam()), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Names, BadResourceName,
                         ::testing::Values("", ".", "..", "sub", "sub/inner.bin", "/etc/passwd", "sub/../field.bin",
                                           "field.bin\0x"s));

}  // namespace
