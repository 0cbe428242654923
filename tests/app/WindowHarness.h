// The real window and its delegate over a temporary folder of simulated drives.
#pragma once

#include <QMessageBox>
#include <QStringList>
#include <QTemporaryDir>
#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "app/KestoryDriveUpdaterAppDelegate.h"
#include "app/MainWindow.h"
#include "platform/sim/SimControl.h"

// Waits for a condition without asserting anything about how long it takes.
#define KDU_WAIT_FOR(condition) QTRY_VERIFY_WITH_TIMEOUT(condition, 120000)

namespace apptest {

// Once per test program, on the GUI thread: Qt's loop as the main run loop, test-mode
// settings, the English messages.
void setUpProcess();

// Runs every widget change posted so far (and whatever they post in turn).
void settle();

class WindowHarness {
public:
    WindowHarness();
    ~WindowHarness();

    const std::filesystem::path& folder() const { return folder_; }
    void attach(const std::string& name, const sim::DriveSpec& spec = sim::defaultTargetDrive());
    void detach(const std::string& name);

    // Makes the window and its delegate and starts them up; the first listing comes after
    // `firstListingDelay`.
    void start(AppDelegateTiming timing = fastTiming());
    // Waits until the delegate has handled the drive watcher's two initial notices, so no
    // relisting of theirs can come later.
    void waitForDriveWatcher();
    // Starts, waits for the watcher, then makes the first listing and shows it.
    void startListed();
    static AppDelegateTiming fastTiming();

    MainWindow& window() { return *window_; }
    KestoryDriveUpdaterAppDelegate& delegate() { return *delegate_; }
    QStringList titles();

    // The visible sheet, or null.
    QMessageBox* sheet();
    // Clicks the sheet's button with that title.
    void press(QMessageBox* box, const QString& button);
    // Stops the delegate (teardown) and closes what it showed.
    void stop();

private:
    QTemporaryDir dir_;
    std::filesystem::path folder_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<KestoryDriveUpdaterAppDelegate> delegate_;
    std::atomic<bool> watcherNoticesHandled_{false};
};

}  // namespace apptest
