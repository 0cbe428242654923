#include <gtest/gtest.h>

#include <cerrno>
#include <sstream>

#include "cli/PermissionHint.h"
#include "platform/AccessRefusals.h"

namespace {

std::string hintAfter(const std::vector<std::pair<std::string, int>>& refusals) {
    cli::PermissionWatch watch;
    for (const auto& [node, error] : refusals) platform::noteAccessRefused(node, error);
    std::ostringstream err;
    watch.printHint(err);
    return err.str();
}

}  // namespace

TEST(PermissionHintTest, NamesEachRefusedNodeOnceAndTheRule) {
    const std::string hint = hintAfter({{"/dev/sg3", EACCES}, {"/dev/sg4", EPERM}, {"/dev/sg3", EACCES}});
    EXPECT_NE(hint.find("(/dev/sg3, /dev/sg4: permission denied)"), std::string::npos) << hint;
    EXPECT_NE(hint.find("read-write access"), std::string::npos);
    EXPECT_NE(hint.find("70-kestory-drive-updater.rules"), std::string::npos);
}

TEST(PermissionHintTest, SilentWithoutRefusalsAndForgetsOldOnes) {
    EXPECT_EQ(hintAfter({}), "");
    platform::noteAccessRefused("/dev/sg9", EACCES);  // before the watch: another listing's
    EXPECT_EQ(hintAfter({}), "");
}
