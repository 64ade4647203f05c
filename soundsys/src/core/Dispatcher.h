// Delivers notification callbacks on a driver's thread with no module lock
// held, and lets a buffer being released wait until none of its callbacks
// runs any more.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/Ring.h"

namespace tws {

// One per buffer; `closed` is guarded by the dispatcher's mutex.
struct DeliveryToken {
    bool closed = false;
};

struct PendingNotice {
    Notice notice;
    std::shared_ptr<DeliveryToken> token;
};

class Dispatcher {
public:
    // Calls each notice whose token is still open, in order.
    void deliver(std::vector<PendingNotice>& batch);

    // After this returns no callback of the token is running or will be
    // called, except the one the calling thread itself is inside.
    void close(DeliveryToken& token);

    // True on a thread that is inside a callback delivered here.
    static bool inCallback();

private:
    struct InFlight {
        const DeliveryToken* token;
        std::thread::id thread;
    };

    std::mutex mutex_;
    std::condition_variable done_;
    std::vector<InFlight> inFlight_;
};

}  // namespace tws
