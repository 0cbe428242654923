// The window loaded from MainWindow.ui. It holds widget behaviour only: it hands its
// controls out, asks before it closes, and reports moves, resizes and the Quit action.
#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QAction;
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

    // Asked on every close request; false keeps the window open, silently.
    void setShouldClose(std::function<bool()> shouldClose);

signals:
    void moved();
    void resized();

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    std::unique_ptr<Ui::MainWindow> ui_;
    std::function<bool()> shouldClose_;
};
