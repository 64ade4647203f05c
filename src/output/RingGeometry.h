// Quarters of an output ring buffer. Boundaries fall on whole frames, so every
// range the streaming code converts or fills is a whole number of frames,
// also for rings whose length is not a multiple of four frames (their
// quarters then differ by at most one frame).
#pragma once

#include <array>
#include <cstdint>

namespace tw {

class RingGeometry {
public:
    RingGeometry() = default;
    // bytes must be a whole number of frames of frameBytes each (both > 0).
    RingGeometry(uint32_t bytes, uint32_t frameBytes);

    uint32_t bytes() const { return mBytes; }
    uint32_t frameBytes() const { return mFrameBytes; }

    // Start of quarter i (0..4; boundary 4 is the ring's length).
    uint32_t boundary(uint32_t i) const { return mBoundary[i]; }
    uint32_t quarterSize(uint32_t i) const { return mBoundary[i + 1] - mBoundary[i]; }
    // Last byte of quarter i: where its notification sits.
    uint32_t notifyOffset(uint32_t i) const { return mBoundary[i + 1] - 1; }
    // The quarter that holds byte `offset` (offset < bytes).
    uint32_t quarterOf(uint32_t offset) const;

    // (to - from) mod bytes, for offsets inside the ring.
    uint32_t distance(uint32_t from, uint32_t to) const { return to >= from ? to - from : mBytes - from + to; }
    uint32_t advance(uint32_t offset, uint64_t by) const {
        return static_cast<uint32_t>((uint64_t{offset} + by) % mBytes);
    }

private:
    uint32_t mBytes = 0;
    uint32_t mFrameBytes = 1;
    std::array<uint32_t, 5> mBoundary{};
};

// Volume 0..100 (clamped) to attenuation in hundredths of a decibel, and back.
// Both truncate, so a value read back is often one above the value set.
int32_t volumeToAttenuation(int32_t volume);
int32_t attenuationToVolume(int32_t attenuation);

}  // namespace tw
