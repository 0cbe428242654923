#include "tests/app/WindowHarness.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QStandardPaths>
#include <QTest>
#include <memory>

#include "app/QtRunLoop.h"
#include "app/Translations.h"
#include "platform/Backend.h"
#include "platform/Log.h"
#include "platform/RunLoop.h"

namespace apptest {

void setUpProcess() {
    QStandardPaths::setTestModeEnabled(true);
    // Closing the window is under test; it must not end the test program.
    QApplication::setQuitOnLastWindowClosed(false);
    QCoreApplication::setOrganizationName(QStringLiteral("Kestory"));
    QCoreApplication::setApplicationName(QStringLiteral("KestoryDriveUpdaterTests"));
    platform::installMainRunLoop(std::make_shared<QtRunLoop>());
    platform::setSyslogEnabled(false);
    installTranslations(*QCoreApplication::instance());
}

void settle() {
    // Posted changes may post more; a few rounds reach the end of any chain we make.
    for (int round = 0; round < 5; ++round) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents();
    }
}

WindowHarness::WindowHarness() : folder_(dir_.path().toStdString()) {
    platform::installBackend(sim::makeSimBackend(folder_));
}

WindowHarness::~WindowHarness() { stop(); }

void WindowHarness::attach(const std::string& name, const sim::DriveSpec& spec) {
    const sim::ControlError error = sim::attach(folder_, name, spec);
    QVERIFY2(!error, error ? error->c_str() : "");
}

void WindowHarness::detach(const std::string& name) {
    const sim::ControlError error = sim::detach(folder_, name);
    QVERIFY2(!error, error ? error->c_str() : "");
}

AppDelegateTiming WindowHarness::fastTiming() {
    AppDelegateTiming timing;
    timing.firstListingDelay = std::chrono::milliseconds(20);
    timing.preUpdateRunLoop = std::chrono::milliseconds(10);
    timing.preUpdateSleep = std::chrono::milliseconds(0);
    timing.update.pollInterval = std::chrono::milliseconds(5);
    return timing;
}

void WindowHarness::start(AppDelegateTiming timing) {
    window_ = std::make_unique<MainWindow>();
    delegate_ = std::make_unique<KestoryDriveUpdaterAppDelegate>(window_.get(), timing);
    window_->show();
    delegate_->awakeFromNib();
}

void WindowHarness::startListed() {
    start();
    KDU_WAIT_FOR(!delegate_->starting());
    settle();
}

QStringList WindowHarness::titles() {
    QStringList result;
    for (int i = 0; i < window_->cmbDriveList()->count(); ++i) {
        result.append(window_->cmbDriveList()->itemText(i));
    }
    return result;
}

QMessageBox* WindowHarness::sheet() {
    for (QMessageBox* box : window_->findChildren<QMessageBox*>()) {
        if (box->isVisible()) {
            return box;
        }
    }
    return nullptr;
}

void WindowHarness::press(QMessageBox* box, const QString& button) {
    QVERIFY(box != nullptr);
    for (QAbstractButton* candidate : box->buttons()) {
        if (candidate->text() == button) {
            candidate->click();
            return;
        }
    }
    QFAIL(qPrintable(QStringLiteral("no button %1").arg(button)));
}

void WindowHarness::stop() {
    delegate_.reset();
    if (window_) {
        for (QMessageBox* box : window_->findChildren<QMessageBox*>()) {
            box->done(0);
        }
    }
    window_.reset();
    settle();
}

}  // namespace apptest
