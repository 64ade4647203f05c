#include "ReferenceConverter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "tonewell/tonewell.h"

namespace reference {

namespace {

constexpr int32_t kClipped = -4824;

// Integer samples of width 1..4 (width 1 unsigned) to and from full scale.
int32_t toFullScale(const uint8_t* p, int width) {
    switch (width) {
        case 1: return static_cast<int8_t>(p[0] ^ 0x80) * 16777216;
        case 2: { int16_t v; std::memcpy(&v, p, 2); return v * 65536; }
        case 3: return static_cast<int32_t>(uint32_t{p[0]} << 8 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 24);
        default: { int32_t v; std::memcpy(&v, p, 4); return v; }
    }
}

void fromFullScale(int32_t f, uint8_t* p, int width) {
    const auto u = static_cast<uint32_t>(f);
    switch (width) {
        case 1: p[0] = static_cast<uint8_t>((u ^ 0x80000000u) >> 24); break;
        case 2: { const auto v = static_cast<int16_t>(f >> 16); std::memcpy(p, &v, 2); break; }
        case 3: p[0] = static_cast<uint8_t>(u >> 8); p[1] = static_cast<uint8_t>(u >> 16);
                p[2] = static_cast<uint8_t>(u >> 24); break;
        default: std::memcpy(p, &f, 4); break;
    }
}

double toUnit(const uint8_t* p, int width) {
    switch (width) {
        case 1: return p[0] / (255 / 2.0) - 1.0;
        case 2: { int16_t v; std::memcpy(&v, p, 2); return v / 32768.0; }
        case 3: return toFullScale(p, 3) / 2147483648.0;
        default: { int32_t v; std::memcpy(&v, p, 4); return v / 2147483648.0; }
    }
}

int32_t fromUnit(double x, uint8_t* p, int width) {
    int32_t status = 0;
    if (x < -1.0) { x = -1.0; status = kClipped; }
    if (x > 1.0) { x = 1.0; status = kClipped; }
    if (std::isnan(x)) x = 0.0;  // the library plays NaN as silence
    switch (width) {
        case 1: p[0] = static_cast<uint8_t>(static_cast<int32_t>((x + 1.0) * 127.5)); break;
        case 2: { const auto v = static_cast<int16_t>(static_cast<int32_t>(x * 32767.0)); std::memcpy(p, &v, 2); break; }
        case 3: fromFullScale(static_cast<int32_t>(x * 2147483392.0), p, 3); break;
        default: { const auto v = static_cast<int32_t>(x * 2147483647.0); std::memcpy(p, &v, 4); break; }
    }
    return status;
}

bool isFloat(uint16_t type) { return type == TW_TYPE_F32 || type == TW_TYPE_F64; }

int hostSize(uint16_t type) {
    switch (type) {
        case TW_TYPE_U8: return 1;
        case TW_TYPE_I16: return 2;
        case TW_TYPE_I32: case TW_TYPE_F32: return 4;
        default: return 8;
    }
}

// Width whose integer sample has the same form as the host element.
int hostWidth(uint16_t type) { return type == TW_TYPE_I32 ? 4 : hostSize(type); }

double readFloat(const uint8_t* p, uint16_t type) {
    if (type == TW_TYPE_F32) { float f; std::memcpy(&f, p, 4); return f; }
    double d; std::memcpy(&d, p, 8); return d;
}

void writeFloat(double x, uint8_t* p, uint16_t type) {
    if (type == TW_TYPE_F32) { const auto f = static_cast<float>(x); std::memcpy(p, &f, 4); }
    else std::memcpy(p, &x, 8);
}

}  // namespace

int32_t convertBlock(const tw::ConversionJob& job) {
    const uint16_t type = job.typeCode;
    if (type != TW_TYPE_U8 && type != TW_TYPE_I16 && type != TW_TYPE_I32 && !isFloat(type)) return 42;
    const int width = static_cast<int>(job.bytesPerSample);
    if (width < 1 || width > 4) return 42;
    const bool toDevice = job.direction == tw::ConvertDirection::HostToDevice;
    int32_t result = 0;
    for (uint32_t ch = 0; ch < job.channels; ++ch) {
        if (!toDevice && ch >= job.rows) continue;
        const uint32_t row = toDevice ? std::min(ch, job.rows - 1) : ch;
        for (uint32_t i = 0; i < job.frames; ++i) {
            uint8_t* device = job.device + (size_t{i} * job.channels + ch) * width;
            uint8_t* host = job.hostElements + (size_t{row} * job.columns + job.start + i) * hostSize(type);
            int32_t status = 0;
            if (toDevice && isFloat(type)) status = fromUnit(readFloat(host, type), device, width);
            else if (toDevice) fromFullScale(toFullScale(host, hostWidth(type)), device, width);
            else if (isFloat(type)) writeFloat(toUnit(device, width), host, type);
            else fromFullScale(toFullScale(device, width), host, hostWidth(type));
            if (result == 0) result = status;
        }
    }
    return result;
}

}  // namespace reference
