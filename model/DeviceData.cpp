#include "model/DeviceData.h"

#include "platform/Registry.h"

DeviceData::DeviceData(const DeviceData& other)
{
    *this = other;
}

DeviceData& DeviceData::operator=(const DeviceData& other)
{
    // Field by field through the setters, the handle first, so the copy takes a reference
    // of its own and texts are private copies.
    setScsiDevice(other.scsiDevice_);
    setIdentity(other.identity_);
    VersionFields::operator=(other);
    setSameNo(other.sameNo_);
    setEligibility(other.eligibility_);
    setIsPresenceDisc(other.isPresenceDisc_);
    setInstallProgress(other.installProgress_);
    return *this;
}

DeviceData::DeviceData(DeviceData&& other) noexcept
{
    *this = std::move(other);
}

DeviceData& DeviceData::operator=(DeviceData&& other) noexcept
{
    if (this == &other)
        return *this;
    setScsiDevice(platform::IO_OBJECT_NULL);
    scsiDevice_ = other.scsiDevice_;  // the reference moves with the handle
    other.scsiDevice_ = platform::IO_OBJECT_NULL;
    identity_ = std::move(other.identity_);
    VersionFields::operator=(std::move(other));
    sameNo_ = other.sameNo_;
    eligibility_ = other.eligibility_;
    isPresenceDisc_ = other.isPresenceDisc_;
    installProgress_ = other.installProgress_;
    return *this;
}

DeviceData::~DeviceData()
{
    setScsiDevice(platform::IO_OBJECT_NULL);
}

void DeviceData::setScsiDevice(platform::io_service_t device)
{
    // Retain before releasing: when the record holds the only reference to `device`,
    // releasing first would free the handle before it could be taken again.
    // A handle that cannot be retained is not stored, so the record never releases a
    // reference it does not hold.
    platform::io_service_t held = platform::IO_OBJECT_NULL;
    if (device != platform::IO_OBJECT_NULL && platform::IOObjectRetain(device) == platform::kIOReturnSuccess)
        held = device;
    if (scsiDevice_ != platform::IO_OBJECT_NULL)
        platform::IOObjectRelease(scsiDevice_);
    scsiDevice_ = held;
}

bool textEquals(const OptionalText& a, const OptionalText& b)
{
    return a.has_value() && b.has_value() && *a == *b;
}
