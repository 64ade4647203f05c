// The synthesizer as FluidSynth with the General MIDI SoundFont that
// SoundFontLocator finds.
#include <dlfcn.h>
#include <fluidsynth.h>

#include <cmath>
#include <mutex>
#include <string>

#include "core/LiveCounts.h"
#include "synth/SoundFontLocator.h"
#include "synth/Synth.h"
#include "tonewell_music.h"

namespace twm {

namespace {

// FluidSynth logs to stderr by default; a library module stays silent.
void silenceLogging() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level) fluid_set_log_function(level, nullptr, nullptr);
    });
}

// FluidSynth loads SoundFont samples in OpenMP tasks. In a host process they
// run on the calling thread: no pool of worker threads that spin-wait
// between loads. The setting belongs to the calling thread, hence each time.
void loadOnCallingThread() {
    using SetThreads = void (*)(int);
    static SetThreads setThreads = [] {
        void* openmp = dlopen("libgomp.so.1", RTLD_NOW | RTLD_NOLOAD);
        return openmp ? reinterpret_cast<SetThreads>(dlsym(openmp, "omp_set_num_threads")) : nullptr;
    }();
    if (setThreads) setThreads(1);
}

constexpr int kDrumChannel = 9;

// FluidSynth's own gain (0.2) leaves a General MIDI arrangement (piano,
// strings, bass, lead and drums at channel volume 100) peaking near -10 dBFS,
// a single part near -20: quieter than other players. 0.33 brings the band
// to about -6 dBFS at full volume; the limiter below keeps denser songs from
// clipping.
constexpr double kSynthGain = 0.33;
// The limiter holds every frame under -1 dBFS: its gain drops at once to what
// the frame needs and comes back with a time constant of 50 ms.
constexpr float kLimiterCeiling = 0.891f * 32767.0f;
const float kLimiterRelease = static_cast<float>(1.0 - std::exp(-1.0 / (0.05 * TWM_SYNTH_RATE)));
// GM System On.
constexpr char kGmReset[] = {0x7E, 0x7F, 0x09, 0x01};

class FluidSynth final : public Synth {
public:
    static int32_t create(const std::string& soundFont, std::unique_ptr<Synth>& out);
    ~FluidSynth() override;

    void reset(bool generalMidi) override;
    void send(const MidiEvent& event, const Song& song) override;
    float render(int16_t* out, int frames) override;
    int activeVoices() const override;

private:
    FluidSynth() = default;

    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
    bool counted_ = false;
    int64_t rendered_ = 0;
    float limiterGain_ = 1.0f;
    float scratch_[kMaxBlock * 2] = {};
};

int32_t FluidSynth::create(const std::string& soundFont, std::unique_ptr<Synth>& out) {
    silenceLogging();
    std::unique_ptr<FluidSynth> s(new FluidSynth());
    s->settings_ = new_fluid_settings();
    if (!s->settings_) return TWM_E_OUTOFMEMORY;
    fluid_settings_setnum(s->settings_, "synth.sample-rate", TWM_SYNTH_RATE);
    fluid_settings_setint(s->settings_, "synth.cpu-cores", 1);
    fluid_settings_setint(s->settings_, "synth.midi-channels", 16);
    fluid_settings_setint(s->settings_, "synth.dynamic-sample-loading", 0);
    fluid_settings_setnum(s->settings_, "synth.gain", kSynthGain);
    s->synth_ = new_fluid_synth(s->settings_);
    if (!s->synth_) return TWM_E_OUTOFMEMORY;
    loadOnCallingThread();
    if (fluid_synth_sfload(s->synth_, soundFont.c_str(), 1) == FLUID_FAILED) return TWM_E_NOSOUNDFONT;
    s->counted_ = true;
    liveCounts().synths++;
    out = std::move(s);
    return TWM_OK;
}

FluidSynth::~FluidSynth() {
    if (counted_) liveCounts().synths--;
    if (synth_) delete_fluid_synth(synth_);
    if (settings_) delete_fluid_settings(settings_);
}

