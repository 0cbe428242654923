// Hundreds of drive and disc events while the window lists and while it updates: every
// relisting path (device-manager thread, disc callbacks on the GUI thread, the worker,
// the user's choices) runs at once, and all of it must end with the list matching the
// folder, without a deadlock.
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <random>
#include <thread>

#include "tests/app/WindowHarness.h"

using apptest::settle;
using apptest::WindowHarness;

namespace {

constexpr int kEvents = 300;

// Attaches, detaches and changes discs of drives s0..s4, and flips the disc of `discDrive`.
void storm(const std::filesystem::path& folder, const std::string& discDrive, std::atomic<bool>& done) {
    std::mt19937 random(12345);
    for (int i = 0; i < kEvents; ++i) {
        const std::string name = "s" + std::to_string(random() % 5);
        switch (random() % 5) {
        case 0: sim::attach(folder, name, sim::defaultTargetDrive()); break;
        case 1: sim::detach(folder, name); break;
        case 2: sim::insertDisc(folder, name, std::string("VOL")); break;
        case 3: sim::ejectDisc(folder, name); break;
        default:
            if (i % 2 == 0) {
                sim::insertDisc(folder, discDrive, std::string("DATA"));
            } else {
                sim::ejectDisc(folder, discDrive);
            }
        }
    }
    done = true;
}

std::size_t attachedDrives(const std::filesystem::path& folder) {
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        count += sim::driveNameOf(entry.path()).has_value() ? 1 : 0;
    }
    return count;
}

// The GUI thread keeps working (and the user keeps choosing) until the storm is over.
void keepGuiBusy(WindowHarness& h, const std::atomic<bool>& done) {
    int round = 0;
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QComboBox* list = h.window().cmbDriveList();
        if (++round % 7 == 0 && list->count() > 1 && list->isEnabled()) {
            list->setCurrentIndex(round % list->count());
            emit list->activated(list->currentIndex());
        }
        if (round % 11 == 0) {
            h.delegate().updateDeviceList(nullptr);
        }
    }
}

void expectListMatchesFolder(WindowHarness& h) {
    const auto expected = static_cast<int>(attachedDrives(h.folder()));
    h.delegate().updateDeviceList(nullptr);
    KDU_WAIT_FOR(h.titles().size() == expected && static_cast<int>(h.delegate().devices().size()) == expected);
    settle();
    QCOMPARE(h.window().cmbDriveList()->currentIndex(), h.delegate().currentIndex());
}

}  // namespace

class RelistingStormTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { apptest::setUpProcess(); }
    void stormWhileListing();
    void stormDuringUpdate();
};

void RelistingStormTest::stormWhileListing() {
    WindowHarness h;
    h.attach("a");
    h.attach("b");
    h.startListed();
    std::atomic<bool> done{false};
    std::thread events(storm, h.folder(), "a", std::ref(done));
    keepGuiBusy(h, done);
    events.join();
    expectListMatchesFolder(h);
}

void RelistingStormTest::stormDuringUpdate() {
    WindowHarness h;
    sim::DriveSpec slow = sim::defaultTargetDrive();
    slow.timing.installMs = 1500;
    h.attach("a", slow);
    h.startListed();
    h.window().btnUpdate()->click();
    h.press(h.sheet(), "OK");
    QVERIFY(h.delegate().updating());

    std::atomic<bool> done{false};
    std::thread events(storm, h.folder(), "a", std::ref(done));
    keepGuiBusy(h, done);
    events.join();

    // The update ends either way (a disc change may refuse it); the list then catches up.
    KDU_WAIT_FOR(h.sheet() != nullptr);
    QVERIFY(h.sheet()->text() == "Complete!" || h.sheet()->text() == "Error!");
    h.press(h.sheet(), "OK");
    KDU_WAIT_FOR(!h.delegate().updating());
    expectListMatchesFolder(h);
}

QTEST_MAIN(RelistingStormTest)
#include "test_relisting_storm.moc"
