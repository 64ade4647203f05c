// A validated wave format: the record a buffer reports back, plus the numbers
// the ring and the drivers work with.
#pragma once

#include <cstdint>

#include "tonewell_sound.h"

namespace tws {

struct Format {
    tws_wave_format_extensible record{};  // Format.cbSize 0 for plain PCM
    bool extensible = false;
    uint32_t channels = 0;
    uint32_t rate = 0;
    uint32_t blockAlign = 0;
    uint32_t containerBits = 0;
    uint32_t validBits = 0;

    uint32_t recordSize() const { return extensible ? 40u : 18u; }
    // Silence: unsigned 8-bit samples centre on 0x80, wider ones on 0.
    uint8_t silenceByte() const { return containerBits == 8 ? 0x80 : 0x00; }
    // Replaces the sample rate (a device that captures at a rate of its own).
    void setRate(uint32_t newRate);
};

// Accepts integer PCM, plain or extensible, 1 to 8 channels, 8/16/24/32-bit
// containers with valid bits up to the container, consistent block align and
// byte rate. TWS_E_INVALIDARG for a null record, TWS_ERR_BADFORMAT otherwise.
tws_result parseFormat(const tws_wave_format* in, Format& out);

bool sameGuid(const tws_guid& a, const tws_guid& b);
bool isNullGuid(const tws_guid* guid);

}  // namespace tws
