// Shows where an update is: the phase from UpdateHooks.progress ("Writing kernel image 3/3",
// "Writing firmware 412 KiB of 1535 KiB") and the drive's install progress from
// UpdateProgress.indicator values (65536 - v of 65536; a negative value ends it), with the
// time left once it can be estimated. On a terminal one line is redrawn in place; elsewhere
// a plain line is written when a phase begins and per 10 % of the install. Each line goes
// out in one write, so another writer sharing the stream never splits it.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "drive/UpdateReport.h"

namespace cli {

class ProgressDisplay {
public:
    using Clock = std::chrono::steady_clock;
    using Writer = std::function<void(std::string_view)>;

    // On a terminal each new text is written after this, so it replaces the line.
    static constexpr std::string_view kRedraw = "\r\033[K";

    ProgressDisplay(Writer write, bool terminal, std::function<Clock::time_point()> now = Clock::now);
    ProgressDisplay(const ProgressDisplay&) = delete;
    ProgressDisplay& operator=(const ProgressDisplay&) = delete;
    ~ProgressDisplay();  // ends a line left open on a terminal

    void onProgress(const UpdateProgress& progress);
    void onValue(std::int64_t value);
    // Ends the line on a terminal; later calls draw nothing.
    void finish();

    // "about 40 s left", "about 3 min left".
    static std::string timeLeftText(std::chrono::seconds left);

private:
    void show(const std::string& text, bool plainLine);
    std::optional<std::chrono::seconds> estimateLeft(double fraction);

    Writer write_;
    bool terminal_;
    std::function<Clock::time_point()> now_;
    bool finished_ = false;
    bool lineOpen_ = false;
    UpdateStep step_ = UpdateStep::CheckImages;
    bool stepShown_ = false;
    Clock::time_point phaseStart_{};
    double phaseStartFraction_ = 0;
    int lastDecade_ = -1;
    std::string lastText_;
};

}  // namespace cli
