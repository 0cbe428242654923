// Every text the window shows is translated: the widget tree is walked in English and again
// in German and Japanese, and each text (and tooltip) must differ from its English one.
#include "app/ElidedLabel.h"
#include "tests/app/WindowHarness.h"

using apptest::WindowHarness;

namespace {

sim::DriveSpec upToDate() {
    sim::DriveSpec profile = sim::defaultTargetDrive();
    profile.revision = "1.21";
    return profile;
}

// objectName/what -> text, for every visible text of the window's own widgets and actions.
using Texts = QMap<QString, QString>;

void collect(Texts& texts, const QString& key, const QString& text) {
    if (!text.trimmed().isEmpty()) texts.insert(key, text);
}

Texts walk(MainWindow& window) {
    Texts texts;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        const QString name = widget->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_"))) continue;
        // A cut line's tooltip is its whole text, which counts once, whatever the cut.
        if (auto* elided = qobject_cast<ElidedLabel*>(widget)) {
            collect(texts, name + "/text", elided->fullText());
            continue;
        }
        collect(texts, name + "/tooltip", widget->toolTip());
        if (auto* label = qobject_cast<QLabel*>(widget)) collect(texts, name + "/text", label->text());
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) collect(texts, name + "/text", button->text());
        if (auto* menu = qobject_cast<QMenu*>(widget)) collect(texts, name + "/title", menu->title());
        if (auto* list = qobject_cast<QComboBox*>(widget)) {
            for (int i = 0; i < list->count(); ++i) collect(texts, name + "/tip" + QString::number(i), list->itemData(i, Qt::ToolTipRole).toString());
        }
    }
    for (QAction* action : window.findChildren<QAction*>()) {
        if (action->objectName().isEmpty()) continue;
        collect(texts, action->objectName() + "/text", action->text());
    }
    return texts;
}

// The confirmation and its buttons, then the result of an update that fails at its first
// mode change: the step, the cause and the drive's state.
void addUpdateTexts(Texts& texts) {
    WindowHarness h;
    sim::DriveSpec failing = sim::defaultTargetDrive();
    failing.faults.modeChangeToKernel = true;
    h.attach("c", failing);
    h.startListed();
    h.window().btnUpdate()->click();
    QMessageBox* sheet = h.sheet();
    QVERIFY(sheet != nullptr);
    texts.insert("sheet/text", sheet->text());
    for (QAbstractButton* button : sheet->buttons()) {
        if (sheet->buttonRole(button) == QMessageBox::RejectRole) texts.insert("sheet/cancel", button->text());
    }
    h.accept(sheet);
    QString result;
    h.finishUpdate(result);
    texts.insert("result/title", result);
    texts.insert("result/details", h.lastInformative());
}

// The window before its first listing (status line) and after it (an up-to-date drive:
// "no need update" and its reason, the drive's line and tooltip), and an update's texts.
Texts windowTexts() {
    Texts texts;
    addUpdateTexts(texts);
    WindowHarness h;
    h.attach("a", upToDate());
    h.start();
    apptest::settle();
    texts.insert(walk(h.window()));
    h.settleWatch();
    h.initDeviceList();
    const Texts listed = walk(h.window());
    for (auto it = listed.begin(); it != listed.end(); ++it) texts.insert(it.key() + "/listed", it.value());
    return texts;
}

}  // namespace

class TranslationTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { apptest::setUpProcess(); }
    void cleanupTestCase() { installTranslations(*QCoreApplication::instance(), QLocale(QLocale::English)); }

    void everyTextTranslated_data() {
        QTest::addColumn<QString>("language");
        QTest::newRow("German") << "de";
        QTest::newRow("Japanese") << "ja";
    }
    void everyTextTranslated() {
        QFETCH(QString, language);
        installTranslations(*QCoreApplication::instance(), QLocale(QLocale::English));
        const Texts english = windowTexts();
        QVERIFY(english.contains("lblStatus/text"));
        QVERIFY(english.contains("lblTxtReason/text/listed"));
        QVERIFY(english.contains("sheet/cancel"));
        QVERIFY(english.value("result/details").contains("switching the drive to its update mode"));
        QCOMPARE(english.value("lblTxtUpdateVersion/text/listed"), QStringLiteral("no need update"));

        installTranslations(*QCoreApplication::instance(), QLocale(language));
        const Texts local = windowTexts();
        QCOMPARE(local.keys(), english.keys());
        for (auto it = english.begin(); it != english.end(); ++it) {
            QVERIFY2(local.value(it.key()) != it.value(),
                     qPrintable(QStringLiteral("%1 stays \"%2\"").arg(it.key(), it.value())));
        }
    }
};

QTEST_MAIN(TranslationTest)
#include "test_translations.moc"
