#include "core/Format.h"

#include <cstring>

namespace tws {

namespace {
constexpr tws_guid kPcmSubtype = TWS_SUBTYPE_PCM_INIT;
constexpr uint32_t kMaxChannels = 8;
constexpr uint32_t kMaxRate = 0x7FFFFFFF;

bool validContainer(uint32_t bits) { return bits == 8 || bits == 16 || bits == 24 || bits == 32; }
}  // namespace

static_assert(sizeof(tws_wave_format) == 18);
static_assert(sizeof(tws_wave_format_extensible) == 40);

bool sameGuid(const tws_guid& a, const tws_guid& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool isNullGuid(const tws_guid* guid) {
    static constexpr tws_guid kZero{};
    return guid == nullptr || sameGuid(*guid, kZero);
}

void Format::setRate(uint32_t newRate) {
    rate = newRate;
    record.Format.nSamplesPerSec = newRate;
    record.Format.nAvgBytesPerSec = newRate * blockAlign;
}

tws_result parseFormat(const tws_wave_format* in, Format& out) {
    if (in == nullptr) return TWS_E_INVALIDARG;
    tws_wave_format head;
    std::memcpy(&head, in, sizeof head);
    Format f;
    if (head.wFormatTag == TWS_WAVE_FORMAT_PCM) {
        f.extensible = false;
        f.validBits = head.wBitsPerSample;
    } else if (head.wFormatTag == TWS_WAVE_FORMAT_EXTENSIBLE) {
        if (head.cbSize < 22) return TWS_ERR_BADFORMAT;
        std::memcpy(&f.record, in, sizeof f.record);
        if (!sameGuid(f.record.SubFormat, kPcmSubtype)) return TWS_ERR_BADFORMAT;
        f.extensible = true;
        f.validBits = f.record.Samples.wValidBitsPerSample;
        if (f.validBits == 0) f.validBits = head.wBitsPerSample;
    } else {
        return TWS_ERR_BADFORMAT;
    }
    f.channels = head.nChannels;
    f.rate = head.nSamplesPerSec;
    f.containerBits = head.wBitsPerSample;
    f.blockAlign = head.nBlockAlign;
    if (f.channels < 1 || f.channels > kMaxChannels) return TWS_ERR_BADFORMAT;
    if (!validContainer(f.containerBits) || f.validBits > f.containerBits) return TWS_ERR_BADFORMAT;
    if (f.rate == 0 || f.rate > kMaxRate) return TWS_ERR_BADFORMAT;
    if (f.blockAlign != f.channels * f.containerBits / 8) return TWS_ERR_BADFORMAT;
    if (head.nAvgBytesPerSec != static_cast<uint64_t>(f.rate) * f.blockAlign) return TWS_ERR_BADFORMAT;
    f.record.Format = head;
    f.record.Format.cbSize = f.extensible ? 22 : 0;
    if (f.extensible) f.record.Samples.wValidBitsPerSample = static_cast<uint16_t>(f.validBits);
    out = f;
    return TWS_OK;
}

}  // namespace tws
