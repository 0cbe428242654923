// The main run loop on top of Qt's event loop, so that whatever the platform layer
// schedules on the main run loop (the disk session, performed work) runs on the GUI thread.
#pragma once

#include <QObject>
#include <QPointer>
#include <atomic>
#include <map>
#include <memory>
#include <vector>

#include "platform/RunLoop.h"

class QEventLoop;
class QSocketNotifier;
class QThread;

class QtRunLoop final : public platform::RunLoop {
public:
    // Must be made on the GUI thread, after the application object.
    QtRunLoop();
    ~QtRunLoop() override;
    QtRunLoop(const QtRunLoop&) = delete;
    QtRunLoop& operator=(const QtRunLoop&) = delete;

    void perform(std::function<void()> work) override;
    SourceId addSource(int fd, std::function<void()> onReadable) override;
    void removeSource(SourceId id) override;
    void run() override;
    void runFor(std::chrono::milliseconds duration) override;
    void stop() override;

private:
    bool onGuiThread() const;
    void addSourceOnGui(SourceId id, int fd, std::function<void()> onReadable);
    void removeSourceOnGui(SourceId id);
    void stopOnGui();
    void runNested(QEventLoop& loop);

    // Child of the application, so it goes (with its notifiers) while Qt is still there;
    // work posted after that is dropped.
    QPointer<QObject> context_;
    QThread* guiThread_;
    std::atomic<SourceId> nextId_{1};
    std::map<SourceId, QPointer<QSocketNotifier>> notifiers_;  // GUI thread only; children of context_
    std::vector<QPointer<QEventLoop>> nested_;         // GUI thread only: run()/runFor() in progress
};
