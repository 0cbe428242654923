// The window loaded from MainWindow.ui. It holds widget behaviour only: it hands its
// controls out, gives them their translated texts and its icon, asks before it closes,
// and reports moves, resizes and the Quit action.
#pragma once

#include <QKeySequence>
#include <QMainWindow>
#include <functional>
#include <memory>

class QComboBox;
class ElidedLabel;
class QLabel;
class QProgressBar;
class QPushButton;
class QAction;
class QIcon;
class QShortcut;
namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    QComboBox* cmbDriveList() const;
    QLabel* lblTitleTargetDrive() const;
    QLabel* lblTitleWillUpdateTo() const;
    QLabel* lblTxtUpdateVersion() const;
    QProgressBar* idctProgressUpdate() const;
    QPushButton* btnUpdate() const;
    QAction* actionQuit() const;
    QAction* actionAbout() const;
    QAction* actionHistory() const;
    ElidedLabel* lblDriveDetails() const;  // the current drive's nodes and identity
    ElidedLabel* lblTxtReason() const;  // why the current drive may not be updated
    QLabel* lblStatus() const;        // what is happening now

    // The name people see: window title, sheet titles, About box.
    static QString displayName();
    // The program's icon, from the resources.
    static QIcon applicationIcon();

    // Asked on every close request; false keeps the window open.
    void setShouldClose(std::function<bool()> shouldClose);
    // While quitting is not allowed File > Quit is disabled, and its shortcut reports
    // quitRefused() instead, so the refusal is said rather than swallowed.
    void setQuitAllowed(bool allowed);

signals:
    void moved();
    void resized();
    void quitRefused();

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void applyTexts();

    std::unique_ptr<Ui::MainWindow> ui_;
    std::function<bool()> shouldClose_;
    QShortcut* quitRefusal_ = nullptr;
    QKeySequence quitKey_;
};
