// The real window over simulated drives: start-up, listing, control states, the update
// from confirmation to result, the refusals during an update and the launch messages.
#include <QAction>
#include <QLabel>
#include <QSettings>
#include <QSignalSpy>

#include "model/FirmwareImages.h"
#include "platform/NotificationCenter.h"
#include "platform/sim/SimBackend.h"
#include "tests/app/WindowHarness.h"

using apptest::settle;
using apptest::WindowHarness;

namespace {

// INQUIRY fields keep their blank padding: vendor 8, product 16, revision 4 characters.
const QString kTitle120 = QStringLiteral("KESTORY  BD-RW KVL-MT38   1.2020240612 ");
const QString kTitle121 = QStringLiteral("KESTORY  BD-RW KVL-MT38   1.2120240612 ");

sim::DriveSpec driveWith(const char* revision) {
    sim::DriveSpec spec = sim::defaultTargetDrive();
    spec.revision = revision;
    return spec;
}

QString imageVersionText() {
    FirmFileData kernel, normal;
    getFwFileInfo(kernel, normal);
    return QString::fromStdString(normal.product().value_or("") + " " + normal.revision().value_or("") +
                                  normal.date().value_or(""));
}

std::size_t commandsSentTo(const std::string& key) {
    auto backend = std::dynamic_pointer_cast<sim::SimBackend>(platform::currentBackend());
    return backend ? backend->sentCommands(key).size() : 0;
}

void post(const char* name, std::int64_t value = 0) { platform::NotificationCenter::defaultCenter().post(name, value); }

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { apptest::setUpProcess(); }
    void startUpStateAndFirstListing();
    void identicalDrivesAreNumbered();
    void controlStates_data();
    void controlStates();
    void declinedConfirmationStartsNothing_data();
    void declinedConfirmationStartsNothing();
    void successfulUpdate();
    void failedUpdateKeepsRecord();
    void windowLockedDuringUpdate();
    void progressDisplay();
    void launchMessages_data();
    void launchMessages();
    void moveWritesUserDefaults();
};

void WindowTest::startUpStateAndFirstListing() {
    WindowHarness h;
    h.attach("a");
    h.start();
    settle();
    MainWindow& w = h.window();
    QCOMPARE(w.lblTitleTargetDrive()->text(), QStringLiteral("Target Drive"));
    QCOMPARE(w.lblTitleWillUpdateTo()->text(), QStringLiteral("will update to"));
    QVERIFY(w.lblTitleWillUpdateTo()->isHidden());
    QCOMPARE(w.lblTxtUpdateVersion()->text(), QString());
    QCOMPARE(w.btnUpdate()->text(), QStringLiteral("Update"));
    QVERIFY(!w.btnUpdate()->isEnabled());
    QVERIFY(w.idctProgressUpdate()->isHidden());
    QCOMPARE(w.idctProgressUpdate()->maximum(), 65536);

    // Until the first listing every relisting request is dropped.
    post(kAppearedDeviceNotify);
    post(kDisappearedDeviceNotify, 3);
    settle();
    QVERIFY(h.delegate().starting());
    QVERIFY(h.delegate().devices().empty());
    QCOMPARE(w.cmbDriveList()->count(), 0);

    h.waitForDriveWatcher();
    h.delegate().initDeviceList();
    settle();
    QVERIFY(!h.delegate().starting());
    QCOMPARE(h.titles(), QStringList{kTitle120});  // a lone drive: one trailing blank, no number
    QCOMPARE(h.delegate().currentIndex(), 0);
    QVERIFY(h.sheet() == nullptr);
}

void WindowTest::identicalDrivesAreNumbered() {
    WindowHarness h;
    for (const char* name : {"a", "b", "c"}) h.attach(name);
    h.attach("d", driveWith("1.21"));
    h.startListed();
    const QString twin = kTitle120 + QStringLiteral(" [%1]");
    QCOMPARE(h.titles(), (QStringList{twin.arg(1), twin.arg(2), twin.arg(3), kTitle121}));
    QCOMPARE(h.window().cmbDriveList()->currentIndex(), 0);
}

void WindowTest::controlStates_data() {
    QTest::addColumn<QString>("situation");
    QTest::addColumn<bool>("captionShown");
    QTest::addColumn<QString>("versionText");
    QTest::addColumn<bool>("buttonEnabled");
    QTest::newRow("may be updated") << "eligible" << true << imageVersionText() << true;
    QTest::newRow("needs no update") << "current" << false << "no need update" << false;
    QTest::newRow("user picks the up-to-date one") << "choose" << false << "no need update" << false;
    QTest::newRow("last drive leaves") << "gone" << true << "" << false;  // the caption stays as it was
}

