// The eight version texts a drive reports and an image header carries, under the same names,
// so the eligibility rule compares them field by field.
#pragma once

#include <optional>
#include <string>

using OptionalText = std::optional<std::string>;

class VersionFields {
public:
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

private:
    OptionalText vendor_, product_, revision_, date_, hard_version_, krnl_version_, dest_version_, judgeKrnl_;
};
