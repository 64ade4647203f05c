#include "directsound/DsCaptureStream.h"

#include <algorithm>
#include <cstring>

namespace tws {

DsCaptureStream::~DsCaptureStream() {
    stopThread();
    if (dscb_) dscb_->Stop();
}

tws_result DsCaptureStream::create(IDirectSoundCapture* dsc, BufferCore& buffer, std::unique_ptr<Stream>& out) {
    std::unique_ptr<DsCaptureStream> s(new DsCaptureStream(buffer));
    const uint32_t align = s->format_.blockAlign;
    // Half a second: far more than the reader's period, however late it runs.
    s->deviceFrames_ = std::max(s->format_.rate / 2, 4 * periodFrames(s->format_));
    // Silence from the start: the ring never receives bytes the device did not write.
    s->staging_.assign(size_t{s->deviceFrames_} * align, s->format_.silenceByte());

    DSCBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwBufferBytes = s->deviceFrames_ * align;
    WAVEFORMATEXTENSIBLE record;
    static_assert(sizeof record == sizeof s->format_.record, "the module's format record is the system's");
    std::memcpy(&record, &s->format_.record, sizeof record);
    desc.lpwfxFormat = &record.Format;
    if (HRESULT hr = dsc->CreateCaptureBuffer(&desc, s->dscb_.put(), nullptr); FAILED(hr)) return dsResult(hr);
    if (tws_result r = s->startThread()) return r;
    out = std::move(s);
    return TWS_OK;
}

void DsCaptureStream::loop(std::vector<PendingNotice>& batch, const std::atomic<bool>& released) {
    while (!quitting()) {
        staged_ = 0;
        copied_ = 0;
        if (active_ && !take()) {
            // The device is gone: the buffer stops, which its owner sees.
            lost_ = true;
            active_ = false;
            dscb_->Stop();
            buffer_.setLost();
            buffer_.halt();
        }
        restart_ = false;
        auto service = buffer_.service(*this, batch);
        if (!deliver(batch, released)) return;
        if (service.running && lost_) {
            buffer_.halt();
            continue;
        }
        if (!service.running) {
            if (active_) dscb_->Stop();
            active_ = false;
            sleep(INFINITE);
            continue;
        }
        if (restart_) {
            if (!start()) {
                lost_ = true;
                continue;
            }
            active_ = true;
        }
        sleep(kPeriodMs);
    }
}

// Capture runs from now: what the device held before belongs to no run.
bool DsCaptureStream::start() {
    dscb_->Stop();
    DWORD read = 0;
    if (FAILED(dscb_->Start(DSCBSTART_LOOPING)) || FAILED(dscb_->GetCurrentPosition(nullptr, &read)))
        return false;
    readFrame_ = read / format_.blockAlign % deviceFrames_;
    return true;
}

bool DsCaptureStream::take() {
    DWORD read = 0;
    if (FAILED(dscb_->GetCurrentPosition(nullptr, &read))) return false;
    const uint32_t align = format_.blockAlign;
    const uint32_t ready = read / align % deviceFrames_;
    const uint32_t avail = (ready + deviceFrames_ - readFrame_) % deviceFrames_;
    if (avail == 0) return true;
    void* p1 = nullptr;
    void* p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    if (FAILED(dscb_->Lock(readFrame_ * align, avail * align, &p1, &n1, &p2, &n2, 0))) return false;
    std::memcpy(staging_.data(), p1, n1);
    if (p2 != nullptr) std::memcpy(staging_.data() + n1, p2, n2);
    dscb_->Unlock(p1, n1, p2, n2);
    readFrame_ = ready;
    staged_ = avail;
    return true;
}

uint64_t DsCaptureStream::framesDue(const RunInfo& info) {
    if (info.generation != generation_ || !active_) {
        // Started: what was read before belongs to no run.
        generation_ = info.generation;
        restart_ = !lost_;
        return 0;
    }
    return staged_;
}

void DsCaptureStream::chunk(uint8_t* data, uint32_t bytes) {
    std::memcpy(data, staging_.data() + copied_, bytes);
    copied_ += bytes;
}

}  // namespace tws
