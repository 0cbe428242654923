// The log's lines, and where the front end's routing sends them and the console texts.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "log/Console.h"
#include "log/Log.h"
#include "log/LogRouting.h"

using namespace kdulog;
namespace fs = std::filesystem;

TEST(LogTest, LinesCarryFunctionLineAndLevel) {
    setSyslogEnabled(false);
    std::vector<std::string> lines;
    setLogSink([&](LogLevel, const std::string& line) { lines.push_back(line); });
    ::testing::internal::CaptureStderr();
    logFormat(LogLevel::Error, "USBDeviceManager::start", 42, "set notify I/O First Match(%08x)", 0xe00002bcu);
    logLine(LogLevel::Warning, "GetDeviceInfo", 7, "ObtainExclusiveAccess failed.(1) (0x00000001)\n");
    const std::string err = ::testing::internal::GetCapturedStderr();
    setLogSink(nullptr);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "USBDeviceManager::start(42) [ERR] set notify I/O First Match(e00002bc)");
    EXPECT_EQ(lines[1], "GetDeviceInfo(7) [WAR] ObtainExclusiveAccess failed.(1) (0x00000001)");
    EXPECT_EQ(err, lines[0] + "\n" + lines[1] + "\n");
}

TEST(LogTest, DebugLinesOnlyWhenTurnedOn) {
    setSyslogEnabled(false);
    std::vector<std::string> lines;
    setLogSink([&](LogLevel, const std::string& line) { lines.push_back(line); });
    ::testing::internal::CaptureStderr();
    setDebugLogEnabled(false);
    KDU_LOG_DBG("SystemSleepInhibitor::SystemSleepInhibitor", "no system bus (%d)", 2);
    setDebugLogEnabled(true);
    logFormat(LogLevel::Debug, "SystemSleepInhibitor::SystemSleepInhibitor", 9, "no system bus (%d)", 2);
    setDebugLogEnabled(false);
    const std::string err = ::testing::internal::GetCapturedStderr();
    setLogSink(nullptr);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "SystemSleepInhibitor::SystemSleepInhibitor(9) [DBG] no system bus (2)");
    EXPECT_EQ(err, lines[0] + "\n");
}

namespace {

std::string readFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class RoutingTest : public ::testing::Test {
protected:
    void SetUp() override {
        setSyslogEnabled(false);
        dir_ = fs::temp_directory_path() / ("kdu-log-test-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
    }
    void TearDown() override {
        resetRouting();
        fs::remove_all(dir_);
    }
    fs::path dir_;
};

}  // namespace

TEST_F(RoutingTest, UnroutedConsoleTextsKeepTheirStreams) {
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    consoleOut("write..(%d) 0x%x \n", 3, 0x167d00);
    consoleErr("taskStatus[0x%08x]\n", 0u);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "taskStatus[0x00000000]\n");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "write..(3) 0x167d00 \n");
}

TEST_F(RoutingTest, RoutedTextsGoToTheFileOnlyUnlessVerbose) {
    const fs::path file = dir_ / "state" / "kdu.log";
    for (const bool verbose : {false, true}) {
        SCOPED_TRACE(verbose);
        fs::remove_all(dir_);
        ASSERT_EQ(setRouting({file, 1u << 20, verbose}), std::nullopt);
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        consoleOut("write completed.\n");
        logLine(LogLevel::Warning, "GetDeviceInfo", 7, "gone");
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
        const std::string expected = "write completed.\nGetDeviceInfo(7) [WAR] gone\n";
        EXPECT_EQ(readFile(file), expected);
        EXPECT_EQ(err, verbose ? expected : "");
    }
}

TEST_F(RoutingTest, AFullFileIsRotatedToDotOne) {
    const fs::path file = dir_ / "kdu.log";
    ASSERT_EQ(setRouting({file, 100, false}), std::nullopt);
    const std::string line(40, 'a');
    for (int i = 0; i < 3; ++i) consoleErr("%s%d\n", line.c_str(), i);  // 42 bytes each
    EXPECT_EQ(readFile(file), line + "2\n");
    EXPECT_EQ(readFile(fs::path(file) += ".1"), line + "0\n" + line + "1\n");
    for (int i = 3; i < 6; ++i) consoleErr("%s%d\n", line.c_str(), i);
    EXPECT_LE(fs::file_size(file), 100u);
    EXPECT_EQ(readFile(fs::path(file) += ".1"), line + "2\n" + line + "3\n");
}

TEST_F(RoutingTest, AnUnwritableFileIsReportedAndStderrStillChosen) {
    fs::create_directories(dir_);
    const fs::path file = dir_ / "dir-not-file";
    fs::create_directories(file);
    const std::optional<std::string> error = setRouting({file, 1u << 20, true});
    ASSERT_TRUE(error);
    EXPECT_NE(error->find(file.string()), std::string::npos);
    ::testing::internal::CaptureStderr();
    consoleErr("last one\n");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "last one\n");
}

TEST(LogFileTest, LivesInTheStateDirectory) {
    const char* old = std::getenv("XDG_STATE_HOME");
    const std::string saved = old ? old : "";
    ::setenv("XDG_STATE_HOME", "/x/state", 1);
    EXPECT_EQ(defaultLogFile("kdu.log"), fs::path("/x/state/kestory-drive-updater/kdu.log"));
    if (old) ::setenv("XDG_STATE_HOME", saved.c_str(), 1); else ::unsetenv("XDG_STATE_HOME");
}