void FluidSynth::reset(bool generalMidi) {
    limiterGain_ = 1.0f;
    fluid_synth_all_sounds_off(synth_, -1);
    fluid_synth_system_reset(synth_);
    // Voices and effects die away over time: let them, unheard, so a play
    // starts from silence. Then line up with the synthesizer's internal
    // blocks, so events fall on the same sample in every play.
    int16_t discard[kMaxBlock * 2];
    int64_t flushed = 0, quiet = 0;
    while (flushed < kMaxFlushFrames && (quiet < kQuietFrames || activeVoices() > 0)) {
        quiet = render(discard, kMaxBlock) < 1.0f ? quiet + kMaxBlock : 0;
        flushed += kMaxBlock;
    }
    if (int pad = static_cast<int>((kInternalBlock - rendered_ % kInternalBlock) % kInternalBlock)) render(discard, pad);
    if (generalMidi) {
        int handled = 0;
        fluid_synth_sysex(synth_, kGmReset, sizeof kGmReset, nullptr, nullptr, &handled, 0);
    }
    for (int ch = 0; ch < 16; ++ch) {
        bool drum = generalMidi && ch == kDrumChannel;
        fluid_synth_set_channel_type(synth_, ch, drum ? CHANNEL_TYPE_DRUM : CHANNEL_TYPE_MELODIC);
        // A channel's type picks its bank; select the program again under it.
        fluid_synth_bank_select(synth_, ch, drum ? 128 : 0);
        fluid_synth_program_change(synth_, ch, 0);
    }
}

void FluidSynth::send(const MidiEvent& e, const Song& song) {
    int ch = e.status & 0x0F;
    switch (e.status & 0xF0) {
    case 0x80: fluid_synth_noteoff(synth_, ch, e.data1); break;
    case 0x90:
        if (e.data2) fluid_synth_noteon(synth_, ch, e.data1, e.data2);
        else fluid_synth_noteoff(synth_, ch, e.data1);
        break;
    case 0xA0: fluid_synth_key_pressure(synth_, ch, e.data1, e.data2); break;
    case 0xB0: fluid_synth_cc(synth_, ch, e.data1, e.data2); break;
    case 0xC0: fluid_synth_program_change(synth_, ch, e.data1); break;
    case 0xD0: fluid_synth_channel_pressure(synth_, ch, e.data1); break;
    case 0xE0: fluid_synth_pitch_bend(synth_, ch, e.data1 | e.data2 << 7); break;
    case 0xF0:
        if (e.sysexLength > 0 && size_t{e.sysexOffset} + e.sysexLength <= song.sysex.size()) {
            int handled = 0;
            fluid_synth_sysex(synth_, reinterpret_cast<const char*>(song.sysex.data() + e.sysexOffset),
                              static_cast<int>(e.sysexLength), nullptr, nullptr, &handled, 0);
        }
        break;
    default: break;
    }
}

float FluidSynth::render(int16_t* out, int frames) {
    if (frames > kMaxBlock) frames = kMaxBlock;
    fluid_synth_write_float(synth_, frames, scratch_, 0, 2, scratch_, 1, 2);
    rendered_ += frames;
    float peak = 0;
    for (int i = 0; i < frames * 2; i += 2) {
        const float left = scratch_[i] * 32768.0f, right = scratch_[i + 1] * 32768.0f;
        const float mag = std::fmax(std::fabs(left), std::fabs(right));
        if (mag > peak) peak = mag;
        const float needed = mag > kLimiterCeiling ? kLimiterCeiling / mag : 1.0f;
        limiterGain_ = std::fmin(needed, limiterGain_ + (1.0f - limiterGain_) * kLimiterRelease);
        for (int c = 0; c < 2; ++c) {
            const float v = std::nearbyint((c ? right : left) * limiterGain_);
            out[i + c] = static_cast<int16_t>(v > 32767.0f ? 32767.0f : (v < -32768.0f ? -32768.0f : v));
        }
    }
    return peak;
}

int FluidSynth::activeVoices() const { return fluid_synth_get_active_voice_count(synth_); }

}  // namespace

bool Synth::available() { return !SoundFontLocator::find().empty(); }

int32_t Synth::create(std::unique_ptr<Synth>& out) {
    const std::string soundFont = SoundFontLocator::find();
    return soundFont.empty() ? TWM_E_NOSOUNDFONT : FluidSynth::create(soundFont, out);
}

void Synth::setSoundFontDirectory(const char* directory) { SoundFontLocator::setDirectory(directory); }

}  // namespace twm
