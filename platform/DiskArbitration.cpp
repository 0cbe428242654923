#include "platform/DiskArbitration.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <vector>

namespace platform {

class DADisk {
public:
    explicit DADisk(DiskDescription description) : description_(std::move(description)) {}
    DADiskDescription copyDescription() const { return {description_.volumeName, description_.deviceModel}; }
    const std::string& bsdName() const { return description_.bsdName; }

private:
    DiskDescription description_;
};

namespace {

std::atomic<bool> gFailNextSessionCreation{false};

enum class Kind { Appeared, Disappeared };

struct Callback {
    Kind kind;
    void* function;  // the callback as the caller registered it, compared on unregistration
    void* context;
    std::uint64_t id;
};

template <typename Function>
void* asAddress(Function function) {
    return reinterpret_cast<void*>(function);
}

void invoke(const Callback& callback, const DADisk& disk) {
    // Both callback types share one signature.
    reinterpret_cast<DADiskAppearedCallback>(callback.function)(&disk, callback.context);
}

}  // namespace

// What the callbacks and the deliveries posted to the run loop share: work already
// posted may run after the session is gone, and then finds it expired.
struct SessionState {
    std::mutex mutex;
    std::unique_ptr<EventSource> source;
    RunLoop* loop = nullptr;
    RunLoop::SourceId sourceId = 0;
    std::vector<Callback> callbacks;
    std::uint64_t nextId = 1;
    // Appeared callbacks registered before the session was scheduled still owe the
    // report of the disks present at registration.
    std::vector<std::pair<std::uint64_t, std::vector<DiskDescription>>> owedReports;

    std::vector<Callback> callbacksOf(Kind kind) {
        std::lock_guard lock(mutex);
        std::vector<Callback> selected;
        for (const Callback& callback : callbacks)
            if (callback.kind == kind) selected.push_back(callback);
        return selected;
    }

    std::optional<Callback> find(std::uint64_t id) {
        std::lock_guard lock(mutex);
        for (const Callback& callback : callbacks)
            if (callback.id == id) return callback;
        return std::nullopt;
    }
};

namespace {

// Runs on the session's loop: the present disks, to the one callback that registered,
// if it is still registered by then.
void postPresentDisks(RunLoop& loop, const std::shared_ptr<SessionState>& state, std::uint64_t callbackId,
                      std::vector<DiskDescription> disks) {
    loop.perform([weak = std::weak_ptr<SessionState>(state), callbackId, disks = std::move(disks)] {
        for (const DiskDescription& description : disks) {
            std::optional<Callback> callback;
            if (auto alive = weak.lock()) callback = alive->find(callbackId);
            if (!callback) return;
            invoke(*callback, DADisk(description));
        }
    });
}

// A callback may unregister others, so each is looked up again before its call.
void report(SessionState& state, Kind kind, const std::vector<DiskDescription>& disks) {
    for (const DiskDescription& description : disks) {
        for (const Callback& listed : state.callbacksOf(kind)) {
            if (auto callback = state.find(listed.id)) invoke(*callback, DADisk(description));
        }
    }
}

void dispatchDiskEvents(const std::shared_ptr<SessionState>& state) {
    HotplugEvents events;
    state->source->drain(events);
    report(*state, Kind::Appeared, events.disksAppeared);
    report(*state, Kind::Disappeared, events.disksDisappeared);
}

}  // namespace

class DASession {
public:
    explicit DASession(std::unique_ptr<EventSource> source) : state_(std::make_shared<SessionState>()) {
        state_->source = std::move(source);
    }
    ~DASession() { unschedule(nullptr); }

    void schedule(RunLoop& loop) {
        unschedule(nullptr);
        std::vector<std::pair<std::uint64_t, std::vector<DiskDescription>>> owed;
        {
            std::lock_guard lock(state_->mutex);
            state_->loop = &loop;
            // The callback holds the state weakly: the session owns it, the loop does not.
            state_->sourceId = loop.addSource(state_->source->fd(), [weak = std::weak_ptr<SessionState>(state_)] {
                if (auto state = weak.lock()) dispatchDiskEvents(state);
            });
            owed.swap(state_->owedReports);
        }
        for (auto& [id, disks] : owed) postPresentDisks(loop, state_, id, std::move(disks));
    }

    // With a loop, only from that loop; with none, from whichever it is scheduled on.
    void unschedule(RunLoop* from) {
        RunLoop* loop;
        RunLoop::SourceId id;
        {
            std::lock_guard lock(state_->mutex);
            if (!state_->loop || (from && from != state_->loop)) return;
            loop = state_->loop;
            id = state_->sourceId;
            state_->loop = nullptr;
        }
        loop->removeSource(id);
    }

    void add(Kind kind, void* function, void* context) {
        RunLoop* loop;
        std::uint64_t id;
        {
            std::lock_guard lock(state_->mutex);
            id = state_->nextId++;
            state_->callbacks.push_back(Callback{kind, function, context, id});
            loop = state_->loop;
            if (kind == Kind::Appeared && !loop) state_->owedReports.emplace_back(id, backend().presentDisks());
        }
        if (kind == Kind::Appeared && loop) postPresentDisks(*loop, state_, id, backend().presentDisks());
    }

    void remove(void* function, void* context) {
        std::lock_guard lock(state_->mutex);
        std::erase_if(state_->callbacks,
                      [&](const Callback& c) { return c.function == function && c.context == context; });
        std::erase_if(state_->owedReports, [&](const auto& owed) {
            for (const Callback& c : state_->callbacks)
                if (c.id == owed.first) return false;
            return true;
        });
    }

private:
    std::shared_ptr<SessionState> state_;
};

DASessionRef DASessionCreate() {
    if (gFailNextSessionCreation.exchange(false)) return nullptr;
    std::unique_ptr<EventSource> source = backend().createDiskEventSource();
    if (!source) return nullptr;
    return new DASession(std::move(source));
}

void DASessionScheduleWithRunLoop(DASessionRef session, RunLoop& loop) {
    if (session) session->schedule(loop);
}

void DASessionUnscheduleFromRunLoop(DASessionRef session, RunLoop& loop) {
    if (session) session->unschedule(&loop);
}

void DASessionRelease(DASessionRef session) { delete session; }

void DARegisterDiskAppearedCallback(DASessionRef session, const void* /*match*/, DADiskAppearedCallback callback,
                                    void* context) {
    if (session && callback) session->add(Kind::Appeared, asAddress(callback), context);
}

void DARegisterDiskDisappearedCallback(DASessionRef session, const void* /*match*/, DADiskDisappearedCallback callback,
                                       void* context) {
    if (session && callback) session->add(Kind::Disappeared, asAddress(callback), context);
}

void DAUnregisterCallback(DASessionRef session, void* callback, void* context) {
    if (session && callback) session->remove(callback, context);
}

std::optional<DADiskDescription> DADiskCopyDescription(DADiskRef disk) {
    if (!disk) return std::nullopt;
    return disk->copyDescription();
}

const char* DADiskGetBSDName(DADiskRef disk) { return disk ? disk->bsdName().c_str() : nullptr; }

namespace testing {
void failNextSessionCreation(bool fail) { gFailNextSessionCreation = fail; }
}  // namespace testing

}  // namespace platform
