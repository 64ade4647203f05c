#include "core/Playback.h"

#include <algorithm>
#include <cstring>

#include "core/LiveCounts.h"
#include "source/MidiSource.h"
#include "source/PcmSource.h"
#include "tonewell_music_control.h"

namespace twm {

namespace {

PcmFormat formatOf(const Content& content) {
    if (content.pcm) return content.pcm->format;
    PcmFormat f;
    f.channels = TWM_SYNTH_CHANNELS;
    f.rate = TWM_SYNTH_RATE;
    f.containerBits = f.validBits = TWM_SYNTH_BITS;
    return f;
}

void describe(const PcmFormat& f, tws_wave_format_extensible& wf) {
    wf = {};
    wf.Format.nChannels = f.channels;
    wf.Format.nSamplesPerSec = f.rate;
    wf.Format.nBlockAlign = static_cast<uint16_t>(f.blockAlign());
    wf.Format.nAvgBytesPerSec = f.rate * f.blockAlign();
    wf.Format.wBitsPerSample = f.containerBits;
    if (f.extensible || f.channels > 2 || f.containerBits > 16) {
        wf.Format.wFormatTag = TWS_WAVE_FORMAT_EXTENSIBLE;
        wf.Format.cbSize = 22;
        wf.Samples.wValidBitsPerSample = f.validBits;
        wf.dwChannelMask = f.channelMask;
        wf.SubFormat = TWS_SUBTYPE_PCM_INIT;
    } else {
        wf.Format.wFormatTag = TWS_WAVE_FORMAT_PCM;
    }
}

}  // namespace

int32_t Playback::create(tws_sound* sound, PlaySetup setup, Waker& waker, std::unique_ptr<Playback>& out) {
    PcmFormat format = formatOf(*setup.content);
    tws_wave_format_extensible wf;
    describe(format, wf);
    tws_buffer_desc desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = TWS_BCAPS_CTRLVOLUME | TWS_BCAPS_CTRLPOSITIONNOTIFY | TWS_BCAPS_GLOBALFOCUS |
                   TWS_BCAPS_GETCURRENTPOSITION2;
    desc.dwBufferBytes = format.rate * format.blockAlign();
    desc.lpwfxFormat = &wf.Format;
    tws_buffer* buffer = nullptr;
    if (TWS_FAILED(sound->vtbl->create_buffer(sound, &desc, &buffer)) || !buffer) return TWM_E_AUDIO;

    tws_position_notify positions[kNotifications];
    for (uint32_t i = 0; i < kNotifications; ++i)
        positions[i] = {format.rate * i / kNotifications * format.blockAlign(), &Waker::notify, &waker};
    if (TWS_FAILED(buffer->vtbl->set_notification_positions(buffer, kNotifications, positions))) {
        buffer->vtbl->release(buffer);
        return TWM_E_AUDIO;
    }
    out.reset(new Playback(std::move(setup), buffer, format));
    return TWM_OK;
}

Playback::Playback(PlaySetup setup, tws_buffer* buffer, const PcmFormat& format)
    : setup_(std::move(setup)), buffer_(buffer), rate_(format.rate), blockAlign_(format.blockAlign()),
      ringFrames_(format.rate), silence_(format.containerBits == 8 ? 0x80 : 0x00) {
    if (setup_.content->kind == TWM_KIND_MIDI)
        source_ = std::make_unique<MidiSource>(setup_.content, setup_.synth, setup_.generalMidi, setup_.startTick);
    else
        source_ = std::make_unique<PcmSource>(setup_.content, setup_.startTick);
    liveCounts().plays++;
}

Playback::~Playback() {
    buffer_->vtbl->release(buffer_);
    liveCounts().plays--;
}

void Playback::begin(int32_t volume) {
    begun_ = true;
    source_->start();
    fill();
    buffer_->vtbl->set_volume(buffer_, volume);
    if (TWS_FAILED(buffer_->vtbl->play(buffer_, TWS_BPLAY_LOOPING))) finish();
}

void Playback::countPlayed() {
    uint32_t cursor = 0;
    if (TWS_FAILED(buffer_->vtbl->get_current_position(buffer_, &cursor, nullptr))) return;
    uint32_t ringBytes = ringFrames_ * blockAlign_;
    played_ += ((cursor + ringBytes - cursor_) % ringBytes) / blockAlign_;
    cursor_ = cursor;
    // Fell behind the cursor: what it passed is lost; carry on from here.
    if (played_ > written_) written_ = played_;
}

void Playback::fill() {
    uint64_t writable = played_ + ringFrames_ - written_;
    if (writable == 0) return;
    uint32_t offset = static_cast<uint32_t>(written_ % ringFrames_) * blockAlign_;
    void* p[2] = {nullptr, nullptr};
    uint32_t bytes[2] = {0, 0};
    if (TWS_FAILED(buffer_->vtbl->lock(buffer_, offset, static_cast<uint32_t>(writable) * blockAlign_, &p[0],
                                       &bytes[0], &p[1], &bytes[1], 0)))
        return;
    for (int i = 0; i < 2; ++i) {
        if (!p[i]) continue;
        auto* dest = static_cast<uint8_t*>(p[i]);
        uint32_t frames = bytes[i] / blockAlign_;
        uint32_t n = ending_ ? 0 : source_->render(dest, frames);
        if (!ending_ && source_->finished()) {
            ending_ = true;
            endFrame_ = written_ + n;
        }
        std::memset(dest + size_t{n} * blockAlign_, silence_, size_t{frames - n} * blockAlign_);
        written_ += frames;
    }
    buffer_->vtbl->unlock(buffer_, p[0], bytes[0], p[1], bytes[1]);
}

void Playback::service() {
    if (done_ || !begun_) return;
    countPlayed();
    if (ending_ && played_ >= endFrame_) {
        finish();
        return;
    }
    fill();
}

void Playback::finish() {
    if (done_) return;
    buffer_->vtbl->stop(buffer_);
    done_ = true;
    setup_.status->playing = 0;
}

void Playback::stop() { finish(); }

void Playback::setVolume(int32_t volume) { buffer_->vtbl->set_volume(buffer_, volume); }

int64_t Playback::msUntilEnd() const {
    if (!ending_ || done_) return -1;
    uint64_t left = endFrame_ > played_ ? endFrame_ - played_ : 0;
    return static_cast<int64_t>((left * 1000 + rate_ - 1) / rate_);
}

}  // namespace twm
