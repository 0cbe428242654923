// The window's small parts on their own: the label colour, the sheets' return codes, the
// command line, the translations and the main run loop on Qt's event loop.
#include <QAbstractButton>
#include <QLocale>
#include <QMessageBox>
#include <QTest>
#include <QThread>
#include <QTranslator>
#include <atomic>
#include <thread>
#include <unistd.h>

#include "app/AlertSheet.h"
#include "app/CommandLine.h"
#include "app/ConTextLabel.h"
#include "app/QtRunLoop.h"

class PartsTest : public QObject {
    Q_OBJECT
private slots:
    void labelColourFollowsEnabledState_data();
    void labelColourFollowsEnabledState();
    void sheetReturnCodes_data();
    void sheetReturnCodes();
    void commandLine_data();
    void commandLine();
    void translationsCarryBothMessages_data();
    void translationsCarryBothMessages();
    void runLoopPerformKeepsOrderAcrossThreads();
    void runLoopSourceFiresUntilRemoved();
    void runLoopStopEndsRun();
};

void PartsTest::labelColourFollowsEnabledState_data() {
    QTest::addColumn<bool>("throughParent");
    QTest::newRow("own setEnabled") << false;
    QTest::newRow("parent disabled") << true;
}

void PartsTest::labelColourFollowsEnabledState() {
    QFETCH(bool, throughParent);
    QWidget parent;
    auto* label = new ConTextLabel(&parent);
    const auto colour = [label](QPalette::ColorGroup group) { return label->palette().color(group, QPalette::WindowText); };
    QCOMPARE(colour(QPalette::Active), QColor(0, 0, 0));
    throughParent ? parent.setEnabled(false) : label->setEnabled(false);
    QVERIFY(!label->isEnabled());
    QCOMPARE(colour(QPalette::Disabled), QColor(100, 100, 100));
    throughParent ? parent.setEnabled(true) : label->setEnabled(true);
    QVERIFY(label->isEnabled());
    QCOMPARE(colour(QPalette::Active), QColor(0, 0, 0));
    QCOMPARE(ConTextLabel::defaultTextFont().pointSizeF(), 13.0);
}

void PartsTest::sheetReturnCodes_data() {
    QTest::addColumn<QString>("alternate");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("expected");
    QTest::newRow("Return chooses Cancel") << "OK" << "return" << kAlertDefaultReturn;
    QTest::newRow("OK clicked") << "OK" << "OK" << kAlertAlternateReturn;
    QTest::newRow("single button, Return") << "" << "return" << kAlertDefaultReturn;
}

void PartsTest::sheetReturnCodes() {
    QFETCH(QString, alternate);
    QFETCH(QString, action);
    QWidget window;
    window.show();
    int code = -1;
    QMessageBox* box = beginAlertSheet(&window, QStringLiteral("message"), alternate.isEmpty() ? "OK" : "Cancel",
                                       alternate, [&code](int c) { code = c; });
    QVERIFY(box->isVisible());
    QCOMPARE(box->windowModality(), Qt::WindowModal);
    QVERIFY(box->informativeText().isEmpty());
    QCOMPARE(box->buttons().size(), alternate.isEmpty() ? 1 : 2);
    if (action == "return") {
        QTest::keyClick(box, Qt::Key_Return);
    } else {
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == action) button->click();
        }
    }
    QTEST(code, "expected");
}

void PartsTest::commandLine_data() {
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("folder");  // null: refused
    QTest::newRow("demo folder") << "--simulate" << "";
    QTest::newRow("given folder") << "--simulate=/tmp/d" << "/tmp/d";
    QTest::newRow("empty folder") << "--simulate=" << QString();
    QTest::newRow("unknown option") << "--bogus" << QString();
}

void PartsTest::commandLine() {
    QFETCH(QString, argument);
    QFETCH(QString, folder);
    const ParsedOptions parsed = parseAppOptions({"prog", argument});
    QCOMPARE(parsed.options.has_value(), !folder.isNull());
    if (!parsed.options) {
        QCOMPARE(parsed.exitCode, 2);
        QVERIFY(!parsed.message.isEmpty());
        return;
    }
    QVERIFY(parsed.options->backend.simulate);
    QCOMPARE(QString::fromStdString(parsed.options->backend.folder.value_or("")), folder);
}

void PartsTest::translationsCarryBothMessages_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("word");  // a word of the no-drive message in that language
    QTest::newRow("en") << "en" << "quit";
    QTest::newRow("de") << "de" << "Laufwerk";
    QTest::newRow("ja") << "ja" << QString::fromUtf8("ドライブ");
}

void PartsTest::translationsCarryBothMessages() {
    QFETCH(QString, language);
    QFETCH(QString, word);
    QTranslator translator;
    QVERIFY(translator.load(QLocale(language), "kestory-drive-updater", "_", ":/i18n"));
    // Built ID-based: looked up by the message ID, in no context.
    QVERIFY(translator.translate(nullptr, "MESSAGE_NO_DRIVE_UPDATED").contains(word));
    QVERIFY(!translator.translate(nullptr, "MESSAGE_DONT_DISCONNECTUSB").isEmpty());
}

void PartsTest::runLoopPerformKeepsOrderAcrossThreads() {
    QtRunLoop loop;
    QList<int> seen;  // GUI thread only
    std::atomic<bool> offGui{false};
    QThread* gui = QThread::currentThread();
    std::thread poster([&] {
        for (int i = 0; i < 200; ++i) {
            loop.perform([&, i] {
                offGui = offGui || QThread::currentThread() != gui;
                seen.append(i);
            });
        }
    });
    poster.join();
    QTRY_COMPARE_WITH_TIMEOUT(seen.size(), 200, 60000);
    QVERIFY(!offGui);
    for (int i = 0; i < 200; ++i) QCOMPARE(seen[i], i);
}

void PartsTest::runLoopSourceFiresUntilRemoved() {
    QtRunLoop loop;
    int fds[2];
    QCOMPARE(::pipe(fds), 0);
    int calls = 0;
    platform::RunLoop::SourceId id = loop.addSource(fds[0], [&] {
        char byte;
        QCOMPARE(::read(fds[0], &byte, 1), ssize_t{1});
        ++calls;
        loop.removeSource(id);  // from inside its own callback
    });
    QCOMPARE(::write(fds[1], "x", 1), ssize_t{1});
    QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 60000);
    QCOMPARE(::write(fds[1], "y", 1), ssize_t{1});
    QTest::qWait(50);
    QCOMPARE(calls, 1);
    ::close(fds[0]);
    ::close(fds[1]);
}

void PartsTest::runLoopStopEndsRun() {
    QtRunLoop loop;
    bool ran = false;
    std::thread stopper([&] { loop.perform([&] { ran = true; loop.stop(); }); });
    stopper.join();
    loop.run();  // returns once the performed stop() ends it
    QVERIFY(ran);
}

QTEST_MAIN(PartsTest)
#include "test_parts.moc"