void WindowTest::controlStates() {
    QFETCH(QString, situation);
    WindowHarness h;
    h.attach("a", driveWith(situation == "current" ? "1.21" : "1.20"));
    if (situation != "gone") h.attach("b", driveWith("1.21"));  // detaching it would relist on its own
    h.startListed();
    if (situation == "choose") {
        h.choose(1);
        QCOMPARE(h.delegate().currentIndex(), 1);
    } else if (situation == "gone") {
        h.detach("a");
        h.delegate().updateDeviceList(nullptr);
        settle();
        QCOMPARE(h.delegate().currentIndex(), -1);
        QVERIFY(!h.delegate().currentDevice());
        QCOMPARE(h.window().cmbDriveList()->count(), 0);
    }
    MainWindow& w = h.window();
    QTEST(!w.lblTitleWillUpdateTo()->isHidden(), "captionShown");
    QTEST(w.lblTxtUpdateVersion()->text(), "versionText");
    QTEST(w.btnUpdate()->isEnabled(), "buttonEnabled");
    QVERIFY(w.cmbDriveList()->isEnabled());
    QVERIFY(w.idctProgressUpdate()->isHidden());
}

void WindowTest::declinedConfirmationStartsNothing_data() {
    QTest::addColumn<bool>("pressReturn");
    QTest::newRow("Return") << true;
    QTest::newRow("Cancel") << false;
}

void WindowTest::declinedConfirmationStartsNothing() {
    QFETCH(bool, pressReturn);
    WindowHarness h;
    h.attach("a");
    h.startListed();
    const std::size_t before = commandsSentTo("a");
    h.window().btnUpdate()->click();
    QMessageBox* box = h.sheet();
    QVERIFY(box != nullptr);
    QCOMPARE(box->text(), QStringLiteral("Do not disconnect the drive or turn off the computer while the firmware "
                                         "is updated. Start the update?"));
    pressReturn ? QTest::keyClick(box, Qt::Key_Return) : h.press(box, "Cancel");
    settle();
    QVERIFY(!h.delegate().updating());
    QVERIFY(h.sheet() == nullptr);
    QCOMPARE(commandsSentTo("a"), before);
    QVERIFY(h.window().btnUpdate()->isEnabled());
}

void WindowTest::successfulUpdate() {
    WindowHarness h;
    sim::DriveSpec slow = sim::defaultTargetDrive();
    slow.timing.installMs = 300;  // long enough for progress reports
    h.attach("a", slow);
    h.attach("b", slow);
    h.startListed();
    h.choose(1);  // afterwards the first listed drive is current again
    h.startUpdate();
    // Nothing ran the event loop since the pre-update wait, so no worker report is applied yet.
    QProgressBar* bar = h.window().idctProgressUpdate();
    QVERIFY(h.delegate().updating());
    QVERIFY(bar->isVisible());
    QCOMPARE(bar->maximum(), 0);  // indeterminate
    QVERIFY(!h.window().btnUpdate()->isEnabled());
    QVERIFY(!h.window().cmbDriveList()->isEnabled());
    QList<int> determinate;
    QObject::connect(bar, &QProgressBar::valueChanged, bar, [&](int v) {
        if (bar->maximum() == 65536 && v > 0) determinate.append(v);
    });

    QString result;
    h.finishUpdate(result);
    QCOMPARE(result, QStringLiteral("Complete!"));
    QVERIFY(!determinate.isEmpty());
    KDU_WAIT_FOR(h.delegate().devices().size() == 2 && h.delegate().devices()[1].revision() == "1.21");
    settle();
    QCOMPARE(h.delegate().currentIndex(), 0);
    QCOMPARE(h.titles(), (QStringList{kTitle120, kTitle121}));
    QVERIFY(h.window().btnUpdate()->isEnabled());
    QVERIFY(h.window().cmbDriveList()->isEnabled());
}

void WindowTest::failedUpdateKeepsRecord() {
    WindowHarness h;
    sim::DriveSpec faulty = sim::defaultTargetDrive();
    faulty.faults.modeChangeToKernel = true;
    h.attach("a", faulty);
    h.startListed();
    h.startUpdate();
    QString result;
    h.finishUpdate(result);
    QCOMPARE(result, QStringLiteral("Error!"));
    QCOMPARE(h.delegate().devices().size(), std::size_t{1});
    QCOMPARE(h.delegate().devices()[0].revision(), OptionalText("1.20"));
    QVERIFY(h.window().btnUpdate()->isEnabled());
}

