#include "bench/BenchSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

#include "drive/STUCMethod.h"
#include "model/FirmwareImages.h"
#include "model/ImageManifest.h"
#include "model/Util.h"
#include "log/Log.h"
#include "platform/Registry.h"
#include "platform/sim/SimControl.h"
#include "tools/ImageMaker.h"

namespace bench {

SimulatedDrives::SimulatedDrives() {
    char pattern[] = "/tmp/kdu-bench-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    folder_ = root_ / "drives";
    resources_ = root_ / "resources";
    std::filesystem::create_directories(folder_);
    std::filesystem::create_directories(resources_);
    kdulog::setSyslogEnabled(false);
    backend_ = sim::makeSimBackend(folder_);
    backend_->setRecording(false);  // as the front ends run it
    platform::installBackend(backend_);
}

SimulatedDrives::~SimulatedDrives() {
    platform::installBackend(nullptr);
    Util::setResourceDirectoryOverride(std::nullopt);
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

void SimulatedDrives::attach(const std::string& name, const sim::DriveSpec& profile) {
    if (auto error = sim::attach(folder_, name, profile)) throw std::runtime_error(*error);
}

void SimulatedDrives::provideImages(std::size_t normalLength) {
    image_maker::ImageSpec kernel = image_maker::kernelImageSpec();
    image_maker::ImageSpec normal = image_maker::normalImageSpec();
    normal.length = normalLength;
    image_maker::writeFileAtomically((resources_ / firmwareFileName(kKernelImageBaseName)).string(),
                                     image_maker::makeImage(kernel));
    image_maker::writeFileAtomically((resources_ / firmwareFileName(kNormalImageBaseName)).string(),
                                     image_maker::makeImage(normal));
    std::string error;
    if (!writeImageManifest(resources_, error)) throw std::runtime_error(error);
    Util::setResourceDirectoryOverride(resources_.string());
}

OpenDrive::OpenDrive() {
    auto nodes = platform::backend().authoringDevices();
    if (nodes.empty()) throw std::runtime_error("no simulated drive");
    service_ = platform::registry::retainService(nodes.front());
    CreateDeviceInterfaceForAuthoringDevice(service_, &plugIn_, &interface_, &mmc_);
    if (!interface_) throw std::runtime_error("no task device interface");
}

OpenDrive::~OpenDrive() {
    if (interface_) interface_->Release();
    if (mmc_) mmc_->Release();
    if (plugIn_) platform::IODestroyPlugInInterface(plugIn_);
    platform::IOObjectRelease(service_);
}

QuietStreams::QuietStreams() {
    std::fflush(stdout);
    std::fflush(stderr);
    savedOut_ = dup(STDOUT_FILENO);
    savedErr_ = dup(STDERR_FILENO);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    close(null);
}

QuietStreams::~QuietStreams() {
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(savedOut_, STDOUT_FILENO);
    dup2(savedErr_, STDERR_FILENO);
    close(savedOut_);
    close(savedErr_);
}

}  // namespace bench
