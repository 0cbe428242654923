// The application's and the window's delegate, and the owner of everything behind the
// window: the drive list, the current drive, the two image records and the drive watcher.
//
// Threads: widgets change on the GUI thread only. Work that runs elsewhere (relistings and
// the device manager's reports on the listing thread, the update worker) changes the data under syncListing_ and
// syncCurrentDevice_ and posts the widget changes to the GUI thread, in order, carrying what they need. Nothing
// ever waits for the GUI thread while holding a lock.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "app/UpdateDetails.h"
#include "app/UpdateStatus.h"
#include "drive/STUCMethod.h"
#include "drive/UpdateHistory.h"
#include "model/DeviceData.h"
#include "model/NotificationNames.h"
#include "model/FirmFileData.h"
#include "model/ImageProof.h"

class HistoryDialog;
class ListingWorker;
class MainWindow;
class ObserverGate;
class QMessageBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSocketNotifier;
class USBDeviceManager;
struct DeviceNotice;

// Set by the first listing when it found a drive, and read right there.
extern std::atomic<bool> IsFoundTargetDriveForAppLaunch;

inline constexpr char kUserDefaultKeyMainWindowLeftKey[] = "kUserDefaultKeyMainWindowLeftKey";
inline constexpr char kUserDefaultKeyMainWindowRightKey[] = "kUserDefaultKeyMainWindowRightKey";
inline constexpr char kUserDefaultKeyMainWindowWidthKey[] = "kUserDefaultKeyMainWindowWidthKey";
inline constexpr char kUserDefaultKeyMainWindowHeightKey[] = "kUserDefaultKeyMainWindowHeightKey";
inline constexpr char kMainWindowAutosaveName[] = "MainWindow";
inline constexpr int kProgressMaximum = kInstallProgressScale;  // the bar shows the part done

// The waits of start-up and of the update start; tests shorten them.
struct AppDelegateTiming {
    std::chrono::milliseconds firstListingDelay{1000};  // awakeFromNib -> initDeviceList
    std::chrono::milliseconds preUpdateRunLoop{1000};   // the window's event loop turns before the worker
    std::chrono::milliseconds preUpdateSleep{100};      // then the worker waits this long before the drive
    UpdateTiming update{};
    // Tests: the worker waits here before it starts the update, so what the window shows
    // before the drive is touched can be checked whatever the worker's pace.
    std::function<void()> workerGate;
};

class KestoryDriveUpdaterAppDelegate : public QObject {
    Q_OBJECT
public:
    enum TerminateReply { TerminateCancel = 0, TerminateNow = 1 };

    using Timing = AppDelegateTiming;

    explicit KestoryDriveUpdaterAppDelegate(MainWindow* window, Timing timing = {});
    // Teardown: the gate, the workers, the device manager, the list.
    ~KestoryDriveUpdaterAppDelegate() override;
    KestoryDriveUpdaterAppDelegate(const KestoryDriveUpdaterAppDelegate&) = delete;
    KestoryDriveUpdaterAppDelegate& operator=(const KestoryDriveUpdaterAppDelegate&) = delete;

    MainWindow* window() const { return window_; }
    void setWindow(MainWindow* window) { window_ = window; }

    // Start-up, window and application (KestoryDriveUpdaterAppDelegate.cpp).
    void awakeFromNib();
    void windowDidMove();
    // False while an update runs; then a sheet says why.
    bool windowShouldClose(QObject* sender);
    TerminateReply applicationShouldTerminate(QObject* application);
    // False while an update runs: the session may not end then, as the window may not close.
    bool mayEndSession() const { return !isUpdatingNow; }
    // Asks to quit: emits quitApplication() unless an update runs, else says why not.
    void terminate(QObject* sender);
    // The Help menu's box: versions of the program, Qt and the shipped firmware; the license.
    void showAbout();
    // Help > Update History...: the recorded updates, read afresh each time it opens.
    void showHistory();
    void getFwFileInfo();

    // Drive list (DriveList.cpp).
    // Starts the device manager on the listing thread; its descriptor is then watched here.
    void createDeviceManager();
    // Asks for the first listing; its result and the launch messages arrive later, queued.
    void initDeviceList();
    // Lists the drives on the calling thread, which must not be the GUI thread except in tests.
    void updateDeviceList(const DeviceNotice* notice);
    // Has the listing thread relist, then run `then` there; never blocks.
    void requestListing(std::function<void()> then = {});
    // A relisting asked of the listing thread is pending or running.
    bool listing() const;
    void clearDeviceArray();
    bool setCurrentDeviceDataWithIndex(std::int32_t index);
    void updateDeviceCombobox();
    // sender: the pop-up list for a user's choice (GUI thread), or null.
    void changedDriveList(QObject* sender);

    // Control state (Controls.cpp).
    void updateControll();
    void initControll();

    // Update workflow (UpdateWorkflow.cpp).
    void clickUpdateButton(QObject* sender);
    void alertDidEnd(std::int32_t returnCode);
    void runUpdateThread();
    void updateIndicatorNotify(std::int64_t indicator);
    // Records every update from here on; set before the first one (main).
    void recordUpdates(UpdateHistorySource source) { history_ = std::move(source); }
    // The window's log file, whose last lines go with an update's details.
    void setLogFile(std::filesystem::path file) { logFile_ = std::move(file); }

