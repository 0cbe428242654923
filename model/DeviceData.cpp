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
    setDriveMode(other.driveMode_);
    setVendor(other.vendor_);
    setProduct(other.product_);
    setRevision(other.revision_);
    setDate(other.date_);
    setHard_version(other.hard_version_);
    setKrnl_version(other.krnl_version_);
    setDest_version(other.dest_version_);
    setJudgeKrnl(other.judgeKrnl_);
    setSame(other.same_);
    setSameNo(other.sameNo_);
    setIsEnableUpdate(other.isEnableUpdate_);
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
    driveMode_ = other.driveMode_;
    vendor_ = std::move(other.vendor_);
    product_ = std::move(other.product_);
    revision_ = std::move(other.revision_);
    date_ = std::move(other.date_);
    hard_version_ = std::move(other.hard_version_);
    krnl_version_ = std::move(other.krnl_version_);
    dest_version_ = std::move(other.dest_version_);
    judgeKrnl_ = std::move(other.judgeKrnl_);
    same_ = other.same_;
    sameNo_ = other.sameNo_;
    isEnableUpdate_ = other.isEnableUpdate_;
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
