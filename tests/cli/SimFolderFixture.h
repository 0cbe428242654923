// A temporary folder of simulated drives, and a state directory of its own so the demo
// folder kdu may create lands there too.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/sim/SimControl.h"

class SimFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/kdu-cli-XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        root_ = name;
        folder_ = root_ / "drives";
        std::filesystem::create_directory(folder_);
        ::setenv("XDG_STATE_HOME", (root_ / "state").c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(root_); }

    std::string simulate() const { return "--simulate=" + folder_.string(); }

    void attach(const std::string& name, const sim::DriveSpec& spec = sim::defaultTargetDrive()) {
        ASSERT_EQ(sim::attach(folder_, name, spec), std::nullopt);
    }
    static sim::DriveSpec withRevision(const std::string& revision) {
        sim::DriveSpec spec = sim::defaultTargetDrive();
        spec.revision = revision;
        return spec;
    }
    sim::DriveSpec load(const std::string& name) const {
        std::string error;
        const std::optional<sim::DriveSpec> spec = sim::loadDriveFile(sim::driveFilePath(folder_, name), error);
        EXPECT_TRUE(spec) << error;
        return spec.value_or(sim::DriveSpec{});
    }

    std::filesystem::path root_;
    std::filesystem::path folder_;
};