    // Read-only views (copies taken under the lock).
    std::int32_t currentIndex() const { return curIndex; }
    bool updating() const { return isUpdatingNow; }
    // Updates whose worker has finished, its last listing already asked for.
    int updatesEnded() const { return updatesEnded_; }
    bool starting() const { return initFlag; }
    std::vector<DeviceData> devices() const;
    std::optional<DeviceData> currentDevice() const;

signals:
    // Termination approved; main() connects it to the application's quit.
    void quitApplication();
    // The status line changed (GUI thread).
    void statusChanged(const QString& text);

private:
    // What the control refresh reads, taken in one piece under syncCurrentDevice_.
    struct ControlInputs {
        bool listEmpty = true;
        bool hasCurrent = false;
        bool currentMayUpdate = false;
        bool updating = false;
        std::int32_t index = -1;
        QString versionText;
        QString details;  // the current drive's nodes and identity
        QString reason;   // why it may not be updated
    };
    ControlInputs captureControlInputs() const;
    void applyUpdateControll(const ControlInputs& in);
    void applyInitControll(const ControlInputs& in);
    QString updateVersionText() const;

    // Queues a widget change on the GUI thread; changes run in the order they were posted.
    void onGui(std::function<void()> change);
    void connectWindow();
    // GUI thread: each time the manager's descriptor is readable the listing thread reads it.
    void watchDeviceManager(int fd);
    // Listing thread: one relisting for whatever the manager has just reported.
    void relistAfterReports();
    void joinUpdateWorker();
    void numberIdenticalDrives(std::vector<DeviceData>& drives);
    // Pop-up changes carry the generation of the list they show, so a user's choice made
    // on a pop-up that a posted rebuild is about to replace is recognised as stale.
    void postClearPopUp();
    // With `copy`, the sheet offers its details for the clipboard.
    void showResultSheet(const QString& message, const QString& details = QString(),
                         std::optional<UpdateDetails> copy = std::nullopt);
    // The status line, set in order with the other widget changes.
    void postStatus(const QString& text);
    // Says why closing or quitting is refused now; one sheet at a time.
    void refuseDuringUpdate();
    // The first listing is in: the status line clears, the launch messages show (GUI thread).
    void firstListingShown();
    bool onGuiThread() const;
    // The listed record of the drive with this identity, under syncCurrentDevice_; -1 when gone.
    std::int32_t indexOfDrive(const scsi::DriveIdentity& identity) const;

    // Fields in the order of the window's data model.
    MainWindow* window_;  // not owned
    std::atomic<std::int32_t> curIndex{-1};
    std::atomic<bool> initFlag{false};
    std::atomic<bool> isUpdatingNow{false};
    // Used on the listing thread only, once made.
    std::unique_ptr<USBDeviceManager> deviceManager;
    bool reported_ = false;  // listing thread: the manager reported a change
    std::unique_ptr<QSocketNotifier> deviceNotifier_;  // GUI thread
    // One listing at a time; an update starts only once the one under way has ended.
    std::mutex syncListing_;
    // The list, the current drive and the confirmation target. Recursive: the list's
    // helpers take it themselves and are also called with it held.
    mutable std::recursive_mutex syncCurrentDevice_;
    std::vector<DeviceData> deviceArray;               // syncCurrentDevice_
    QComboBox* cmbDriveList = nullptr;
    std::optional<DeviceData> curDeviceData;           // syncCurrentDevice_
    // The drive the confirmation sheet asks about, fixed when Update was pressed, and the
    // one the worker updates once it was confirmed. Relistings never change either.
    std::optional<DeviceData> confirmTarget_;          // syncCurrentDevice_
    std::optional<DeviceData> updateTarget_;           // set before the worker starts, read by it
    std::unique_ptr<FirmFileData> curFwKernelData;
    std::unique_ptr<FirmFileData> curFwNormalData;
    ImageFault curFwFault;  // why the shipped images may not be used; the two records stay empty then
    QLabel* lblTitleTargetDrive = nullptr;
    QLabel* lblTitleWillUpdateTo = nullptr;
    QLabel* lblTxtUpdateVersion = nullptr;
    QProgressBar* idctProgressUpdate = nullptr;
    QPushButton* btnUpdate = nullptr;

    Timing timing_;
    std::optional<UpdateHistorySource> history_;
    std::optional<std::filesystem::path> logFile_;
    std::shared_ptr<ObserverGate> gate_;

    // The pop-up as the data side knows it: its selected entry and its generation.
    std::atomic<std::int32_t> popUpSelection_{-1};
    std::atomic<std::uint64_t> popUpGeneration_{0};
    std::uint64_t shownPopUpGeneration_ = 0;  // GUI thread

    std::thread updateWorker_;  // GUI thread starts and joins it
    UpdateStatus status_;       // the update worker's
    std::atomic<int> updatesEnded_{0};
    QPointer<QMessageBox> refusalSheet_;
    QPointer<HistoryDialog> historyDialog_;
    std::unique_ptr<ListingWorker> lister_;  // after the gate: its listings enter it
};
