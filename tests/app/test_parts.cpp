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
    void labelColourFollowsEnabledState() {
        QWidget parent;
        auto* label = new ConTextLabel(&parent);
        const auto colour = [label](QPalette::ColorGroup group) { return label->palette().color(group, QPalette::WindowText); };
        QCOMPARE(colour(QPalette::Active), QColor(0, 0, 0));
        parent.setEnabled(false);  // reaches the label only as a change event
        QCOMPARE(colour(QPalette::Disabled), QColor(100, 100, 100));
        parent.setEnabled(true);
        QCOMPARE(colour(QPalette::Active), QColor(0, 0, 0));
        QCOMPARE(ConTextLabel::defaultTextFont().pointSizeF(), 13.0);
    }

    void sheetReturnCodes() {
        QWidget window;
        window.show();
        int code = -1;
        const auto open = [&] { return beginAlertSheet(&window, "message", "Cancel", "OK", [&](int c) { code = c; }); };
        QMessageBox* box = open();
        QVERIFY(box->isVisible());
        QCOMPARE(box->windowModality(), Qt::WindowModal);
        QVERIFY(box->informativeText().isEmpty());
        QCOMPARE(box->buttons().size(), 2);
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(code, 1);  // Return chooses "Cancel"
        for (QAbstractButton* button : open()->buttons()) {
            if (button->text() == "OK") button->click();
        }
        QCOMPARE(code, 0);
    }

    void commandLine_data() {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("folder");  // null: refused
        QTest::newRow("demo folder") << "--simulate" << "";
        QTest::newRow("given folder") << "--simulate=/tmp/d" << "/tmp/d";
        QTest::newRow("empty folder") << "--simulate=" << QString();
        QTest::newRow("unknown option") << "--bogus" << QString();
    }
    void commandLine() {
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

    void verboseShowsTheLogOnStderr() {
        for (const char* flag : {"-v", "--verbose"}) {
            const ParsedOptions parsed = parseAppOptions({"prog", "--simulate", flag});
            QVERIFY(parsed.options && parsed.options->verbose);
        }
        QVERIFY(!parseAppOptions({"prog"}).options->verbose);
    }

    void translationsCarryBothMessages() {
        // A word of the no-drive message in each language.
        for (const auto& [language, word] : {std::pair{"en", "quit"}, {"de", "Laufwerk"}, {"ja", "ドライブ"}}) {
            QTranslator translator;
            QVERIFY(translator.load(QLocale(language), "kestory-drive-updater", "_", ":/i18n"));
            // Built ID-based: looked up by the message ID, in no context.
            QVERIFY(translator.translate(nullptr, "MESSAGE_NO_DRIVE_UPDATED").contains(QString::fromUtf8(word)));
            QVERIFY(!translator.translate(nullptr, "MESSAGE_DONT_DISCONNECTUSB").isEmpty());
        }
    }

    void runLoopPerformKeepsOrderAcrossThreads() {
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

    void runLoopSourceFiresUntilRemoved() {
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

    void runLoopStopEndsRun() {
        QtRunLoop loop;
        bool ran = false;
        std::thread stopper([&] { loop.perform([&] { ran = true; loop.stop(); }); });
        stopper.join();
        loop.run();  // returns once the performed stop() ends it
        QVERIFY(ran);
    }
};

QTEST_MAIN(PartsTest)
#include "test_parts.moc"
