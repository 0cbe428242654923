// One attached drive of the target model: identity, versions, flags, and one counted
// reference to the drive's service handle. Copying takes a reference of its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "model/Eligibility.h"
#include "platform/DriveIdentity.h"
#include "platform/IOTypes.h"

using OptionalText = std::optional<std::string>;

class DeviceData {
public:
    DeviceData() = default;
    DeviceData(const DeviceData& other);             // the record's copy: fields through the setters
    DeviceData& operator=(const DeviceData& other);
    DeviceData(DeviceData&& other) noexcept;         // moves the reference, leaves `other` with none
    DeviceData& operator=(DeviceData&& other) noexcept;
    ~DeviceData();

    platform::io_service_t scsiDevice() const { return scsiDevice_; }
    // Releases the held reference (if any), stores `device` and takes a reference on it.
    void setScsiDevice(platform::io_service_t device);

    // Who the drive is, taken when it was listed; what a confirmation names.
    const platform::DriveIdentity& identity() const { return identity_; }
    void setIdentity(platform::DriveIdentity v) { identity_ = std::move(v); }

    std::int32_t driveMode() const { return driveMode_; }
    void setDriveMode(std::int32_t v) { driveMode_ = v; }
    const OptionalText& vendor() const { return vendor_; }
    void setVendor(OptionalText v) { vendor_ = std::move(v); }
    const OptionalText& product() const { return product_; }
    void setProduct(OptionalText v) { product_ = std::move(v); }
    const OptionalText& revision() const { return revision_; }
    void setRevision(OptionalText v) { revision_ = std::move(v); }
    const OptionalText& date() const { return date_; }
    void setDate(OptionalText v) { date_ = std::move(v); }
    const OptionalText& hard_version() const { return hard_version_; }
    void setHard_version(OptionalText v) { hard_version_ = std::move(v); }
    const OptionalText& krnl_version() const { return krnl_version_; }
    void setKrnl_version(OptionalText v) { krnl_version_ = std::move(v); }
    const OptionalText& dest_version() const { return dest_version_; }
    void setDest_version(OptionalText v) { dest_version_ = std::move(v); }
    const OptionalText& judgeKrnl() const { return judgeKrnl_; }
    void setJudgeKrnl(OptionalText v) { judgeKrnl_ = std::move(v); }
    bool same() const { return same_; }
    void setSame(bool v) { same_ = v; }
    std::int32_t sameNo() const { return sameNo_; }
    void setSameNo(std::int32_t v) { sameNo_ = v; }
    bool isEnableUpdate() const { return isEnableUpdate_; }
    void setIsEnableUpdate(bool v) { isEnableUpdate_ = v; }
    // Why the drive may or may not be updated; isEnableUpdate is true exactly when Eligible.
    UpdateEligibility eligibility() const { return eligibility_; }
    void setEligibility(UpdateEligibility v) { eligibility_ = v; }

    bool isPresenceDisc() const { return isPresenceDisc_; }
    void setIsPresenceDisc(bool v) { isPresenceDisc_ = v; }
    // While the drive installs firmware: what is left of it, 0xFFFF down to 0; none otherwise.
    const std::optional<std::uint16_t>& installProgress() const { return installProgress_; }
    void setInstallProgress(std::optional<std::uint16_t> v) { installProgress_ = v; }

private:
    platform::io_service_t scsiDevice_ = platform::IO_OBJECT_NULL;
    platform::DriveIdentity identity_;
    std::int32_t driveMode_ = 0;
    OptionalText vendor_, product_, revision_, date_;
    OptionalText hard_version_, krnl_version_, dest_version_, judgeKrnl_;
    bool same_ = false;
    std::int32_t sameNo_ = 0;
    bool isEnableUpdate_ = false;
    UpdateEligibility eligibility_ = UpdateEligibility::VersionsUnknown;
    bool isPresenceDisc_ = false;
    std::optional<std::uint16_t> installProgress_;
};

// Equality of two texts as the update logic uses it: false when either side is absent.
bool textEquals(const OptionalText& a, const OptionalText& b);
