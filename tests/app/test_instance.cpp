// One window per user session: the name it listens on, the hand-over to a running window
// (in process and between two real launches), and the options that need no display.
#include <unistd.h>

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <thread>

#include "app/SingleInstance.h"

#define KDU_WAIT_FOR(condition) QTRY_VERIFY_WITH_TIMEOUT(condition, 120000)

namespace {

// The program's environment: no display, and the given runtime folder and session.
QProcessEnvironment programEnvironment(const QString& runtimeDir, const QString& session) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_ID"}) env.remove(variable);
    env.insert("XDG_RUNTIME_DIR", runtimeDir);
    // The program is under test for what it says and does, not for its leak report.
    env.insert("ASAN_OPTIONS", "detect_leaks=0");
    env.insert("XDG_SESSION_ID", session);
    return env;
}

}  // namespace

class InstanceTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(runtime_.isValid()); }

    void nameIsTheUsersAndTheSessions() {
        qputenv("XDG_RUNTIME_DIR", runtime_.path().toUtf8());
        qputenv("XDG_SESSION_ID", "3");
        const QString mine = instanceServerName();
        QVERIFY(mine.startsWith(runtime_.path() + "/"));  // a folder only this user may enter
        qputenv("XDG_SESSION_ID", "4");
        QVERIFY(instanceServerName() != mine);  // another session has a window of its own
        qunsetenv("XDG_RUNTIME_DIR");
        QVERIFY(instanceServerName().contains(QStringLiteral("uid%1").arg(::getuid())));
        qunsetenv("XDG_SESSION_ID");
    }

    void handOverRaisesTheRunningWindow() {
        const QString name = runtime_.filePath("in-process");
        QVERIFY(!SingleInstance::handOver(name, 500));  // nobody listens yet
        SingleInstance first;
        QVERIFY(first.listen(name));
        QSignalSpy raised(&first, &SingleInstance::raiseRequested);
        std::atomic<int> answer{-1};
        std::thread second([&] { answer = SingleInstance::handOver(name) ? 1 : 0; });
        KDU_WAIT_FOR(answer != -1);
        second.join();
        QCOMPARE(answer.load(), 1);
        QCOMPARE(raised.count(), 1);
    }

    void socketLeftByACrashIsTakenOver() {
        const QString name = runtime_.filePath("stale");
        // What a crashed window leaves: a name taken on disk with nobody behind it.
        QFile stale(name);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        SingleInstance next;
        QVERIFY(next.listen(name));
    }

    void helpAndVersionNeedNoDisplay_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("expected");
        QTest::newRow("help") << "--help" << "--simulate";
        QTest::newRow("version") << "--version" << "kestory-drive-updater " KDU_PROGRAM_VERSION;
    }
    void helpAndVersionNeedNoDisplay() {
        QFETCH(QString, option);
        QProcess program;
        program.setProcessEnvironment(programEnvironment(runtime_.path(), "help"));
        program.start(KDU_APP_PROGRAM, {option});
        QVERIFY(program.waitForFinished(120000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QFETCH(QString, expected);
        QVERIFY(QString::fromUtf8(program.readAllStandardOutput()).contains(expected));
    }

    void secondLaunchHandsOverAndLeaves() {
        QTemporaryDir home;
        QProcessEnvironment env = programEnvironment(runtime_.path(), "handover");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_STATE_HOME", home.filePath("state"));
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
        QDir().mkpath(home.filePath("drives"));
        const QStringList arguments{"--simulate=" + home.filePath("drives")};

        QProcess first;
        first.setProcessEnvironment(env);
        first.start(KDU_APP_PROGRAM, arguments);
        QVERIFY(first.waitForStarted());
        qputenv("XDG_RUNTIME_DIR", runtime_.path().toUtf8());
        qputenv("XDG_SESSION_ID", "handover");
        const QString name = instanceServerName();
        qunsetenv("XDG_SESSION_ID");
        KDU_WAIT_FOR(QFile::exists(name));

        QProcess second;
        second.setProcessEnvironment(env);
        second.start(KDU_APP_PROGRAM, arguments);
        QVERIFY(second.waitForFinished(120000));
        QCOMPARE(second.exitCode(), 0);
        const QStringList said = QString::fromUtf8(second.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(said.size(), 1);
        QVERIFY(said.first().contains("already open"));
        QCOMPARE(first.state(), QProcess::Running);  // the first window stays
        first.kill();
        first.waitForFinished();
    }

private:
    QTemporaryDir runtime_;
};

QTEST_GUILESS_MAIN(InstanceTest)
#include "test_instance.moc"
