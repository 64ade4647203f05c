#include "core/Cleanable.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <mutex>
#include <unordered_map>

#include "device/DeviceManager.h"
#include "host/HostRuntime.h"
#include "platform/Immortal.h"

namespace tw {
namespace {

// Registered objects by address. The procedures look the object up here
// before touching it, so a late call from the host never reaches freed memory.
class Registrations {
public:
    // An object's procedures: the task's own and the output wait's.
    using Procs = std::array<TwCleanupProc, 2>;

    // True when the object is now registered with `proc`.
    bool add(Cleanable* object, TwCleanupProc proc) {
        std::lock_guard lock(mutex_);
        Entry& entry = entries_[object];
        if (entry.withdrawing) return false;
        auto free = std::find(entry.procs.begin(), entry.procs.end(), nullptr);
        if (std::find(entry.procs.begin(), entry.procs.end(), proc) != entry.procs.end() || free == entry.procs.end())
            return false;
        *free = proc;
        return true;
    }

    void drop(Cleanable* object, TwCleanupProc proc) {
        std::lock_guard lock(mutex_);
        auto it = entries_.find(object);
        if (it == entries_.end()) return;
        std::replace(it->second.procs.begin(), it->second.procs.end(), proc, TwCleanupProc{nullptr});
        if (it->second.idle()) entries_.erase(it);
    }

    // The procedures the object was registered with; it is forgotten once no
    // clean-up of it runs any more.
    Procs take(Cleanable* object) {
        std::unique_lock lock(mutex_);
        auto it = entries_.find(object);
        if (it == entries_.end()) return {};
        it->second.withdrawing = true;
        done_.wait(lock, [&] { return it->second.running == 0; });
        Procs procs = it->second.procs;
        entries_.erase(it);
        return procs;
    }

    int32_t run(Cleanable* object) {
        {
            std::lock_guard lock(mutex_);
            auto it = entries_.find(object);
            if (it == entries_.end() || it->second.withdrawing) return 1;
            ++it->second.running;
        }
        const int32_t result = object->cleanup();
        {
            std::lock_guard lock(mutex_);
            --entries_[object].running;
        }
        done_.notify_all();
        return result;
    }

private:
    struct Entry {
        Procs procs{};
        int running = 0;
        bool withdrawing = false;
        bool idle() const {
            return running == 0 && std::all_of(procs.begin(), procs.end(), [](TwCleanupProc p) { return !p; });
        }
    };

    std::mutex mutex_;
    std::condition_variable done_;
    std::unordered_map<Cleanable*, Entry> entries_;
};

// Never destroyed: objects are withdrawn while the process exits.
Registrations& registrations() {
    static auto* r = platform::immortal(new Registrations());
    return *r;
}

}  // namespace

Cleanable::~Cleanable() { cleanup::withdraw(this); }

int32_t taskCleanupProc(void* object) { return cleanup::run(object); }

namespace cleanup {

int32_t enrol(Cleanable* object) {
    if (!registrations().add(object, taskCleanupProc)) return 0;
    const int32_t result = DeviceManager::instance()->registerTask(object);
    if (result != 0) registrations().drop(object, taskCleanupProc);
    return result;
}

int32_t enrolAlso(Cleanable* object, TwCleanupProc proc, int32_t mode) {
    if (!registrations().add(object, proc)) return 0;
    const int32_t result = host::registerCleanup(proc, object, mode);
    if (result != 0) registrations().drop(object, proc);
    return result;
}

void withdraw(Cleanable* object) {
    for (TwCleanupProc proc : registrations().take(object)) {
        if (proc == taskCleanupProc)
            DeviceManager::instance()->unregisterTask(object);
        else if (proc)
            host::registerCleanup(proc, object, host::kCleanupRemove);
    }
}

int32_t run(void* object) { return object ? registrations().run(static_cast<Cleanable*>(object)) : 1; }

}  // namespace cleanup
}  // namespace tw
