#include "core/Dispatcher.h"

#include <algorithm>

namespace tws {

namespace {
thread_local int tlCallbackDepth = 0;
}

bool Dispatcher::inCallback() { return tlCallbackDepth > 0; }

void Dispatcher::deliver(std::vector<PendingNotice>& batch) {
    const auto self = std::this_thread::get_id();
    for (auto& pending : batch) {
        {
            std::lock_guard lock(mutex_);
            if (pending.token->closed) continue;
            inFlight_.push_back({pending.token.get(), self});
        }
        ++tlCallbackDepth;
        pending.notice.callback(pending.notice.context);
        --tlCallbackDepth;
        {
            std::lock_guard lock(mutex_);
            auto it = std::find_if(inFlight_.begin(), inFlight_.end(), [&](const InFlight& f) {
                return f.token == pending.token.get() && f.thread == self;
            });
            if (it != inFlight_.end()) inFlight_.erase(it);
        }
        done_.notify_all();
    }
}

void Dispatcher::close(DeliveryToken& token) {
    const auto self = std::this_thread::get_id();
    std::unique_lock lock(mutex_);
    token.closed = true;
    done_.wait(lock, [&] {
        return std::none_of(inFlight_.begin(), inFlight_.end(), [&](const InFlight& f) {
            return f.token == &token && f.thread != self;
        });
    });
}

}  // namespace tws
