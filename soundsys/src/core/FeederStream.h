// A Stream served by a thread of its own that feeds the device from the ring
// (or the ring from the device): what every hardware driver's streams share.
// The thread's body sleeps on the driver's own wake-up primitive; the driver
// says how to interrupt that sleep.
#pragma once

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "core/BufferCore.h"
#include "driver/Driver.h"

namespace tws {

class FeederStream : public Stream {
protected:
    explicit FeederStream(BufferCore& buffer) : buffer_(buffer) {}
    ~FeederStream() override = default;

    // Runs loop() on the stream's thread.
    tws_result startThread();
    // Ends the thread; the derived destructor calls it first. Released from
    // inside a notification on the stream's own thread, it lets go of the
    // thread instead, which returns as soon as that notification does.
    void stopThread();
    bool quitting() const { return quit_.load(std::memory_order_acquire); }

    // The thread's body. It owns `batch` (not the stream: a callback may
    // release the buffer) and must return at once when deliver() says so.
    virtual void loop(std::vector<PendingNotice>& batch, const std::atomic<bool>& released) = 0;
    // Cuts the body's sleep short so that it sees quitting().
    virtual void interrupt() = 0;
    // Hands the notices to the dispatcher with no lock held. False when the
    // stream was released meanwhile: the caller then touches nothing.
    static bool deliver(std::vector<PendingNotice>& batch, const std::atomic<bool>& released);

    BufferCore& buffer_;

private:
    std::atomic<bool> quit_{false};
    std::shared_ptr<std::atomic<bool>> releasedFlag_;
    std::thread thread_;
};

}  // namespace tws
