// The hidden --screenshot run: walks the window through an update on simulated drives and
// saves pictures of it for the README, then, when the folder holds a drive whose id has
// "failing" in it, through a failed update of that drive; then quits.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class MainWindow;

class ScreenshotTour : public QObject {
    Q_OBJECT
public:
    ScreenshotTour(MainWindow& window, QString directory);
    void start();

signals:
    void finished(int exitCode);

private:
    enum class Step { WaitReady, WaitSheet, WaitProgress, WaitResult, ChooseFailing, WaitFailSheet, WaitFailure };
    void poll();
    bool save(const QString& name, bool wholeScreen);
    void finish(int exitCode);
    // True once a sheet has been visible for a few polls.
    bool placed();

    MainWindow& window_;
    QString directory_;
    QTimer timer_;
    Step step_ = Step::WaitReady;
    QString firstResult_;
    int polls_ = 0;
    int sheetPolls_ = 0;
};
