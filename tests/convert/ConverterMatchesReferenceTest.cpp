// The fast converters against the one-sample-at-a-time reference, bit for
// bit, on random data salted with edge values, for every host type, device
// width, direction and channel count 1..8 (and one beyond); and single
// samples on every rounding boundary of each width.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cfenv>
#ifdef _WIN32
#include <float.h>
#endif
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "ReferenceConverter.h"
#include "convert/SampleConverter.h"
#include "convert/SimdKernels.h"
#include "host/SingleThreaded.h"
#include "tonewell/tonewell.h"

namespace {

using tw::ConversionJob;
using tw::ConvertDirection;
using tw::convert::SimdLevel;
using reference::job;

constexpr auto toDevice = ConvertDirection::HostToDevice;
constexpr auto toHost = ConvertDirection::DeviceToHost;

constexpr uint16_t kTypes[] = {TW_TYPE_U8, TW_TYPE_I16, TW_TYPE_I32, TW_TYPE_F32, TW_TYPE_F64};

size_t hostSize(uint16_t type) {
    return type == TW_TYPE_U8 ? 1 : type == TW_TYPE_I16 ? 2 : type == TW_TYPE_F64 ? 8 : 4;
}

template <class T>
void put(std::vector<uint8_t>& bytes, size_t at, T value) { std::memcpy(bytes.data() + at, &value, sizeof value); }

// Edge values first; the rest random in and around [-1, 1] or random bits.
template <class F>
F randomFloat(std::mt19937_64& rng) {
    using L = std::numeric_limits<F>;
    static const F edges[] = {F(1), F(-1), std::nextafter(F(1), F(2)), std::nextafter(F(-1), F(-2)),
                              std::nextafter(F(1), F(0)), std::nextafter(F(-1), F(0)), F(0), -F(0),
                              L::quiet_NaN(), -L::quiet_NaN(), L::infinity(), -L::infinity(),
                              L::denorm_min(), -L::denorm_min(), L::min(), L::max(), L::lowest(),
                              F(0.5), F(-0.5), F(1.5), F(-1.0000001)};
    const uint64_t pick = rng() % 4;
    if (pick == 0) return edges[rng() % std::size(edges)];
    if (pick == 1) {
        F f;
        const uint64_t bits = rng();
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    return static_cast<F>(std::uniform_real_distribution<double>(-1.05, 1.05)(rng));
}

// Float hosts get mostly in-range samples when `clean` is set, with a rare
// edge value, so whole vectors of them take the kernels' no-clipping path
// (and many whole blocks must give no clipping warning).
void fillHost(std::vector<uint8_t>& bytes, size_t offset, size_t count, uint16_t type, bool clean,
              std::mt19937_64& rng) {
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (size_t i = 0; i < count; ++i) {
        const size_t at = offset + i * hostSize(type);
        const bool plain = clean && rng() % 64 != 0;
        if (type == TW_TYPE_F32) put(bytes, at, plain ? static_cast<float>(unit(rng)) : randomFloat<float>(rng));
        else if (type == TW_TYPE_F64) put(bytes, at, plain ? unit(rng) : randomFloat<double>(rng));
        else if (rng() % 4 == 0) {
            // Extreme integers: all ones, all zeros, top bit only, top bit clear.
            static const uint64_t extremes[] = {~0ull, 0, 0x8080808080808080ull, 0x7F7F7F7F7F7F7F7Full};
            const uint64_t v = extremes[rng() % 4];
            std::memcpy(bytes.data() + at, &v, hostSize(type));
        }
    }
}

std::vector<uint8_t> randomBytes(size_t n, std::mt19937_64& rng) {
    std::vector<uint8_t> bytes(n);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
    return bytes;
}

struct Shape {
    uint32_t channels, rows, frames;
    bool clean = false;
};

int32_t checkAgainstReference(uint16_t type, uint32_t width, ConvertDirection direction, Shape shape,
                           size_t misalign, std::mt19937_64& rng) {
    const uint32_t start = 3;
    const uint32_t columns = start + shape.frames + 2;
    const size_t hostBytes = misalign + size_t{shape.rows} * columns * hostSize(type);
    const size_t deviceBytes = size_t{shape.frames} * shape.channels * width;
    std::vector<uint8_t> host = randomBytes(hostBytes + 16, rng);
    std::vector<uint8_t> device = randomBytes(misalign + deviceBytes + 16, rng);
    if (direction == toDevice)
        fillHost(host, misalign, size_t{shape.rows} * columns, type, shape.clean, rng);
    std::vector<uint8_t> refHost = host, refDevice = device;

    ConversionJob job{.bytesPerSample = width, .channels = shape.channels, .device = device.data() + misalign,
                      .deviceBytes = deviceBytes, .typeCode = type, .rows = shape.rows, .columns = columns,
                      .hostElements = host.data() + misalign, .start = start, .frames = shape.frames,
                      .direction = direction};
    const int32_t fast = tw::convertBlock(job);
    job.device = refDevice.data() + misalign;
    job.hostElements = refHost.data() + misalign;
    const int32_t expected = reference::convertBlock(job);

    SCOPED_TRACE(testing::Message() << "type " << type << " width " << width << " to device "
                                    << (direction == toDevice) << " channels "
                                    << shape.channels << " rows " << shape.rows << " frames " << shape.frames
                                    << (shape.clean ? " clean" : ""));
    EXPECT_EQ(fast, expected);
    EXPECT_EQ(device, refDevice);
    EXPECT_EQ(host, refHost);
    return expected;
}

// Each test runs once per instruction set the processor has, so the portable
// loops and every vector path are held to the reference.
class ConverterMatchesReference : public testing::TestWithParam<SimdLevel> {
protected:
    void SetUp() override {
        SKIP_UNDER_THREAD_SANITIZER();
        if (GetParam() > tw::convert::availableSimdLevel()) GTEST_SKIP() << "processor lacks these instructions";
        tw::convert::limitSimdLevel(GetParam());
    }
    void TearDown() override { tw::convert::limitSimdLevel(SimdLevel::avx512); }
};

INSTANTIATE_TEST_SUITE_P(Simd, ConverterMatchesReference,
                         testing::Values(SimdLevel::portable, SimdLevel::avx2, SimdLevel::avx512),
                         [](const testing::TestParamInfo<SimdLevel>& info) {
                             return std::string(info.param == SimdLevel::portable ? "portable"
                                                : info.param == SimdLevel::avx2   ? "avx2"
                                                                                  : "avx512");
                         });

// Its random device bytes take each of the 256 8-bit values through every
// path: the vector paths scale them into floats by a product rather than a
// quotient, exact only because it rounds the same for each value.
TEST_P(ConverterMatchesReference, EveryTypeWidthDirectionAndChannelCount) {
    std::mt19937_64 rng(20240611);
    int clippedCases = 0;
    for (uint16_t type : kTypes)
        for (uint32_t width = 1; width <= 4; ++width)
            for (auto direction : {toDevice, toHost})
                for (uint32_t channels : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 11u})
                    for (uint32_t frames : {1u, 7u, 255u, 257u, 601u}) {
                        // Fewer rows than channels (last row repeats, or channels dropped), and more.
                        for (uint32_t rows : {channels, channels > 1 ? 1u : 2u, channels + 1})
                            for (bool clean : {false, true}) {
                                const size_t misalign = (frames + rows) % 3;
                                const int32_t status = checkAgainstReference(
                                    type, width, direction, {channels, rows, frames, clean}, misalign, rng);
                                clippedCases += status == TW_W_CLIPPED;
                                if (HasFailure()) return;
                            }
                    }
    EXPECT_GT(clippedCases, 0);
}

// ---- Single hosts to integer devices: the vector paths round in single
// precision and must give the bits of the double-precision reference.

// `samples` in row 0 and reversed in row 1, through every width, mono and
// stereo; reports the first sample that differs.
void checkSingles(const std::vector<float>& samples) {
    std::vector<float> host(samples);
    host.insert(host.end(), samples.rbegin(), samples.rend());
    const auto frames = static_cast<uint32_t>(samples.size());
    for (uint32_t width = 1; width <= 4; ++width)
        for (uint32_t channels = 1; channels <= 2; ++channels) {
            std::vector<uint8_t> device(size_t{frames} * channels * width, 0xA5), refDevice = device;
            auto from = [&](std::vector<uint8_t>& d) {
                return job(TW_TYPE_F32, width, channels, host.data(), channels, frames, d, toDevice);
            };
            EXPECT_EQ(tw::convertBlock(from(device)), reference::convertBlock(from(refDevice)))
                << "width " << width << " channels " << channels;
            const auto diff = std::mismatch(device.begin(), device.end(), refDevice.begin());
            if (diff.first != device.end()) {
                const size_t sample = static_cast<size_t>(diff.first - device.begin()) / width;
                const float x = host[(sample % channels) * frames + sample / channels];
                ADD_FAILURE() << "width " << width << " channels " << channels << ": sample " << x << " (bits 0x"
                              << std::hex << std::bit_cast<uint32_t>(x) << ") converts wrongly";
            }
        }
}

// The single nearest each point and `spread` neighbours on either side.
void addAround(std::vector<float>& out, double point, int spread) {
    float below = static_cast<float>(point), above = below;
    out.push_back(below);
    for (int k = 0; k < spread; ++k) {
        below = std::nextafter(below, -INFINITY);
        above = std::nextafter(above, INFINITY);
        out.push_back(below);
        out.push_back(above);
    }
}

TEST_P(ConverterMatchesReference, SinglesOnEveryRoundingBoundary) {
    std::vector<float> samples;
    // Where each width's truncated result steps: (x + 1) * 127.5 = k for
    // 8 bits, x * 32767 = k for 16 bits; for 24 bits where bits 8..31 of
    // trunc(x * 2147483392) step; for 32 bits x * 2147483647 = k.
    for (int k = 0; k <= 255; ++k) addAround(samples, k / 127.5 - 1.0, 3);
    for (int k = -32767; k <= 32767; ++k) addAround(samples, k / 32767.0, 3);
    auto every = [](int64_t limit, int64_t small, int64_t stride, auto f) {
        for (int64_t j = 0; j <= limit; j += j < small ? 1 : stride) f(j);
        for (int64_t j = limit - small; j <= limit; ++j) f(j);
    };
    every(1 << 23, 4096, 997, [&](int64_t j) {
        addAround(samples, 256.0 * static_cast<double>(j) / 2147483392.0, 2);
        addAround(samples, -(256.0 * static_cast<double>(j) + 1) / 2147483392.0, 2);
    });
    every(int64_t{1} << 31, 4096, 65521, [&](int64_t k) {
        addAround(samples, static_cast<double>(k) / 2147483647.0, 2);
        addAround(samples, -static_cast<double>(k) / 2147483647.0, 2);
    });
    // The single-precision path of 32-bit devices starts at 2^-8.
    for (double t : {1.0 / 256, -1.0 / 256}) addAround(samples, t, 8);
    // Clip limits, zeros, NaNs, infinities, denormals, powers of two.
    for (double t : {1.0, -1.0, 0.0, -0.0}) addAround(samples, t, 8);
    for (uint32_t bits : {0x7FC00000u, 0xFFC00000u, 0x7F800001u, 0xFF800001u, 0x7FFFFFFFu, 0x7F800000u, 0xFF800000u,
                          0x00000001u, 0x80000001u, 0x007FFFFFu, 0x807FFFFFu, 0x00400000u, 0x00800000u, 0x7F7FFFFFu,
                          0xFF7FFFFFu})
        samples.push_back(std::bit_cast<float>(bits));
    for (int e = -149; e <= 3; ++e) {
        samples.push_back(std::ldexp(1.0f, e));
        samples.push_back(-std::ldexp(1.0f, e));
    }
    checkSingles(samples);
}

// Floating-point traps, set the way a host on each system sets them.
#ifdef _WIN32
constexpr unsigned kHostTraps = _EM_INVALID | _EM_ZERODIVIDE | _EM_OVERFLOW;
void setTraps(unsigned traps) {
    unsigned word = 0;
    _controlfp_s(&word, _MCW_EM & ~traps, _MCW_EM);
}
unsigned traps() {
    unsigned word = 0;
    _controlfp_s(&word, 0, 0);
    return _MCW_EM & ~word;
}
#else
constexpr unsigned kHostTraps = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;
void setTraps(unsigned traps) {
    fedisableexcept(FE_ALL_EXCEPT);
    if (traps != 0) feenableexcept(static_cast<int>(traps));
}
unsigned traps() { return static_cast<unsigned>(fegetexcept()); }
#endif

// A host may run with its own rounding and with floating-point traps on. The
// vector paths change the mode only while they run: nothing traps (the
// 32-bit path converts +1.0 through 2^31) and the host's mode comes back.
// The samples scale exactly, so every rounding gives the same bits.
TEST_P(ConverterMatchesReference, KeepsTheHostsFloatingPointMode) {
    std::vector<float> samples;
    for (int i = 0; i < 100; ++i)
        for (float x : {1.0f, -1.0f, 0.5f, -0.25f, 0.0f, -0.0f, 0.75f}) samples.push_back(x);
    ASSERT_EQ(fesetround(FE_UPWARD), 0);
    setTraps(kHostTraps);
    checkSingles(samples);
    const unsigned trapsAfter = traps();
    const int rounding = fegetround();
    setTraps(0);
    fesetround(FE_TONEAREST);
    EXPECT_EQ(trapsAfter, kHostTraps);
    EXPECT_EQ(rounding, FE_UPWARD);
}

}  // namespace
