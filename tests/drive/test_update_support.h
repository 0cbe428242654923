// Helpers shared by the listing, update and end-to-end tests: generated firmware images
// in a temporary resource folder, capture of log lines and notifications, and a drive
// whose exclusive access cannot be given back.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "model/FirmwareImageFormat.h"
#include "model/FirmwareImages.h"
#include "model/NotificationNames.h"
#include "model/Util.h"
#include "platform/Backend.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"

namespace kdu::test {

struct ImageHeader {
    std::string product = "BD-RW KVL-MT38";
    std::string revision = "1.21";
    std::string hardVersion = "HW000001";
    std::string kernelVersion = "KV000001";
    std::string destVersion = "DEST0001";
    std::string date = "20240501";
};

// An image of `size` bytes: header fields at their offsets, a recognisable body, and the
// seal over the first `sealedLength` bytes (all of them when 0).
inline std::vector<std::uint8_t> makeImage(std::size_t size, const ImageHeader& header = {},
                                           std::size_t sealedLength = 0) {
    std::vector<std::uint8_t> image(size);
    for (std::size_t i = 0; i < size; ++i) image[i] = static_cast<std::uint8_t>((i * 7 + 3) % 251 + 1);
    const auto put = [&](std::size_t offset, std::size_t length, const std::string& text) {
        for (std::size_t i = 0; i < length && offset + i < size; ++i)
            image[offset + i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0;
    };
    namespace f = image_format;
    put(f::kProductOffset, f::kProductLength, header.product);
    put(f::kRevisionOffset, f::kRevisionLength, header.revision);
    put(f::kHardVersionOffset, f::kHardVersionLength, header.hardVersion);
    put(f::kKernelVersionOffset, f::kKernelVersionLength, header.kernelVersion);
    put(f::kDestVersionOffset, f::kDestVersionLength, header.destVersion);
    put(f::kDateOffset, f::kDateLength, header.date);
    if (size >= f::kHeaderLength)
        f::sealImage(image, static_cast<std::uint32_t>(sealedLength ? sealedLength : size));
    return image;
}

// A temporary resource folder that the resource lookup points at for its lifetime.
class ResourceFolder {
public:
    ResourceFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kdu-drive-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
        Util::setResourceDirectoryOverride(path_.string());
    }
    ResourceFolder(const ResourceFolder&) = delete;
    ResourceFolder& operator=(const ResourceFolder&) = delete;
    ~ResourceFolder() {
        Util::setResourceDirectoryOverride(std::nullopt);
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

    const std::filesystem::path& path() const { return path_; }
    void write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
        std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    void writeKernel(std::size_t size = image_format::kKernelImageSentLength + 1000) const {
        write(firmwareFileName(kKernelImageBaseName), makeImage(size, {}, image_format::kKernelImageSentLength));
    }
    void writeNormal(std::size_t size, const ImageHeader& header = {}) const {
        write(firmwareFileName(kNormalImageBaseName), makeImage(size, header));
    }
    void remove(const std::string& name) const { std::filesystem::remove(path_ / name); }

private:
    std::filesystem::path path_;
};

// Log lines written while it lives.
class LogCapture {
public:
    LogCapture() {
        platform::setSyslogEnabled(false);
        platform::setLogSink([this](platform::LogLevel, const std::string& line) {
            std::lock_guard lock(mutex_);
            lines_.push_back(line);
        });
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    ~LogCapture() { platform::setLogSink(nullptr); }

    std::vector<std::string> lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    int count(const std::string& fragment) const {
        int n = 0;
        for (const std::string& line : lines())
            if (line.find(fragment) != std::string::npos) ++n;
        return n;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

// Values of "updateIndicatorNotify" posted while it lives.
class ProgressCapture {
public:
    ProgressCapture() {
        platform::NotificationCenter::defaultCenter().addObserver(
            this, kUpdateIndicatorNotify, [this](const platform::Notification& n) {
                std::lock_guard lock(mutex_);
                values_.push_back(n.object.value_or(INT64_MIN));
            });
    }
    ProgressCapture(const ProgressCapture&) = delete;
    ProgressCapture& operator=(const ProgressCapture&) = delete;
    ~ProgressCapture() { platform::NotificationCenter::defaultCenter().removeObserver(this); }

    std::vector<std::int64_t> values() const {
        std::lock_guard lock(mutex_);
        return values_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::int64_t> values_;
};

// A drive whose channel gives exclusive access back but reports that it could not.
class ReleaseRefusingNode : public platform::DeviceNode {
public:
    explicit ReleaseRefusingNode(std::shared_ptr<platform::DeviceNode> inner) : inner_(std::move(inner)) {}
    std::string key() const override { return inner_->key(); }
    platform::IOReturn className(std::string& out) const override { return inner_->className(out); }
    platform::IOReturn createPlugIn() override { return inner_->createPlugIn(); }
    platform::HRESULT queryMMCInterface() override { return inner_->queryMMCInterface(); }
    std::unique_ptr<platform::TaskChannel> openTaskChannel() override {
        std::unique_ptr<platform::TaskChannel> channel = inner_->openTaskChannel();
        if (!channel) return nullptr;
        return std::make_unique<Channel>(std::move(channel));
    }

private:
    struct Channel : platform::TaskChannel {
        explicit Channel(std::unique_ptr<platform::TaskChannel> c) : inner(std::move(c)) {}
        platform::IOReturn obtainExclusiveAccess() override { return inner->obtainExclusiveAccess(); }
        platform::IOReturn releaseExclusiveAccess() override {
            inner->releaseExclusiveAccess();
            return platform::kIOReturnNotPermitted;
        }
        bool canCreateTask() override { return inner->canCreateTask(); }
        platform::IOReturn execute(const platform::ScsiCommand& c, platform::ScsiOutcome& out) override {
            return inner->execute(c, out);
        }
        std::unique_ptr<platform::TaskChannel> inner;
    };
    std::shared_ptr<platform::DeviceNode> inner_;
};

// A backend that lists another backend's drives, with chosen ones replaced.
class SubstitutingBackend : public platform::Backend {
public:
    explicit SubstitutingBackend(std::shared_ptr<platform::Backend> inner) : inner_(std::move(inner)) {}
    void substitute(std::shared_ptr<platform::DeviceNode> node) { substitutes_.push_back(std::move(node)); }

    std::string name() const override { return inner_->name(); }
    std::vector<std::shared_ptr<platform::DeviceNode>> authoringDevices() override {
        std::vector<std::shared_ptr<platform::DeviceNode>> nodes = inner_->authoringDevices();
        for (auto& node : nodes)
            for (const auto& s : substitutes_)
                if (s->key() == node->key()) node = s;
        return nodes;
    }
    std::unique_ptr<platform::EventSource> createDeviceEventSource() override {
        return inner_->createDeviceEventSource();
    }
    std::unique_ptr<platform::EventSource> createDiskEventSource() override { return inner_->createDiskEventSource(); }
    std::vector<platform::DiskDescription> presentDisks() override { return inner_->presentDisks(); }

private:
    std::shared_ptr<platform::Backend> inner_;
    std::vector<std::shared_ptr<platform::DeviceNode>> substitutes_;
};

}  // namespace kdu::test
