// Shows the drive's install progress from "updateIndicatorNotify" values (65536 - v of
// 65536; a negative value ends it). On a terminal one line is redrawn in place, pinned
// below the diagnostics the update writes meanwhile; elsewhere a plain line is written
// per whole percent.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>

namespace cli {

class ProgressDisplay {
public:
    // `terminalRows` is the terminal's height when `out` is one, none otherwise.
    ProgressDisplay(std::ostream& out, std::optional<int> terminalRows);
    ProgressDisplay(const ProgressDisplay&) = delete;
    ProgressDisplay& operator=(const ProgressDisplay&) = delete;
    ~ProgressDisplay();  // leaves the terminal as it found it

    // The state before the drive reports any progress.
    void begin();
    void onValue(std::int64_t value);

    // Whole percent of the install done for a progress value (0..65535 -> 100..0).
    static int percentFor(std::int64_t value);

private:
    void drawBar(int percent);
    void finish();

    std::ostream& out_;
    std::optional<int> rows_;
    bool pinned_ = false;
    bool finished_ = false;
    int lastPercent_ = -1;
};

}  // namespace cli
