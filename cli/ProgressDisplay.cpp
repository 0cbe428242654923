#include "cli/ProgressDisplay.h"

#include "model/NotificationNames.h"

#include <algorithm>
#include <cmath>

namespace cli {

namespace {

// An estimate needs some history: before this much time and progress it would be a guess.
constexpr auto kEstimateAfter = std::chrono::seconds(3);
constexpr double kEstimateAfterFraction = 0.05;

std::string kib(std::uint64_t bytes) { return std::to_string((bytes + 1023) / 1024) + " KiB"; }

// The phase's own text; empty for the short steps a person need not see off a terminal.
std::string phaseText(const UpdateProgress& p) {
    switch (p.step) {
        case UpdateStep::ToKernelMode: return "Switching the drive to its update mode";
        case UpdateStep::WriteKernelImage:
            return "Writing kernel image " + std::to_string(p.done) + "/" + std::to_string(p.total);
        case UpdateStep::WriteNormalImage: return "Writing firmware " + kib(p.done) + " of " + kib(p.total);
        case UpdateStep::ToNormalMode: return "Switching the drive back to start the install";
        case UpdateStep::Install: return "Installing";
        case UpdateStep::AwaitReturn: return "Waiting for the drive to come back";
        case UpdateStep::CheckRevision: return "Checking the installed revision";
        default: return {};
    }
}

// Off a terminal only these phases get a line of their own (the install gets its tenths).
bool plainPhase(UpdateStep step) {
    return step == UpdateStep::WriteKernelImage || step == UpdateStep::WriteNormalImage || step == UpdateStep::AwaitReturn;
}

}  // namespace

ProgressDisplay::ProgressDisplay(Writer write, bool terminal, std::function<Clock::time_point()> now)
    : write_(std::move(write)), terminal_(terminal), now_(std::move(now)) {}

ProgressDisplay::~ProgressDisplay() { finish(); }

std::string ProgressDisplay::timeLeftText(std::chrono::seconds left) {
    const auto s = left.count();
    if (s < 90) return "about " + std::to_string(std::max<long long>(s, 1)) + " s left";
    return "about " + std::to_string((s + 30) / 60) + " min left";
}

std::optional<std::chrono::seconds> ProgressDisplay::estimateLeft(double fraction) {
    const auto elapsed = now_() - phaseStart_;
    const double gained = fraction - phaseStartFraction_;
    if (elapsed < kEstimateAfter || gained < kEstimateAfterFraction) return std::nullopt;
    const double seconds = std::chrono::duration<double>(elapsed).count() * (1.0 - fraction) / gained;
    return std::chrono::seconds(static_cast<long long>(std::ceil(seconds)));
}

void ProgressDisplay::show(const std::string& text, bool plainLine) {
    if (finished_ || text.empty()) return;
    if (terminal_) {
        if (text == lastText_) return;
        lastText_ = text;
        write_(std::string(kRedraw) + text);
        lineOpen_ = true;
    } else if (plainLine) {
        write_(text + "\n");
    }
}

void ProgressDisplay::onProgress(const UpdateProgress& progress) {
    const bool newPhase = !stepShown_ || progress.step != step_;
    if (newPhase) {
        step_ = progress.step;
        stepShown_ = true;
        phaseStart_ = now_();
        phaseStartFraction_ = progress.total ? static_cast<double>(progress.done) / progress.total : 0;
        lastDecade_ = -1;
    }
    if (progress.step == UpdateStep::Install) {
        show("Installing", false);  // the drive's values follow
        return;
    }
    std::string text = phaseText(progress);
    if (terminal_ && progress.step == UpdateStep::WriteNormalImage && progress.total)
        if (auto left = estimateLeft(static_cast<double>(progress.done) / progress.total))
            text += ", " + timeLeftText(*left);
    // Off a terminal the line names the whole phase, once.
    if (!terminal_ && progress.step == UpdateStep::WriteNormalImage) text = "Writing firmware " + kib(progress.total);
    if (!terminal_ && progress.step == UpdateStep::WriteKernelImage)
        text = "Writing kernel image (" + std::to_string(progress.total) + " pieces)";
    show(text, newPhase && plainPhase(progress.step));
}

void ProgressDisplay::onValue(std::int64_t value) {
    if (finished_) return;
    if (value < 0) {
        finish();
        return;
    }
    const int percent = installPercent(value);
    if (step_ != UpdateStep::Install || !stepShown_) {
        // Values before the phase notice: the install has begun all the same.
        onProgress(UpdateProgress{UpdateStep::Install, 0, 0});
    }
    if (lastDecade_ < 0) {  // the first value: estimates count from here
        phaseStart_ = now_();
        phaseStartFraction_ = percent / 100.0;
        lastDecade_ = 0;
    }
    std::string text = "Installing " + std::to_string(percent) + " %";
    if (auto left = estimateLeft(percent / 100.0); left && percent < 100) text += ", " + timeLeftText(*left);
    const int decade = percent / 10;
    const bool plainLine = decade > lastDecade_;  // per 10 %, never back
    lastDecade_ = std::max(lastDecade_, decade);
    show(text, plainLine);
}

void ProgressDisplay::finish() {
    if (finished_) return;
    finished_ = true;
    if (lineOpen_) write_("\n");
    lineOpen_ = false;
}

}  // namespace cli
