#include "output/RingGeometry.h"

#include <algorithm>
#include <cmath>

namespace tw {

RingGeometry::RingGeometry(uint32_t bytes, uint32_t frameBytes)
    : mBytes(bytes), mFrameBytes(std::max<uint32_t>(frameBytes, 1)) {
    const uint64_t frames = mBytes / mFrameBytes;
    for (uint32_t i = 0; i < 4; ++i) mBoundary[i] = static_cast<uint32_t>(frames * i / 4 * mFrameBytes);
    mBoundary[4] = mBytes;
}

uint32_t RingGeometry::quarterOf(uint32_t offset) const {
    uint32_t i = 0;
    while (i < 3 && offset >= mBoundary[i + 1]) ++i;
    return i;
}

int32_t volumeToAttenuation(int32_t volume) {
    volume = std::clamp(volume, 0, 100);
    return static_cast<int32_t>(-10000.0 * (std::pow(10.0, (100 - volume) / 100.0) - 1.0) / 9.0);
}

int32_t attenuationToVolume(int32_t attenuation) {
    attenuation = std::clamp(attenuation, -10000, 0);
    return 100 - static_cast<int32_t>(100.0 * std::log10(attenuation * 9.0 / -10000.0 + 1.0));
}

}  // namespace tw
