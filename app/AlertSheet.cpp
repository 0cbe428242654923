#include "app/AlertSheet.h"

#include <QMessageBox>
#include <QPushButton>

QMessageBox* beginAlertSheet(QWidget* window, const QString& message, const QString& defaultButton,
                             const QString& alternateButton, std::function<void(int)> didEnd,
                             const QString& informativeText) {
    auto* box = new QMessageBox(window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->setText(message);
    box->setInformativeText(informativeText);

    // With two buttons the default one is the safe way out.
    const bool single = alternateButton.isEmpty();
    QPushButton* defaultBtn = box->addButton(defaultButton, single ? QMessageBox::AcceptRole : QMessageBox::RejectRole);
    if (!single) {
        box->addButton(alternateButton, QMessageBox::AcceptRole);
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
