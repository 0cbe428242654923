// One attached drive of the target model, as listed: identity, versions, flags.
#pragma once

#include <cstdint>

#include "model/Eligibility.h"
#include "model/VersionFields.h"
#include "scsi/DriveIdentity.h"

// The numbers are what JSON listings have always shown.
enum class DriveMode : std::uint8_t { Normal = 0, Kernel = 1 };

class DeviceData : public VersionFields {
public:
    // Who the drive is, taken when it was listed; what a confirmation names.
    const scsi::DriveIdentity& identity() const { return identity_; }
    void setIdentity(scsi::DriveIdentity v) { identity_ = std::move(v); }

    // A drive in its kernel mode reports the revision "0000".
    DriveMode driveMode() const { return revision() == "0000" ? DriveMode::Kernel : DriveMode::Normal; }
    // Numbered among identical drives (1, 2...); 0 when it has no twin.
    bool same() const { return sameNo_ != 0; }
    std::int32_t sameNo() const { return sameNo_; }
    void setSameNo(std::int32_t v) { sameNo_ = v; }
    bool isEnableUpdate() const { return eligibility_ == UpdateEligibility::Eligible; }
    // Why the drive may or may not be updated.
    UpdateEligibility eligibility() const { return eligibility_; }
    void setEligibility(UpdateEligibility v) { eligibility_ = v; }

    bool isPresenceDisc() const { return isPresenceDisc_; }
    void setIsPresenceDisc(bool v) { isPresenceDisc_ = v; }
    // While the drive installs firmware: what is left of it, 0xFFFF down to 0; none otherwise.
    const std::optional<std::uint16_t>& installProgress() const { return installProgress_; }
    void setInstallProgress(std::optional<std::uint16_t> v) { installProgress_ = v; }

private:
    scsi::DriveIdentity identity_;
    std::int32_t sameNo_ = 0;
    UpdateEligibility eligibility_ = UpdateEligibility::VersionsUnknown;
    bool isPresenceDisc_ = false;
    std::optional<std::uint16_t> installProgress_;
};

// Equality of two texts as the update logic uses it: false when either side is absent.
bool textEquals(const OptionalText& a, const OptionalText& b);
