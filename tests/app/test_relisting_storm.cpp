// Hundreds of drive and disc events while the window lists and while it updates: every
// relisting path (the device manager's reports on the listing thread, the worker, the
// user's choices) runs at once, and it must end without deadlock, the list matching the folder.
#include <random>
#include <thread>

#include "tests/app/WindowHarness.h"

using apptest::WindowHarness;

namespace {

// Attaches, detaches and changes discs of drives s0..s4, and flips the disc of drive "a".
void raiseEvents(const std::filesystem::path& folder, std::atomic<bool>& done) {
    std::mt19937 random(12345);
    for (int i = 0; i < 300; ++i) {
        const std::string name = "s" + std::to_string(random() % 5);
        switch (random() % 5) {
        case 0: sim::attach(folder, name, sim::defaultTargetDrive()); break;
        case 1: sim::detach(folder, name); break;
        case 2: sim::insertDisc(folder, name, std::string("VOL")); break;
        case 3: sim::ejectDisc(folder, name); break;
        default: i % 2 ? sim::ejectDisc(folder, "a") : sim::insertDisc(folder, "a", std::string("DATA"));
        }
    }
    done = true;
}

}  // namespace

class RelistingStormTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { apptest::setUpProcess(); }

    void storm_data() {
        QTest::addColumn<bool>("duringUpdate");
        QTest::newRow("while listing") << false;
        QTest::newRow("during an update") << true;
    }
    void storm() {
        QFETCH(bool, duringUpdate);
        WindowHarness h;
        sim::DriveSpec slow = sim::defaultTargetDrive();
        slow.timing.installMs = 1500;
        h.attach("a", slow);
        h.attach("b");
        h.startListed();
        if (duringUpdate) h.startUpdate();

        std::atomic<bool> done{false};
        std::thread events(raiseEvents, h.folder(), std::ref(done));
        // The GUI thread keeps working, and the user keeps choosing, until the storm is over.
        for (int round = 1; !done; ++round) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QComboBox* list = h.window().cmbDriveList();
            if (round % 7 == 0 && list->count() > 1 && list->isEnabled()) {
                list->setCurrentIndex(round % list->count());
                emit list->activated(list->currentIndex());
            }
            if (round % 11 == 0) h.delegate().updateDeviceList(nullptr);
        }
        events.join();

        if (duringUpdate) {  // the update ends either way (a disc change may refuse it)
            QString result;
            h.finishUpdate(result);
            QVERIFY(result == "Complete!" || result == "Error!");
        }
        int attached = 0;
        for (const auto& entry : std::filesystem::directory_iterator(h.folder())) {
            attached += sim::driveNameOf(entry.path()).has_value() ? 1 : 0;
        }
        h.delegate().updateDeviceList(nullptr);
        KDU_WAIT_FOR(h.titles().size() == attached && int(h.delegate().devices().size()) == attached);
        apptest::settle();
        QCOMPARE(h.window().cmbDriveList()->currentIndex(), h.delegate().currentIndex());
    }
};

QTEST_MAIN(RelistingStormTest)
#include "test_relisting_storm.moc"
