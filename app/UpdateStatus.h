// The status line's words for an update: one text per phase the sequence reports, and the
// drive's install progress with an estimate of the time left.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

#include "drive/UpdateReport.h"

// Shown from start-up until the first listing is in.
QString lookingForDrivesText();

class UpdateStatus {
public:
    // The text for a phase report; empty when the phase changes nothing a person sees.
    QString phase(const UpdateProgress& progress);
    // The text for the drive's progress value v (65536: nothing installed yet, 0: all),
    // reported at `nowMs` on any steady clock.
    QString install(std::int32_t v, std::int64_t nowMs);

private:
    // The first install report: when, and how far the drive was then.
    std::optional<std::pair<std::int64_t, std::int32_t>> installStart_;
};
