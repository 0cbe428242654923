// kdu run as a user runs it, against a temporary folder of simulated drives; the state
// directory is the fixture's too, so a demo folder kdu makes lands there.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/sim/SimControl.h"

struct RunResult {
    int exitStatus = -1;  // -1 when kdu did not exit normally
    std::string out, err;
};

inline int exitStatusOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

// The shell line that runs kdu with these arguments (none of them holds a quote).
inline std::string kduLine(const std::vector<std::string>& args, const std::string& kdu = KDU_EXECUTABLE) {
    std::string line = "'" + kdu + "'";
    for (const std::string& a : args) line += " '" + a + "'";
    return line;
}

class SimFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/kdu-cli-XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        root_ = name;
        std::filesystem::create_directory(folder_ = root_ / "drives");
        ::setenv("XDG_STATE_HOME", (root_ / "state").c_str(), 1);
        // Update locks too, so they go with the folder.
        std::filesystem::create_directory(root_ / "runtime");
        ::setenv("XDG_RUNTIME_DIR", (root_ / "runtime").c_str(), 1);
        // kdu's update takes a sleep inhibitor: never from the machine's own logind here.
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + (root_ / "no-system-bus").string()).c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(root_); }

    std::string simulate() const { return "--simulate=" + folder_.string(); }

    // Runs kdu to its end, `input` on its standard input; stdout to a file unless `stdoutTo`
    // redirects it elsewhere (">/dev/full", ">&-").
    RunResult run(const std::vector<std::string>& args, const std::string& input = "", const std::string& stdoutTo = "") {
        const auto in = root_ / "in", out = root_ / "out", err = root_ / "err";
        std::ofstream(in) << input;
        std::ofstream(out).flush();
        const std::string redirect = stdoutTo.empty() ? " >" + out.string() : " " + stdoutTo;
        const int status =
            std::system((kduLine(args, kdu_) + " <" + in.string() + redirect + " 2>" + err.string()).c_str());
        return {exitStatusOf(status), slurp(out), slurp(err)};
    }
    static std::string slurp(const std::filesystem::path& path) {
        std::stringstream text;
        text << std::ifstream(path).rdbuf();
        return text.str();
    }

    // Validates `text` against docs/schema/<schema>.schema.json; the validator's complaints otherwise.
    std::string violations(const std::string& schema, const std::string& text, bool lines = false) {
        const std::filesystem::path data = root_ / "data.json", errors = root_ / "violations";
        std::ofstream(data) << text;
        const std::string line = "'" KDU_VALIDATOR "' '" KDU_SCHEMA_DIR "/" + schema + ".schema.json' '" +
                                 data.string() + "'" + (lines ? " --lines" : "") + " 2>'" + errors.string() + "'";
        const int status = std::system(line.c_str());
        return exitStatusOf(status) == 0 ? std::string() : "invalid:\n" + slurp(errors) + "in:\n" + text;
    }

    // A target drive whose file is the default one with `patch` merged in.
    void attach(const std::string& name, const nlohmann::json& patch = nlohmann::json::object()) {
        nlohmann::json doc = sim::toJson(sim::defaultTargetDrive());
        doc.merge_patch(patch);
        const auto path = sim::driveFilePath(folder_, name);
        std::ofstream(root_ / "drive.tmp") << doc.dump();
        std::filesystem::rename(root_ / "drive.tmp", path);  // a running kdu never sees half a file
    }
    // One JSON object per line.
    static std::vector<nlohmann::json> jsonLines(const std::string& text) {
        std::vector<nlohmann::json> objects;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            objects.push_back(nlohmann::json::parse(line, nullptr, false));
            EXPECT_TRUE(objects.back().is_object()) << "not one JSON object: " << line;
        }
        return objects;
    }
    // The updates `kdu history --json` shows, newest first.
    std::vector<nlohmann::json> history(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args{"history", "--json"};
        args.insert(args.end(), extra.begin(), extra.end());
        const RunResult result = run(args);
        EXPECT_EQ(result.exitStatus, 0) << result.err;
        return jsonLines(result.out);
    }
    sim::DriveSpec load(const std::string& name) const {
        std::string error;
        const std::optional<sim::DriveSpec> profile = sim::loadDriveFile(sim::driveFilePath(folder_, name), error);
        EXPECT_TRUE(profile) << error;
        return profile.value_or(sim::DriveSpec{});
    }

    std::filesystem::path root_, folder_;
    std::string kdu_ = KDU_EXECUTABLE;  // a test may run a copy
};
