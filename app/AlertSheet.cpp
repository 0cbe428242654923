#include "app/AlertSheet.h"

#include <QMessageBox>
#include <QPushButton>

#include "app/MainWindow.h"

namespace {

// "OK" and "Cancel" are the toolkit's standard buttons, so they read as every other
// program's do in the person's language; other titles are used as given.
QPushButton* addSheetButton(QMessageBox& box, const QString& title, QMessageBox::ButtonRole role) {
    if (title == QLatin1String("OK")) {
        return box.addButton(QMessageBox::Ok);
    }
    if (title == QLatin1String("Cancel")) {
        return box.addButton(QMessageBox::Cancel);
    }
    return box.addButton(title, role);
}

}  // namespace

QMessageBox* beginAlertSheet(QWidget* window, const QString& message, const QString& defaultButton,
                             const QString& alternateButton, std::function<void(int)> didEnd,
                             const QString& informativeText) {
    auto* box = new QMessageBox(window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->setWindowTitle(MainWindow::displayName());
    box->setText(message);
    box->setInformativeText(informativeText);

    // With two buttons the default one is the safe way out.
    const bool single = alternateButton.isEmpty();
    QPushButton* defaultBtn =
        addSheetButton(*box, defaultButton, single ? QMessageBox::AcceptRole : QMessageBox::RejectRole);
    if (!single) {
        addSheetButton(*box, alternateButton, QMessageBox::AcceptRole);
    }
    box->setDefaultButton(defaultBtn);
    box->setEscapeButton(defaultBtn);

    QObject::connect(box, &QMessageBox::finished, box, [box, defaultBtn, didEnd = std::move(didEnd)](int) {
        const QAbstractButton* clicked = box->clickedButton();
        const int code = (clicked == nullptr || clicked == defaultBtn) ? kAlertDefaultReturn : kAlertAlternateReturn;
        if (didEnd) {
            didEnd(code);
        }
    });
    box->open();
    return box;
}

QPushButton* addSheetAction(QMessageBox* box, const QString& title, std::function<void(QPushButton*)> action) {
    QPushButton* button = box->addButton(title, QMessageBox::ActionRole);
    // Every button of a message box ends it; this one only acts.
    QObject::disconnect(button, &QAbstractButton::clicked, nullptr, nullptr);
    QObject::connect(button, &QAbstractButton::clicked, box, [button, action = std::move(action)] { action(button); });
    return button;
}
