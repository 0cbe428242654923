#include <gtest/gtest.h>

#include <sstream>

#include "cli/PermissionHint.h"
#include "log/Log.h"

namespace {

std::string hintAfter(const std::vector<std::string>& lines) {
    cli::PermissionWatch watch;
    for (const std::string& line : lines) watch.onLogLine(line);
    std::ostringstream err;
    watch.printHint(err);
    return err.str();
}

}  // namespace

TEST(PermissionHintTest, NamesTheRefusedNodeAndTheRule) {
    const std::string hint = hintAfter(
        {"LinuxTaskChannel::obtainExclusiveAccess(57) [ERR] cannot open /dev/sg3 for reading and writing "
         "(Permission denied): the drive needs read-write access",
         "GetDeviceInfo(40) [WAR] ObtainExclusiveAccess failed.(1) (0xe00002c1)"});
    EXPECT_NE(hint.find("/dev/sg3"), std::string::npos) << hint;
    EXPECT_NE(hint.find("read-write access"), std::string::npos);
    EXPECT_NE(hint.find("70-kestory-drive-updater.rules"), std::string::npos);
}

TEST(PermissionHintTest, SilentForOtherRefusals) {
    EXPECT_EQ(hintAfter({"GetDeviceInfo(40) [WAR] ObtainExclusiveAccess failed.(1) (0xe00002d5)"}), "");
    EXPECT_EQ(hintAfter({}), "");
}

TEST(PermissionHintTest, GathersWhatThePlatformLogs) {
    cli::PermissionWatch watch;
    kdulog::setSyslogEnabled(false);
    KDU_LOG_WAR("GetDeviceInfo", "ObtainExclusiveAccess failed.(1) (0x%08x)\n", 0xe00002c1u);
    std::ostringstream err;
    watch.printHint(err);
    EXPECT_NE(err.str().find("may not be opened"), std::string::npos);
}
