// Alerts shown as sheets: window-modal, opened without a nested event loop.
#pragma once

#include <QString>
#include <functional>

class QMessageBox;
class QPushButton;
class QWidget;

// Return codes of a sheet's end handler.
inline constexpr int kAlertDefaultReturn = 1;
inline constexpr int kAlertAlternateReturn = 0;

// Shows `message` with an empty informative text. The default button is chosen by
// Return and by Escape; `alternateButton` may be empty (one button only). `didEnd`,
// if given, receives kAlertDefaultReturn or kAlertAlternateReturn.
QMessageBox* beginAlertSheet(QWidget* window, const QString& message, const QString& defaultButton,
                             const QString& alternateButton, std::function<void(int)> didEnd,
                             const QString& informativeText = QString());

// A button on the sheet that runs `action` and leaves the sheet open.
QPushButton* addSheetAction(QMessageBox* box, const QString& title, std::function<void(QPushButton*)> action);
