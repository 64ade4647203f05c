#include "core/FeederStream.h"

#include <system_error>

#include "core/Globals.h"

namespace tws {

namespace {
constexpr size_t kBatchReserve = 64;
}

tws_result FeederStream::startThread() {
    auto released = std::make_shared<std::atomic<bool>>(false);
    try {
        thread_ = std::thread([this, released] {
            std::vector<PendingNotice> batch;
            batch.reserve(kBatchReserve);
            loop(batch, *released);
        });
    } catch (const std::system_error&) {
        return TWS_E_OUTOFMEMORY;
    }
    releasedFlag_ = std::move(released);
    return TWS_OK;
}

void FeederStream::stopThread() {
    if (!thread_.joinable()) return;
    quit_.store(true, std::memory_order_release);
    if (thread_.get_id() == std::this_thread::get_id()) {
        releasedFlag_->store(true, std::memory_order_release);
        thread_.detach();
        return;
    }
    interrupt();
    thread_.join();
}

bool FeederStream::deliver(std::vector<PendingNotice>& batch, const std::atomic<bool>& released) {
    if (batch.empty()) return true;
    dispatcher().deliver(batch);
    if (released.load(std::memory_order_acquire)) return false;
    batch.clear();
    return true;
}

}  // namespace tws
