// Scoped ownership of one drive's interface chain and of its exclusive access, shared by
// the listing and the update sequence so that every way out gives everything back in order.
#pragma once

#include <chrono>
#include <thread>

#include "drive/STUCMethod.h"
#include "platform/IOTypes.h"
#include "platform/Registry.h"
#include "platform/SCSITaskLib.h"

namespace drive_access {

// The plug-in, MMC interface and task device interface of one drive. Released in the
// order task device interface, MMC interface, plug-in.
class DriveInterfaces {
public:
    explicit DriveInterfaces(platform::io_service_t service) {
        CreateDeviceInterfaceForAuthoringDevice(service, &plugIn_, &taskDevice_, &mmc_);
    }
    DriveInterfaces(const DriveInterfaces&) = delete;
    DriveInterfaces& operator=(const DriveInterfaces&) = delete;
    ~DriveInterfaces() {
        releaseTaskDevice();
        if (mmc_ != nullptr) mmc_->Release();
        if (plugIn_ != nullptr) platform::IODestroyPlugInInterface(plugIn_);
    }

    platform::SCSITaskDeviceInterface* taskDevice() const { return taskDevice_; }
    void releaseTaskDevice() {
        if (taskDevice_ != nullptr) taskDevice_->Release();
        taskDevice_ = nullptr;
    }

private:
    platform::IOCFPlugInInterface* plugIn_ = nullptr;
    platform::MMCDeviceInterface* mmc_ = nullptr;
    platform::SCSITaskDeviceInterface* taskDevice_ = nullptr;
};

// A listing holds each drive only while it asks it three questions, so a drive found busy
// is asked again a few times over about a second before the refusal stands.
struct AccessRetry {
    int tries = 6;
    std::chrono::milliseconds pause{200};
};

inline bool refusedAsBusy(platform::IOReturn result) {
    return result == platform::kIOReturnBusy || result == platform::kIOReturnExclusiveAccess;
}

// Exclusive access to a drive, given back at the end of the scope unless release() did it.
class ExclusiveAccess {
public:
    explicit ExclusiveAccess(platform::SCSITaskDeviceInterface* interface, AccessRetry retry = {})
        : interface_(interface), obtainResult_(interface->ObtainExclusiveAccess()) {
        for (int tried = 1; refusedAsBusy(obtainResult_) && tried < retry.tries; ++tried) {
            std::this_thread::sleep_for(retry.pause);
            obtainResult_ = interface->ObtainExclusiveAccess();
        }
        held_ = obtainResult_ == platform::kIOReturnSuccess;
    }
    ExclusiveAccess(const ExclusiveAccess&) = delete;
    ExclusiveAccess& operator=(const ExclusiveAccess&) = delete;
    ~ExclusiveAccess() {
        if (held_) interface_->ReleaseExclusiveAccess();
    }

    bool held() const { return held_; }
    platform::IOReturn obtainResult() const { return obtainResult_; }
    // Gives access back now and reports how that went; later calls do nothing.
    platform::IOReturn release() {
        if (!held_) return platform::kIOReturnSuccess;
        held_ = false;
        return interface_->ReleaseExclusiveAccess();
    }

private:
    platform::SCSITaskDeviceInterface* interface_;
    platform::IOReturn obtainResult_;
    bool held_;
};

// One counted reference to a service handle, dropped at the end of the scope.
class ServiceReference {
public:
    explicit ServiceReference(platform::io_service_t service) : service_(service) {}
    ServiceReference(const ServiceReference&) = delete;
    ServiceReference& operator=(const ServiceReference&) = delete;
    ~ServiceReference() {
        if (service_ != platform::IO_OBJECT_NULL) platform::IOObjectRelease(service_);
    }
    platform::io_service_t get() const { return service_; }

private:
    platform::io_service_t service_;
};

}  // namespace drive_access
