// Header fields of one firmware image file. Not copyable: the window owns two of them.
#pragma once

#include "model/VersionFields.h"

class FirmFileData : public VersionFields {
public:
    FirmFileData() = default;
    FirmFileData(const FirmFileData&) = delete;
    FirmFileData& operator=(const FirmFileData&) = delete;

    bool isFileExists() const { return isFileExists_; }
    void setIsFileExists(bool v) { isFileExists_ = v; }

private:
    bool isFileExists_ = false;
};
