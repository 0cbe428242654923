// Shared by the drive suites: backend installation, the check that each open was given
// back, capture of stderr, log lines and progress notices, and images in a temporary
// resource folder.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "drive/DriveList.h"
#include "drive/STUCMethod.h"
#include "model/FirmwareImageFormat.h"
#include "model/FirmwareImages.h"
#include "model/ImageManifest.h"
#include "model/TempDir.h"
#include "model/Util.h"
#include "log/Log.h"
#include "support/FakeBackend.h"
#include "support/ImageBindingSubstitute.h"
#include "tools/ImageMaker.h"

namespace kdu::test {

using Bytes = std::vector<std::uint8_t>;
using ::testing::HasSubstr;

// Rows carry a name that names the test (found by argument-dependent lookup from the suites).
namespace {
template <typename Row>
    requires requires(const Row& row) { row.name; }
void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}
}  // namespace
inline constexpr auto kRowName = [](const auto& info) { return std::string(info.param.name); };

inline std::string stderrOf(const std::function<void()>& action) {
    ::testing::internal::CaptureStderr();
    action();
    return ::testing::internal::GetCapturedStderr();
}

// Update locks of this test process in a folder of its own (suites run side by side and
// name their drives alike), removed when the process ends, and no system bus.
inline void isolateRuntimeDirectory() {
    static const TempDir folder;
    const std::string path = folder.path().empty() ? "/tmp" : folder.path();
    ::setenv("XDG_RUNTIME_DIR", path.c_str(), 1);
    // Updates take a sleep inhibitor: never from the machine's own logind in a test.
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + path + "/no-system-bus").c_str(), 1);
}

// Installs a backend for the life of the scope.
struct InstalledBackend {
    explicit InstalledBackend(std::shared_ptr<platform::Backend> backend) {
        isolateRuntimeDirectory();
        platform::installBackend(std::move(backend));
    }
    ~InstalledBackend() { platform::installBackend(nullptr); }
};

// Each open of the drive was given back before the next, and nothing was sent after.
inline void expectEachOpenReleased(const FakeDrive& drive) {
    const std::vector<std::string> holds = drive.holds();
    for (std::size_t i = 0; i < holds.size(); ++i)
        EXPECT_EQ(holds[i], i % 2 == 0 ? "open" : "release") << drive.key() << " #" << i;
    EXPECT_EQ(holds.size() % 2, 0u) << drive.key() << " is still held";
}

class LogCapture {
public:
    LogCapture() {
        kdulog::setSyslogEnabled(false);
        kdulog::setLogSink([this](kdulog::LogLevel, const std::string& line) {
            std::lock_guard lock(mutex_);
            lines_.push_back(line);
        });
    }
    ~LogCapture() { kdulog::setLogSink(nullptr); }
    std::vector<std::string> lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        lines_.clear();
    }
    int count(const std::string& fragment) const {
        int n = 0;
        for (const std::string& line : lines()) n += line.find(fragment) != std::string::npos;
        return n;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

// The install's progress values an update reported to its own hook.
class ProgressCapture {
public:
    // A progress hook that keeps the values; `next` sees every report too.
    std::function<void(const UpdateProgress&)> hook(std::function<void(const UpdateProgress&)> next = {}) {
        return [this, next = std::move(next)](const UpdateProgress& p) {
            if (p.indicator) {
                std::lock_guard lock(mutex_);
                values_.push_back(*p.indicator);
            }
            if (next) next(p);
        };
    }
    std::vector<std::int64_t> values() const {
        std::lock_guard lock(mutex_);
        return values_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::int64_t> values_;
};

// A temporary folder that resource lookup points at while it lives. The writers named for
// the build (writeKernel, writeNormal, writeImagesFor, ship) also bind what they wrote, as
// the build binds the shipped images; writeManifest alone is a person regenerating it.
struct ResourceFolder : TempDir {
    ResourceFolder() { Util::setResourceDirectoryOverride(path()); }
    ~ResourceFolder() { Util::setResourceDirectoryOverride(std::nullopt); }
    std::string kernelFile() const { return file(firmwareFileName(kKernelImageBaseName)); }
    std::string normalFile() const { return file(firmwareFileName(kNormalImageBaseName)); }
    void writeKernel(std::size_t size = image_format::kKernelImageSentLength + 1000) const {
        write(firmwareFileName(kKernelImageBaseName),
              image_maker::makeImage({.length = size, .sealedLength = image_format::kKernelImageSentLength}));
        ship();
    }
    void writeNormal(std::size_t size) const {
        write(firmwareFileName(kNormalImageBaseName), image_maker::makeImage({.length = size, .seed = 2}));
        ship();
    }
    // Kernel and normal image whose headers carry these fields (the rest as the samples),
    // with the manifest: images shipped for exactly that record.
    void writeImagesFor(const FirmFileData& normal, std::size_t normalSize = 40000) const {
        image_maker::ImageSpec profile{.length = normalSize, .seed = 2};
        if (normal.hard_version()) profile.hardVersion = *normal.hard_version();
        if (normal.dest_version()) profile.destVersion = *normal.dest_version();
        write(firmwareFileName(kNormalImageBaseName), image_maker::makeImage(profile));
        writeKernel();
    }
    // The manifest of the images present now, as sha256sum would write it.
    void writeManifest() const {
        std::string error;
        if (!writeImageManifest(path(), error)) throw std::runtime_error(error);
    }
    // As the build does it: the manifest, and the images present now bound to their roles
    // (once both are there).
    void ship() const {
        writeManifest();
        if (std::filesystem::exists(kernelFile()) && std::filesystem::exists(normalFile())) binding_.bindImagesIn(path());
    }

private:
    mutable ImageBindingSubstitute binding_;
};

}  // namespace kdu::test
