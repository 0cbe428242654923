// The log's lines, and where the front end's routing sends them and the console texts.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "log/Console.h"
#include "log/Format.h"
#include "log/Log.h"
#include "log/LogRouting.h"

using namespace kdulog;
namespace fs = std::filesystem;

// Each line names its function, line and level, on stderr and to the sink; debug lines only
// while turned on.
TEST(LogTest, LinesCarryFunctionLineAndLevel) {
    setSyslogEnabled(false);
    std::vector<std::string> lines;
    setLogSink([&](LogLevel, const std::string& line) { lines.push_back(line); });
    ::testing::internal::CaptureStderr();
    logFormat(LogLevel::Error, "USBDeviceManager::start", 42, "set notify I/O First Match(%08x)", 0xe00002bcu);
    logLine(LogLevel::Warning, "GetDeviceInfo", 7, "ObtainExclusiveAccess failed.(1) (0x00000001)\n");
    setDebugLogEnabled(false);
    KDU_LOG_DBG("SystemSleepInhibitor::SystemSleepInhibitor", "no system bus (%d)", 1);
    setDebugLogEnabled(true);
    logFormat(LogLevel::Debug, "SystemSleepInhibitor::SystemSleepInhibitor", 9, "no system bus (%d)", 2);
    setDebugLogEnabled(false);
    const std::string err = ::testing::internal::GetCapturedStderr();
    setLogSink(nullptr);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "USBDeviceManager::start(42) [ERR] set notify I/O First Match(e00002bc)");
    EXPECT_EQ(lines[1], "GetDeviceInfo(7) [WAR] ObtainExclusiveAccess failed.(1) (0x00000001)");
    EXPECT_EQ(lines[2], "SystemSleepInhibitor::SystemSleepInhibitor(9) [DBG] no system bus (2)");
    EXPECT_EQ(err, lines[0] + "\n" + lines[1] + "\n" + lines[2] + "\n");
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

struct EscapeCase {
    const char* name;
    std::string text;
    bool keepLineBreaks;
    std::string shown;
};

class EscapeTest : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(EscapeTest, ShowsWhatATerminalWouldActOnAsHex) {
    const EscapeCase& c = GetParam();
    EXPECT_EQ(escapeControls(c.text, c.keepLineBreaks), c.shown);
    EXPECT_EQ(escapeControls(c.shown, c.keepLineBreaks), c.shown) << "escaping twice changes nothing";
}

INSTANTIATE_TEST_SUITE_P(
    Texts, EscapeTest,
    ::testing::Values(EscapeCase{"Plain", "KRNL0101 1.20", false, "KRNL0101 1.20"},
                      EscapeCase{"ColourSequence", "KRN\x1b[31m", false, "KRN\\x1b[31m"},
                      EscapeCase{"TitleSequence", "a\x1b]0;x\x07", false, "a\\x1b]0;x\\x07"},
                      EscapeCase{"CarriageReturnAndDel", "ab\r\x7f", false, "ab\\x0d\\x7f"},
                      EscapeCase{"Nul", std::string("a\0b", 3), false, "a\\x00b"},
                      EscapeCase{"LineBreak", "a\nb\n", false, "a\\x0ab\\x0a"},
                      EscapeCase{"LineBreakKept", "a\tb\n", true, "a\\x09b\n"},
                      EscapeCase{"C1AsUtf8", "a\xc2\x9b" "31m", false, "a\\xc2\\x9b31m"},
                      EscapeCase{"C1AsByte", "a\x9b" "31m", false, "a\\x9b31m"},
                      EscapeCase{"NotUtf8", "\xff\xc3(", false, "\\xff\\xc3("},
                      EscapeCase{"Overlong", "\xc0\xaf", false, "\\xc0\\xaf"},
                      EscapeCase{"Cut", "ab\xe2\x82", false, "ab\\xe2\\x82"},
                      EscapeCase{"PrintableUtf8Stays", "Urlaub \xc3\x84 \xe2\x82\xac \xf0\x9f\x92\xbf", false,
                                 "Urlaub \xc3\x84 \xe2\x82\xac \xf0\x9f\x92\xbf"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(RoutingTest, DriveTextInLinesAndConsoleTextsIsEscaped) {
    const fs::path file = dir_ / "kdu.log";
    ASSERT_EQ(setRouting({file, 1u << 20, false}), std::nullopt);
    consoleErr("Found device class \"%s\" using .\n", "Sim\x1b]0;x\x07");
    logFormat(LogLevel::Error, "ExecUpdateMain", 3, "revision \"%s\"\nforged line", "1\x1b[m");
    EXPECT_EQ(readFile(file), "Found device class \"Sim\\x1b]0;x\\x07\" using .\n"
                              "ExecUpdateMain(3) [ERR] revision \"1\\x1b[m\"\\x0aforged line\n");
}

struct PlantedFile {
    const char* name;
    const char* kind;
    std::function<void(const fs::path& file, const fs::path& elsewhere)> plant;
};

class PlantedLogFileTest : public RoutingTest, public ::testing::WithParamInterface<PlantedFile> {};

// Whoever can write the state directory can put anything there: it is neither followed nor
// waited on (a FIFO without a reader would block the opening for ever), and lines go on to
// stderr when asked.
TEST_P(PlantedLogFileTest, IsRefusedWithOneLine) {
    const fs::path file = dir_ / "kdu.log", elsewhere = dir_ / "elsewhere";
    fs::create_directories(dir_);
    GetParam().plant(file, elsewhere);
    const std::optional<std::string> error = setRouting({file, 1u << 20, true});
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, "the log file " + file.string() + " is " + GetParam().kind + ", not a regular file");
    ::testing::internal::CaptureStderr();
    consoleErr("still said\n");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "still said\n");
    EXPECT_FALSE(fs::exists(elsewhere) && fs::file_size(elsewhere) > 0) << "written through the link";
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, PlantedLogFileTest,
    ::testing::Values(
        PlantedFile{"Fifo", "a FIFO", [](const fs::path& f, const fs::path&) { ASSERT_EQ(::mkfifo(f.c_str(), 0600), 0); }},
        PlantedFile{"LinkToAFile", "a symbolic link",
                    [](const fs::path& f, const fs::path& e) {
                        std::ofstream(e).flush();
                        fs::create_symlink(e, f);
                    }},
        PlantedFile{"DanglingLink", "a symbolic link", [](const fs::path& f, const fs::path& e) { fs::create_symlink(e, f); }},
        PlantedFile{"Directory", "a directory", [](const fs::path& f, const fs::path&) { fs::create_directories(f); }}),
    [](const auto& row) { return std::string(row.param.name); });
