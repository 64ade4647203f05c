// What the DirectSound output and capture streams share: a feeder thread that
// sleeps on an event between periods.
#pragma once

#include <algorithm>

#include "core/FeederStream.h"
#include "directsound/DsApi.h"

namespace tws {

class DsStream : public FeederStream {
public:
    void wake() override { ::SetEvent(event_); }

protected:
    explicit DsStream(BufferCore& buffer)
        : FeederStream(buffer), event_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    ~DsStream() override {
        if (event_ != nullptr) ::CloseHandle(event_);
    }
    DsStream(const DsStream&) = delete;
    DsStream& operator=(const DsStream&) = delete;

    tws_result startThread() {
        return event_ != nullptr ? FeederStream::startThread() : TWS_E_OUTOFMEMORY;
    }
    void interrupt() override { ::SetEvent(event_); }
    // Until woken, or ms passed (INFINITE: no limit).
    void sleep(DWORD ms) { ::WaitForSingleObject(event_, ms); }

    // The feeder's step: 10 ms of frames.
    static constexpr DWORD kPeriodMs = 10;
    static uint32_t periodFrames(const Format& format) { return std::max<uint32_t>(1, format.rate / 100); }

private:
    HANDLE event_;
};

}  // namespace tws
