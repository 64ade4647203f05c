#include "WaveFormats.h"

#include <algorithm>

namespace testhost {

tws_wave_format_extensible makeFormat(uint16_t channels, uint32_t rate, uint16_t bits, uint16_t validBits,
                                      bool extensible) {
    tws_wave_format_extensible f{};
    const auto container = static_cast<uint16_t>((std::max<uint16_t>(bits, 1) + 7) / 8 * 8);
    if (validBits == 0) validBits = bits;
    extensible = extensible || channels > 2 || container > 16 || validBits != container;
    f.Format.wFormatTag = extensible ? TWS_WAVE_FORMAT_EXTENSIBLE : TWS_WAVE_FORMAT_PCM;
    f.Format.nChannels = channels;
    f.Format.nSamplesPerSec = rate;
    f.Format.nBlockAlign = static_cast<uint16_t>(channels * container / 8);
    f.Format.nAvgBytesPerSec = rate * f.Format.nBlockAlign;
    f.Format.wBitsPerSample = container;
    f.Format.cbSize = extensible ? 22 : 0;
    if (extensible) {
        f.Samples.wValidBitsPerSample = validBits;
        f.dwChannelMask = 0;
        f.SubFormat = TWS_SUBTYPE_PCM_INIT;
    }
    return f;
}

}  // namespace testhost
