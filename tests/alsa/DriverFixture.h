// A fixture for driving the ALSA driver through the module's C interface:
// default devices, buffers filled with a tone, notification time stamps and
// the audio that came back through the sound server's monitor.
#pragma once

#include <mutex>
#include <vector>

#include "AlsaTestSupport.h"

namespace alsatest {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kBufferFlags = TWS_BCAPS_CTRLVOLUME | TWS_BCAPS_CTRLPOSITIONNOTIFY |
                                  TWS_BCAPS_GETCURRENTPOSITION2 | TWS_BCAPS_GLOBALFOCUS;

// Times (seconds after `start`) at which notifications arrived.
struct Stamps {
    std::mutex mutex;
    int64_t start = nowNs();
    std::vector<double> seconds;
    void add() {
        std::lock_guard lock(mutex);
        seconds.push_back(secondsSince(start));
    }
    std::vector<double> copy() {
        std::lock_guard lock(mutex);
        return seconds;
    }
    static void callback(void* self) { static_cast<Stamps*>(self)->add(); }
};

class DriverTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A buffer on the default output holding `samples` (interleaved, 16-bit
    // unless the format says otherwise).
    tws_buffer* output(const tws_wave_format_extensible& format, const void* data, uint32_t bytes);
    tws_buffer* toneBuffer(double frequency, uint32_t frames, double amplitude = 8000);
    // A looping capture of the default capture device (the sink's monitor).
    tws_capture_buffer* monitor(uint32_t frames = kRate * 2, bool looping = true);
    // The last `frames` stereo 16-bit frames before the monitor's read cursor.
    std::vector<int16_t> lastCaptured(uint32_t frames);
    // The stereo 16-bit frames captured between two read cursor offsets.
    std::vector<int16_t> capturedBetween(uint32_t fromByte, uint32_t toByte);
    uint32_t readCursor();
    uint32_t monitorBytes();
    static void sleepSeconds(double s);

    tws_sound* sound_ = nullptr;
    tws_capture* capture_ = nullptr;
    tws_capture_buffer* monitor_ = nullptr;
    std::vector<tws_buffer*> buffers_;
};

}  // namespace alsatest
