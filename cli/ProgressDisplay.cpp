#include "cli/ProgressDisplay.h"

#include <algorithm>
#include <string>

namespace cli {

namespace {

constexpr std::int64_t kProgressScale = 65536;
constexpr int kBarWidth = 40;
constexpr char kWritingText[] = "Writing firmware...";
// Below this height there is no room to keep a line apart from the scrolling output.
constexpr int kMinRowsToPin = 3;

std::string barText(int percent) {
    const int filled = percent * kBarWidth / 100;
    return "Installing firmware [" + std::string(filled, '#') + std::string(kBarWidth - filled, '-') + "] " +
           std::to_string(percent) + "%";
}

}  // namespace

ProgressDisplay::ProgressDisplay(std::ostream& out, std::optional<int> terminalRows) : out_(out), rows_(terminalRows) {}

ProgressDisplay::~ProgressDisplay() {
    if (!finished_) finish();
}

int ProgressDisplay::percentFor(std::int64_t value) {
    const std::int64_t v = std::clamp<std::int64_t>(value, 0, kProgressScale - 1);
    return static_cast<int>((kProgressScale - v) * 100 / kProgressScale);
}

void ProgressDisplay::begin() {
    if (!rows_) {
        out_ << kWritingText << std::endl;
        return;
    }
    if (*rows_ >= kMinRowsToPin) {
        // Keep the last row for the bar: scroll everything else above it.
        out_ << "\n\0337\033[1;" << (*rows_ - 1) << "r\0338\033[1A";
        pinned_ = true;
    }
    if (pinned_)
        out_ << "\0337\033[" << *rows_ << ";1H\033[K" << kWritingText << "\0338";
    else
        out_ << "\r\033[K" << kWritingText;
    out_.flush();
}

void ProgressDisplay::onValue(std::int64_t value) {
    if (finished_) return;
    if (value < 0) {
        finish();
        return;
    }
    const int percent = percentFor(value);
    if (percent == lastPercent_) return;
    lastPercent_ = percent;
    if (rows_)
        drawBar(percent);
    else
        out_ << "Installing firmware: " << percent << "%" << std::endl;
}

void ProgressDisplay::drawBar(int percent) {
    if (pinned_)
        out_ << "\0337\033[" << *rows_ << ";1H\033[K" << barText(percent) << "\0338";
    else
        out_ << "\r\033[K" << barText(percent);
    out_.flush();
}

void ProgressDisplay::finish() {
    finished_ = true;
    if (!rows_) return;
    if (pinned_) {
        // Give the whole screen back, clear the bar's row, and leave the final state in the log.
        out_ << "\0337\033[r\033[" << *rows_ << ";1H\033[K\0338";
        if (lastPercent_ >= 0) out_ << barText(lastPercent_) << "\n";
    } else {
        out_ << "\n";
    }
    out_.flush();
}

}  // namespace cli
