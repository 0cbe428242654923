// The window on simulated drives: start-up to the window shown (and to its first listing),
// the time from a drive file appearing to the pop-up list showing it, and the process's
// peak memory. Prints one line per figure.
#include <sys/resource.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/KestoryDriveUpdaterAppDelegate.h"
#include "app/MainWindow.h"
#include "app/QtRunLoop.h"
#include "log/Log.h"
#include "platform/RunLoop.h"
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
    kdulog::setSyslogEnabled(false);
    platform::installMainRunLoop(std::make_shared<QtRunLoop>());

    QTemporaryDir dir;
    const std::filesystem::path folder = std::filesystem::path(dir.path().toStdString()) / "drives";
    std::filesystem::create_directories(folder);
    sim::attach(folder, "bd-1", sim::defaultTargetDrive());
    auto backend = sim::makeSimBackend(folder);
    backend->setRecording(false);
    platform::installBackend(backend);

    MainWindow window;
    KestoryDriveUpdaterAppDelegate delegate(&window);
    delegate.awakeFromNib();
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

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("startup_to_window_shown_ms=%.1f\n", shownMs);
    std::printf("startup_to_first_listing_ms=%.1f (includes the 1.0 s first-listing delay)\n", listedMs);
    std::printf("drive_file_to_popup_median_ms=%.2f (of %zu)\n", median(arrivals), arrivals.size());
    std::printf("peak_rss_kib=%ld\n", usage.ru_maxrss);
    return 0;
}
