// The main run loop on Qt's event loop: work and fd sources run on the GUI thread, in
// order, from any thread; runFor and stop end the nested loops.
#include <QTest>
#include <QThread>
#include <atomic>
#include <thread>
#include <unistd.h>
#include <vector>

#include "app/QtRunLoop.h"

class QtRunLoopTest : public QObject {
    Q_OBJECT
private slots:
    void performKeepsOrderAcrossThreads();
    void sourceFiresOnGuiThreadUntilRemoved();
    void stopEndsRun();
};

void QtRunLoopTest::performKeepsOrderAcrossThreads() {
    QtRunLoop loop;
    std::vector<int> seen;  // GUI thread only
    std::atomic<bool> offGui{false};
    QThread* gui = QThread::currentThread();
    std::thread poster([&] {
        for (int i = 0; i < 200; ++i) {
            loop.perform([&, i] {
                offGui = offGui || QThread::currentThread() != gui;
                seen.push_back(i);
            });
        }
    });
    poster.join();
    QTRY_COMPARE_WITH_TIMEOUT(seen.size(), std::size_t{200}, 60000);
    QVERIFY(!offGui);
    for (int i = 0; i < 200; ++i) {
        QCOMPARE(seen[static_cast<std::size_t>(i)], i);
    }
}

void QtRunLoopTest::sourceFiresOnGuiThreadUntilRemoved() {
    QtRunLoop loop;
    int fds[2];
    QCOMPARE(::pipe(fds), 0);
    int calls = 0;
    platform::RunLoop::SourceId id = 0;
    id = loop.addSource(fds[0], [&] {
        char byte;
        QCOMPARE(::read(fds[0], &byte, 1), ssize_t{1});
        ++calls;
        loop.removeSource(id);  // removal from inside its own callback
    });
    QCOMPARE(::write(fds[1], "x", 1), ssize_t{1});
    QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 60000);
    QCOMPARE(::write(fds[1], "y", 1), ssize_t{1});
    QTest::qWait(50);
    QCOMPARE(calls, 1);
    ::close(fds[0]);
    ::close(fds[1]);
}

void QtRunLoopTest::stopEndsRun() {
    QtRunLoop loop;
    bool ran = false;
    std::thread stopper([&] { loop.perform([&] { ran = true; loop.stop(); }); });
    stopper.join();
    loop.run();  // returns once the performed stop() ends it
    QVERIFY(ran);
}

QTEST_MAIN(QtRunLoopTest)
#include "test_qt_run_loop.moc"
