// A wake-up descriptor (eventfd) that a stream's thread can poll together
// with its PCM's descriptors.
#pragma once

namespace tws {

class WakeEvent {
public:
    WakeEvent();
    ~WakeEvent();
    WakeEvent(const WakeEvent&) = delete;
    WakeEvent& operator=(const WakeEvent&) = delete;

    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    void signal();
    // Clears pending signals without blocking.
    void drain();
    // Sleeps until signalled or timeoutMs passed (< 0: no limit), then drains.
    void wait(int timeoutMs);

private:
    int fd_;
};

}  // namespace tws
