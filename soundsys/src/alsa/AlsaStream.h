// What the ALSA output and capture streams share: a feeder thread that
// sleeps on a wake-up descriptor it can poll together with its PCM's.
#pragma once

#include "alsa/WakeEvent.h"
#include "core/FeederStream.h"

namespace tws {

class AlsaStream : public FeederStream {
public:
    void wake() override { wake_.signal(); }

protected:
    explicit AlsaStream(BufferCore& buffer) : FeederStream(buffer) {}
    ~AlsaStream() override = default;

    tws_result startThread() {
        return wake_.valid() ? FeederStream::startThread() : TWS_E_OUTOFMEMORY;
    }
    void interrupt() override { wake_.signal(); }

    WakeEvent wake_;
};

}  // namespace tws
