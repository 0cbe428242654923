// The window for a screen reader and the keyboard: every control has a name and its role,
// the drive list is labelled, and an update is chosen, confirmed and finished with keys
// alone. (What the bus announces is checked through AT-SPI: tests/app/accessibility-bus.)
#include <QAccessible>

#include "tests/app/WindowHarness.h"

using apptest::settle;
using apptest::WindowHarness;

namespace {

bool interactive(QAccessible::Role role) {
    switch (role) {
    case QAccessible::PushButton:
    case QAccessible::ComboBox:
    case QAccessible::ProgressBar:
    case QAccessible::MenuItem:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::EditableText:
    case QAccessible::SpinBox:
    case QAccessible::Table:
        return true;
    default:
        return false;
    }
}

// "role 'text'" of each interactive element below `iface`, and those without a name.
void walk(QAccessibleInterface* iface, QStringList& named, QStringList& nameless, int depth = 0) {
    if (iface == nullptr || depth > 30) return;
    const QString name = iface->text(QAccessible::Name).trimmed();
    if (interactive(iface->role()) && !iface->state().invisible) {
        const QString who = QStringLiteral("%1 '%2'").arg(int(iface->role())).arg(name);
        (name.isEmpty() ? nameless : named).append(iface->object() ? who + " " + iface->object()->objectName() : who);
    }
    for (int i = 0; i < iface->childCount(); ++i) walk(iface->child(i), named, nameless, depth + 1);
}

void press(Qt::Key key) {
    QWidget* focus = QApplication::focusWidget();
    QVERIFY2(focus != nullptr, "nothing has the keyboard focus");
    QTest::keyClick(focus, key);
    settle();
}

}  // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        apptest::setUpProcess();
    }

    void everyControlIsNamed() {
        WindowHarness h;
        h.attach("a");
        h.startListed();
        QStringList named, nameless;
        walk(QAccessible::queryAccessibleInterface(&h.window()), named, nameless);
        h.window().btnUpdate()->click();  // and the confirmation sheet
        walk(QAccessible::queryAccessibleInterface(h.sheet()), named, nameless);
        QVERIFY2(nameless.isEmpty(), qPrintable(nameless.join(", ")));
        // The drive list is labelled by its caption; its name is the chosen drive.
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(h.window().cmbDriveList());
        QStringList labels;
        for (const auto& [label, relation] : list->relations(QAccessible::Label)) labels.append(label->text(QAccessible::Name));
        QCOMPARE(labels, QStringList{"Target Drive"});
        QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(h.window().idctProgressUpdate());
        QCOMPARE(bar->role(), QAccessible::ProgressBar);
        QCOMPARE(bar->text(QAccessible::Name), QStringLiteral("Update progress"));
        QCOMPARE(QAccessible::queryAccessibleInterface(h.window().lblStatus())->role(), QAccessible::StatusBar);
        h.sheet()->reject();
        settle();
    }

    void keyboardAloneUpdates() {
        WindowHarness h;
        h.attach("a");
        h.startListed();
        QApplication::setActiveWindow(&h.window());
        QVERIFY(QTest::qWaitForWindowActive(&h.window()));
        // Tab to the Update button, press it; Tab from Cancel (the default) to OK, press it.
        for (int i = 0; i < 5 && QApplication::focusWidget() != h.window().btnUpdate(); ++i) press(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), h.window().btnUpdate());
        press(Qt::Key_Space);
        QMessageBox* sheet = h.sheet();
        QVERIFY(sheet != nullptr);
        QVERIFY(QTest::qWaitForWindowActive(sheet));
        press(Qt::Key_Tab);
        QCOMPARE(sheet->buttonRole(qobject_cast<QAbstractButton*>(QApplication::focusWidget())), QMessageBox::AcceptRole);
        press(Qt::Key_Space);
        KDU_WAIT_FOR(h.sheet() != nullptr && h.sheet() != sheet);
        QVERIFY(QTest::qWaitForWindowActive(h.sheet()));
        const QString result = h.sheet()->text();
        press(Qt::Key_Return);  // OK is the result sheet's default
        QVERIFY(h.sheet() == nullptr);
        KDU_WAIT_FOR(!h.delegate().updating() && !h.delegate().listing());
        QCOMPARE(result, QStringLiteral("Complete!"));
        QCOMPARE(h.stateOf("a")->revision, std::string("1.21"));

    }
};

QTEST_MAIN(AccessibilityTest)
#include "test_accessibility.moc"
