// The window on simulated drives: start-up to the window shown (and to its first listing),
// the time from a drive file appearing to the pop-up list showing it, the process's peak
// memory, and the longest stall of the GUI thread while 16 slow drives (50 ms a command)
// are listed and relisted from every path. Prints one line per figure.
#include <sys/resource.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/KestoryDriveUpdaterAppDelegate.h"
#include "app/MainWindow.h"
#include "app/Translations.h"
#include "log/Log.h"
#include "log/LogRouting.h"
#include "platform/sim/SimControl.h"

namespace {

// Turns the event loop until `done` holds; false after `limitMs`.
template <typename Condition>
bool spinUntil(Condition done, int limitMs = 60000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > limitMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// The longest time between two turns of the GUI thread's event loop, while it is armed.
class StallMeter {
public:
    StallMeter() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
    }
    void arm() {
        longestMs_ = 0;
        last_.start();
        timer_.start();
    }
    double disarm() {
        tick();
        timer_.stop();
        return longestMs_;
    }

private:
    void tick() {
        longestMs_ = std::max(longestMs_, static_cast<double>(last_.nsecsElapsed()) / 1e6);
        last_.restart();
    }
    QTimer timer_;
    QElapsedTimer last_;
    double longestMs_ = 0;
};

// 16 drives answering each command after 50 ms: the first listing, a drive arriving and a
// disc inserted and ejected (each read and relisted on the listing thread), while the GUI
// thread's turns are timed.
int slowDrivesStall(double& stallMs, double& idleMs) {
    QTemporaryDir dir;
    const std::filesystem::path folder = std::filesystem::path(dir.path().toStdString()) / "slow";
    std::filesystem::create_directories(folder);
    sim::DriveSpec slow = sim::defaultTargetDrive();
    slow.timing.commandLatencyMs = 50;
    for (int i = 0; i < 16; ++i) sim::attach(folder, "slow-" + std::to_string(i), slow);
    auto backend = sim::makeSimBackend(folder);
    backend->setRecording(false);
    platform::installBackend(backend);

    MainWindow window;
    AppDelegateTiming timing;
    timing.firstListingDelay = std::chrono::milliseconds(50);
    auto delegate = std::make_unique<KestoryDriveUpdaterAppDelegate>(&window, timing);
    delegate->awakeFromNib();
    window.show();
    // From the window on screen: its first paint is no stall of the listing's.
    spinUntil([&] { return window.windowHandle() && window.windowHandle()->isExposed(); });
    spinUntil([] { return false; }, 20);
    StallMeter meter;
    QComboBox* list = window.cmbDriveList();
    meter.arm();
    bool ok = spinUntil([&] { return list->count() == 16; }, 120000);
    sim::attach(folder, "slow-16", slow);
    ok = ok && spinUntil([&] { return list->count() == 17; }, 120000);
    for (bool insert : {true, false}) {
        insert ? sim::insertDisc(folder, "slow-16", std::string("DATA")) : sim::ejectDisc(folder, "slow-16");
        spinUntil([] { return false; }, 200);
        ok = ok && spinUntil([&] { return list->count() == 17 && !delegate->listing(); }, 120000);
    }
    stallMs = meter.disarm();
    // The machine's own noise: the same loop with the window idle and nothing to list.
    meter.arm();
    spinUntil([] { return false; }, 2000);
    idleMs = meter.disarm();
    delegate.reset();
    return ok ? 0 : 1;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char* argv[]) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    installTranslations(app, QLocale(QLocale::English));  // the window's texts, as the program loads them
    kdulog::setSyslogEnabled(false);
    (void)kdulog::setRouting({});  // the drive layer's console off stdout, as the window keeps it: one line a figure

    QTemporaryDir dir;
    const std::filesystem::path folder = std::filesystem::path(dir.path().toStdString()) / "drives";
    std::filesystem::create_directories(folder);
    sim::attach(folder, "bd-1", sim::defaultTargetDrive());
    auto backend = sim::makeSimBackend(folder);
    backend->setRecording(false);
    platform::installBackend(backend);

    MainWindow window;
    auto delegate = std::make_unique<KestoryDriveUpdaterAppDelegate>(&window);
    delegate->awakeFromNib();
    window.show();
    spinUntil([&] { return window.isVisible() && window.windowHandle() && window.windowHandle()->isExposed(); });
    const double shownMs = static_cast<double>(sinceStart.nsecsElapsed()) / 1e6;

    QComboBox* list = window.cmbDriveList();
    if (!list || !spinUntil([&] { return list->count() == 1; })) {
        std::fprintf(stderr, "the first listing never showed the drive\n");
        return 1;
    }
    const double listedMs = static_cast<double>(sinceStart.nsecsElapsed()) / 1e6;

    std::vector<double> arrivals;
    for (int i = 0; i < 10; ++i) {
        QElapsedTimer timer;
        timer.start();
        sim::attach(folder, "bd-extra", sim::defaultTargetDrive());
        if (!spinUntil([&] { return list->count() == 2; })) {
            std::fprintf(stderr, "an attached drive never showed\n");
            return 1;
        }
        arrivals.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        sim::detach(folder, "bd-extra");
        spinUntil([&] { return list->count() == 1; });
    }

    delegate.reset();  // one window watches the drives at a time
    double stallMs = 0, idleMs = 0;
    if (slowDrivesStall(stallMs, idleMs) != 0) {
        std::fprintf(stderr, "the slow drives were never listed\n");
        return 1;
    }

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("startup_to_window_shown_ms=%.1f\n", shownMs);
    std::printf("startup_to_first_listing_ms=%.1f (includes the 1.0 s first-listing delay)\n", listedMs);
    std::printf("drive_file_to_popup_median_ms=%.2f (of %zu)\n", median(arrivals), arrivals.size());
    std::printf("peak_rss_kib=%ld\n", usage.ru_maxrss);
    std::printf("gui_longest_stall_16_slow_drives_ms=%.1f (target under 16)\n", stallMs);
    std::printf("gui_longest_stall_idle_ms=%.1f (the machine's noise over 2 s)\n", idleMs);
    return 0;
}