void WindowTest::windowLockedDuringUpdate() {
    WindowHarness h;
    sim::DriveSpec stuck = sim::defaultTargetDrive();
    stuck.faults.installNeverEnds = true;
    h.attach("a", stuck);
    h.startListed();
    QSignalSpy quit(&h.delegate(), &KestoryDriveUpdaterAppDelegate::quitApplication);
    h.startUpdate();
    QProgressBar* bar = h.window().idctProgressUpdate();
    KDU_WAIT_FOR(bar->maximum() == 65536 && bar->isVisible());
    QVERIFY(!h.window().btnUpdate()->isEnabled());
    QVERIFY(!h.window().cmbDriveList()->isEnabled());

    // Close and quit are refused silently.
    QVERIFY(!h.window().close());
    QVERIFY(h.window().isVisible());
    h.window().actionQuit()->trigger();
    QCOMPARE(h.delegate().applicationShouldTerminate(nullptr), KestoryDriveUpdaterAppDelegate::TerminateCancel);
    settle();
    QCOMPARE(quit.count(), 0);
    QVERIFY(h.sheet() == nullptr);

    // A drive and a disc arriving now change nothing.
    h.attach("b", driveWith("1.21"));
    QVERIFY(!sim::insertDisc(h.folder(), "b", std::string("DATA")));
    post(kAppearedDeviceNotify);
    post(kAppearedDeviceNotify, 1);
    settle();
    QCOMPARE(h.titles().size(), 1);
    QCOMPARE(h.delegate().devices().size(), std::size_t{1});

    // Pulling the drive ends the update; then the list catches up.
    h.detach("a");
    QString result;
    h.finishUpdate(result);
    QCOMPARE(result, QStringLiteral("Error!"));
    KDU_WAIT_FOR(h.titles() == QStringList{kTitle121});
    QVERIFY(h.window().close());
    QCOMPARE(quit.count(), 1);
}

void WindowTest::progressDisplay() {
    WindowHarness h;
    h.attach("a");
    h.startListed();
    QProgressBar* bar = h.window().idctProgressUpdate();
    const auto report = [&](std::int64_t v) {
        h.delegate().updateIndicatorNotify(platform::Notification{kUpdateIndicatorNotify, v});
        settle();
    };
    report(0);
    QVERIFY(bar->isVisible());
    QCOMPARE(bar->value(), 65536);
    report(65535);
    QCOMPARE(bar->value(), 1);
    report(-1);
    QVERIFY(bar->isHidden());

    // Without a current drive only the end report counts.
    h.detach("a");
    h.delegate().updateDeviceList(nullptr);
    settle();
    bar->setHidden(false);
    bar->setValue(7);
    report(100);
    QCOMPARE(bar->value(), 7);
    report(-1);
    QVERIFY(bar->isHidden());
}

void WindowTest::launchMessages_data() {
    QTest::addColumn<bool>("withDrive");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("quits");
    QTest::newRow("no drive") << false << "No drive that can be updated was found. The application will quit." << 1;
    QTest::newRow("mounted disc") << true << "Disc may be mounted. Please confirm eject the disk!" << 0;
}

void WindowTest::launchMessages() {
    QFETCH(bool, withDrive);
    WindowHarness h;
    if (withDrive) {
        sim::DriveSpec spec = sim::defaultTargetDrive();
        spec.disc = sim::Disc{std::string("DATA")};
        h.attach("a", spec);
    }
    h.start(apptest::fastTiming(std::chrono::milliseconds(300)));  // present discs are reported first
    QSignalSpy quit(&h.delegate(), &KestoryDriveUpdaterAppDelegate::quitApplication);
    KDU_WAIT_FOR(h.sheet() != nullptr);
    QTEST(h.sheet()->text(), "message");
    QCOMPARE(h.sheet()->buttons().size(), 1);
    h.press(h.sheet(), "OK");
    settle();
    QTEST(int(quit.count()), "quits");
    QVERIFY(h.sheet() == nullptr);  // one message only
}

void WindowTest::moveWritesUserDefaults() {
    WindowHarness h;
    h.attach("a");
    h.startListed();
    h.window().move(40, 60);
    settle();
    const QRect frame = h.window().frameGeometry();
    QSettings defaults;
    const auto stored = [&](const char* key) { return defaults.value(key).toFloat(); };
    QCOMPARE(stored("kUserDefaultKeyMainWindowLeftKey"), float(frame.x()));
    QCOMPARE(stored("kUserDefaultKeyMainWindowRightKey"), float(frame.y()));  // y is kept under "Right"
    QCOMPARE(stored("kUserDefaultKeyMainWindowWidthKey"), float(frame.width()));
    QCOMPARE(stored("kUserDefaultKeyMainWindowHeightKey"), float(frame.height()));
    QVERIFY(!defaults.value("MainWindow").toByteArray().isEmpty());
}

QTEST_MAIN(WindowTest)
#include "test_window.moc"
