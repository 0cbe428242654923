// Start-up, window position, close and quit, teardown.
#include "app/KestoryDriveUpdaterAppDelegate.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QThread>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSocketNotifier>
#include <QTimer>

#include "app/AlertSheet.h"
#include "app/ListingWorker.h"
#include "app/MainWindow.h"
#include "app/ObserverGate.h"
#include "model/FirmwareImages.h"
#include "model/ImageBinding.h"
#include "monitor/DAUtil.h"
#include "monitor/USBDeviceManager.h"

std::atomic<bool> IsFoundTargetDriveForAppLaunch{false};

KestoryDriveUpdaterAppDelegate::KestoryDriveUpdaterAppDelegate(MainWindow* window, Timing timing)
    : window_(window),
      cmbDriveList(window->cmbDriveList()),
      lblTitleTargetDrive(window->lblTitleTargetDrive()),
      lblTitleWillUpdateTo(window->lblTitleWillUpdateTo()),
      lblTxtUpdateVersion(window->lblTxtUpdateVersion()),
      idctProgressUpdate(window->idctProgressUpdate()),
      btnUpdate(window->btnUpdate()),
      timing_(timing),
      gate_(std::make_shared<ObserverGate>()),
      lister_(std::make_unique<ListingWorker>([this, gate = gate_] { gate->enter([this] { updateDeviceList(nullptr); }); })) {
    connectWindow();
}

KestoryDriveUpdaterAppDelegate::~KestoryDriveUpdaterAppDelegate() {
    gate_->close();      // also waits for a listing in progress
    joinUpdateWorker();  // it asks the listing thread for a last listing on its way out
    lister_.reset();     // the device manager's last user
    deviceNotifier_.reset();
    deviceManager.reset();
    clearDeviceArray();
    if (window_ != nullptr) {
        window_->setShouldClose(nullptr);
    }
}

void KestoryDriveUpdaterAppDelegate::connectWindow() {
    window_->setShouldClose([this] { return windowShouldClose(window_); });
    connect(window_, &MainWindow::moved, this, &KestoryDriveUpdaterAppDelegate::windowDidMove);
    connect(window_, &MainWindow::resized, this, [this] {
        QSettings().setValue(kMainWindowAutosaveName, window_->saveGeometry());
    });
    connect(window_->actionQuit(), &QAction::triggered, this, [this] { terminate(this); });
    connect(window_, &MainWindow::quitRefused, this, [this] { terminate(this); });
    connect(window_->actionAbout(), &QAction::triggered, this, &KestoryDriveUpdaterAppDelegate::showAbout);
    connect(window_->actionHistory(), &QAction::triggered, this, &KestoryDriveUpdaterAppDelegate::showHistory);
    // activated, not currentIndexChanged: only the user's own choices count here.
    connect(cmbDriveList, &QComboBox::activated, this, [this] { changedDriveList(cmbDriveList); });
    connect(btnUpdate, &QPushButton::clicked, this, [this] { clickUpdateButton(btnUpdate); });
}

void KestoryDriveUpdaterAppDelegate::awakeFromNib() {
    initFlag = true;
    window_->restoreGeometry(QSettings().value(kMainWindowAutosaveName).toByteArray());
    //% "Target Drive"
    lblTitleTargetDrive->setText(qtTrId("LABEL_TARGET_DRIVE"));
    //% "will update to"
    lblTitleWillUpdateTo->setText(qtTrId("LABEL_WILL_UPDATE_TO"));
    lblTitleWillUpdateTo->setHidden(true);
    lblTxtUpdateVersion->setText(QString());
    //% "&Update"
    btnUpdate->setText(qtTrId("BUTTON_UPDATE"));
    btnUpdate->setEnabled(false);
    idctProgressUpdate->setHidden(true);
    idctProgressUpdate->setRange(0, kProgressMaximum);
    window_->lblStatus()->setText(lookingForDrivesText());
    curIndex = -1;
    {
        std::lock_guard current(syncCurrentDevice_);
        deviceArray.clear();
    }
    IsPresenceDiscsForAppLaunch = false;
    IsFoundTargetDriveForAppLaunch = false;
    cmbDriveList->clear();
    createDeviceManager();
    QTimer::singleShot(timing_.firstListingDelay, this, &KestoryDriveUpdaterAppDelegate::initDeviceList);
    curFwKernelData = std::make_unique<FirmFileData>();
    curFwNormalData = std::make_unique<FirmFileData>();
    getFwFileInfo();
    updateControll();
}

void KestoryDriveUpdaterAppDelegate::getFwFileInfo() {
    curFwFault = loadShippedImages(shippedImageBinding(), *curFwKernelData, *curFwNormalData);
}

void KestoryDriveUpdaterAppDelegate::windowDidMove() {
    const QRect frame = window_->frameGeometry();
    QSettings defaults;
    defaults.setValue(kUserDefaultKeyMainWindowLeftKey, static_cast<float>(frame.x()));
    defaults.setValue(kUserDefaultKeyMainWindowRightKey, static_cast<float>(frame.y()));
    defaults.setValue(kUserDefaultKeyMainWindowWidthKey, static_cast<float>(frame.width()));
    defaults.setValue(kUserDefaultKeyMainWindowHeightKey, static_cast<float>(frame.height()));
    defaults.setValue(kMainWindowAutosaveName, window_->saveGeometry());
}

bool KestoryDriveUpdaterAppDelegate::windowShouldClose(QObject* /*sender*/) {
    if (isUpdatingNow) {
        refuseDuringUpdate();
        return false;
    }
    terminate(this);
    return true;
}

KestoryDriveUpdaterAppDelegate::TerminateReply KestoryDriveUpdaterAppDelegate::applicationShouldTerminate(
    QObject* /*application*/) {
    return isUpdatingNow ? TerminateCancel : TerminateNow;
}

void KestoryDriveUpdaterAppDelegate::terminate(QObject* /*sender*/) {
    if (applicationShouldTerminate(this) == TerminateNow) {
        emit quitApplication();
    } else {
        refuseDuringUpdate();
    }
}

void KestoryDriveUpdaterAppDelegate::refuseDuringUpdate() {
    if (refusalSheet_ && refusalSheet_->isVisible()) {
        return;
    }
    //% "The drive is being updated. Closing now could leave it unusable."
    refusalSheet_ = beginAlertSheet(window_, qtTrId("MESSAGE_CLOSE_REFUSED"), QStringLiteral("OK"), QString(), nullptr);
}

bool KestoryDriveUpdaterAppDelegate::onGuiThread() const { return QThread::currentThread() == thread(); }

void KestoryDriveUpdaterAppDelegate::onGui(std::function<void()> change) {
    // Always queued, also from the GUI thread, so widget changes keep the order in which
    // the data side made them, whichever thread that was.
    QMetaObject::invokeMethod(this, std::move(change), Qt::QueuedConnection);
}

std::vector<DeviceData> KestoryDriveUpdaterAppDelegate::devices() const {
    std::lock_guard current(syncCurrentDevice_);
    return deviceArray;
}

std::optional<DeviceData> KestoryDriveUpdaterAppDelegate::currentDevice() const {
    std::lock_guard current(syncCurrentDevice_);
    return curDeviceData;
}
