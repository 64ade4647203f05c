#include "content/WaveFileParser.h"

#include <algorithm>

#include "content/ByteReader.h"

namespace twm {

namespace {

constexpr uint16_t kTagPcm = 0x0001;
constexpr uint16_t kTagExtensible = 0xFFFE;
// The integer PCM sub-format identifier after its first four bytes.
constexpr uint8_t kPcmSubformatTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

bool readFormat(ByteReader r, PcmFormat& f) {
    uint16_t tag, channels, blockAlign, bits;
    uint32_t rate, avgBytes;
    if (!r.le16(tag) || !r.le16(channels) || !r.le32(rate) || !r.le32(avgBytes) || !r.le16(blockAlign) ||
        !r.le16(bits))
        return false;
    f.channels = channels;
    f.rate = rate;
    f.containerBits = bits;
    f.validBits = bits;
    if (tag == kTagExtensible) {
        uint16_t extra, valid;
        uint32_t subformat;
        if (!r.le16(extra) || extra < 22 || !r.le16(valid) || !r.le32(f.channelMask) || !r.le32(subformat))
            return false;
        if (subformat != kTagPcm || r.remaining() < sizeof kPcmSubformatTail) return false;
        if (!std::equal(kPcmSubformatTail, kPcmSubformatTail + sizeof kPcmSubformatTail, r.here())) return false;
        f.validBits = valid ? valid : bits;
        f.extensible = true;
    } else if (tag != kTagPcm) {
        return false;
    }
    if (channels < 1 || channels > 8 || rate < 1 || rate > 384000) return false;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    if (f.validBits > bits || blockAlign != f.blockAlign()) return false;
    return true;
}

}  // namespace

bool WaveFileParser::recognizes(const uint8_t* data, size_t size) {
    return size >= 12 && isTag(data, "RIFF") && isTag(data + 8, "WAVE");
}

namespace {

// The format and where the sample bytes (whole frames) lie.
bool locate(const uint8_t* data, size_t size, PcmFormat& format, size_t& offset, size_t& length) {
    ByteReader r(data, size);
    uint32_t riffSize;
    if (!r.tag("RIFF") || !r.le32(riffSize) || !r.tag("WAVE")) return false;
    bool haveFormat = false;
    while (r.remaining() >= 8) {
        const uint8_t* id = r.here();
        uint32_t len = 0;
        r.skip(4);
        r.le32(len);
        size_t n = std::min<size_t>(len, r.remaining());
        if (isTag(id, "fmt ")) {
            if (!readFormat(ByteReader(r.here(), n), format)) return false;
            haveFormat = true;
        } else if (isTag(id, "data")) {
            if (!haveFormat) return false;
            // A short last frame is dropped; a data size past the end keeps what is there.
            offset = r.position();
            length = n - n % format.blockAlign();
            return true;
        }
        r.skip(std::min<size_t>(n + (len & 1u), r.remaining()));
    }
    return false;
}

}  // namespace

bool WaveFileParser::parse(const uint8_t* data, size_t size, PcmSound& sound) {
    size_t offset = 0, length = 0;
    if (!locate(data, size, sound.format, offset, length)) return false;
    sound.data.assign(data + offset, data + offset + length);
    return true;
}

bool WaveFileParser::parse(std::vector<uint8_t>&& file, PcmSound& sound) {
    size_t offset = 0, length = 0;
    const bool found = locate(file.data(), file.size(), sound.format, offset, length);
    if (found) {
        file.resize(offset + length);
        file.erase(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(offset));
        sound.data = std::move(file);
    }
    file.clear();
    return found;
}

}  // namespace twm
