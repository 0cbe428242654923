// The window's small parts on their own: the label colour, the sheets' return codes and
// the command line.
#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <QLocale>
#include <QTest>
#include <QTranslator>
#include <QWidget>

#include "app/AlertSheet.h"
#include "app/CommandLine.h"
#include "app/ConTextLabel.h"

class WidgetsTest : public QObject {
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
};

void WidgetsTest::labelColourFollowsEnabledState_data() {
    QTest::addColumn<bool>("throughParent");
    QTest::newRow("own setEnabled") << false;
    QTest::newRow("parent disabled") << true;
}

void WidgetsTest::labelColourFollowsEnabledState() {
    QFETCH(bool, throughParent);
    QWidget parent;
    auto* label = new ConTextLabel(&parent);
    const auto textColour = [label] { return label->palette().color(QPalette::Disabled, QPalette::WindowText); };
    QCOMPARE(label->palette().color(QPalette::Active, QPalette::WindowText), QColor(0, 0, 0));

    throughParent ? parent.setEnabled(false) : label->setEnabled(false);
    QVERIFY(!label->isEnabled());
    QCOMPARE(textColour(), QColor(100, 100, 100));

    throughParent ? parent.setEnabled(true) : label->setEnabled(true);
    QVERIFY(label->isEnabled());
    QCOMPARE(label->palette().color(QPalette::Active, QPalette::WindowText), QColor(0, 0, 0));
    QCOMPARE(ConTextLabel::defaultTextFont().pointSizeF(), 13.0);
}

void WidgetsTest::sheetReturnCodes_data() {
    QTest::addColumn<QString>("alternate");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("expected");
    QTest::newRow("Return chooses Cancel") << "OK" << "return" << kAlertDefaultReturn;
    QTest::newRow("OK clicked") << "OK" << "OK" << kAlertAlternateReturn;
    QTest::newRow("single button, Return") << "" << "return" << kAlertDefaultReturn;
}

void WidgetsTest::sheetReturnCodes() {
    QFETCH(QString, alternate);
    QFETCH(QString, action);
    QFETCH(int, expected);
    QWidget window;
    window.show();
    int code = -1;
    const QString defaultTitle = alternate.isEmpty() ? QStringLiteral("OK") : QStringLiteral("Cancel");
    QMessageBox* box = beginAlertSheet(&window, QStringLiteral("message"), defaultTitle, alternate,
                                       [&code](int c) { code = c; });
    QVERIFY(box->isVisible());
    QCOMPARE(box->windowModality(), Qt::WindowModal);
    QVERIFY(box->informativeText().isEmpty());
    QCOMPARE(box->buttons().size(), alternate.isEmpty() ? 1 : 2);
    if (action == QLatin1String("return")) {
        QTest::keyClick(box, Qt::Key_Return);
    } else {
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == action) {
                button->click();
            }
        }
    }
    QCOMPARE(code, expected);
}

void WidgetsTest::commandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("runs");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("simulate");
    QTest::addColumn<QString>("folder");
    QTest::newRow("demo folder") << QStringList{"prog", "--simulate"} << true << 0 << true << "";
    QTest::newRow("given folder") << QStringList{"prog", "--simulate=/tmp/d"} << true << 0 << true << "/tmp/d";
    QTest::newRow("empty folder") << QStringList{"prog", "--simulate="} << false << 2 << false << "";
    QTest::newRow("unknown option") << QStringList{"prog", "--bogus"} << false << 2 << false << "";
}

void WidgetsTest::commandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, runs);
    QFETCH(int, exitCode);
    QFETCH(bool, simulate);
    QFETCH(QString, folder);
    const ParsedOptions parsed = parseAppOptions(arguments);
    QCOMPARE(parsed.options.has_value(), runs);
    if (!runs) {
        QCOMPARE(parsed.exitCode, exitCode);
        QVERIFY(!parsed.message.isEmpty());
        return;
    }
    QCOMPARE(parsed.options->backend.simulate, simulate);
    QCOMPARE(QString::fromStdString(parsed.options->backend.folder.value_or("")), folder);
}

void WidgetsTest::translationsCarryBothMessages_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("word");  // a word of the no-drive message in that language
    QTest::newRow("en") << "en" << "quit";
    QTest::newRow("de") << "de" << "Laufwerk";
    QTest::newRow("ja") << "ja" << QString::fromUtf8("ドライブ");
}

void WidgetsTest::translationsCarryBothMessages() {
    QFETCH(QString, language);
    QFETCH(QString, word);
    QTranslator translator;
    QVERIFY(translator.load(QLocale(language), "kestory-drive-updater", "_", ":/i18n"));
    // Built ID-based: looked up by the message ID, in no context.
    QVERIFY(translator.translate(nullptr, "MESSAGE_NO_DRIVE_UPDATED").contains(word));
    QVERIFY(!translator.translate(nullptr, "MESSAGE_DONT_DISCONNECTUSB").isEmpty());
}

QTEST_MAIN(WidgetsTest)
#include "test_widgets.moc"
