// Bounds-checked reading of big- and little-endian fields from a byte span.
// Every read fails (returns false) instead of running past the end.
#pragma once

#include <cstddef>
#include <cstdint>

namespace twm {

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    size_t position() const { return pos_; }
    size_t remaining() const { return size_ - pos_; }
    bool atEnd() const { return pos_ >= size_; }
    const uint8_t* here() const { return data_ + pos_; }

    bool skip(size_t n) {
        if (n > remaining()) return false;
        pos_ += n;
        return true;
    }
    bool u8(uint8_t& v) {
        if (remaining() < 1) return false;
        v = data_[pos_++];
        return true;
    }
    bool peek(uint8_t& v) const {
        if (remaining() < 1) return false;
        v = data_[pos_];
        return true;
    }
    bool be16(uint16_t& v) {
        if (remaining() < 2) return false;
        v = static_cast<uint16_t>(data_[pos_] << 8 | data_[pos_ + 1]);
        pos_ += 2;
        return true;
    }
    bool be32(uint32_t& v) {
        if (remaining() < 4) return false;
        v = uint32_t{data_[pos_]} << 24 | uint32_t{data_[pos_ + 1]} << 16 | uint32_t{data_[pos_ + 2]} << 8 |
            data_[pos_ + 3];
        pos_ += 4;
        return true;
    }
    bool le16(uint16_t& v) {
        if (remaining() < 2) return false;
        v = static_cast<uint16_t>(data_[pos_] | data_[pos_ + 1] << 8);
        pos_ += 2;
        return true;
    }
    bool le32(uint32_t& v) {
        if (remaining() < 4) return false;
        v = data_[pos_] | uint32_t{data_[pos_ + 1]} << 8 | uint32_t{data_[pos_ + 2]} << 16 |
            uint32_t{data_[pos_ + 3]} << 24;
        pos_ += 4;
        return true;
    }
    bool tag(const char* fourcc) {
        if (remaining() < 4) return false;
        for (int i = 0; i < 4; ++i)
            if (data_[pos_ + i] != static_cast<uint8_t>(fourcc[i])) return false;
        pos_ += 4;
        return true;
    }
    // MIDI variable-length quantity: at most four bytes, up to 0x0FFFFFFF.
    bool vlq(uint32_t& v) {
        v = 0;
        for (int i = 0; i < 4; ++i) {
            uint8_t b;
            if (!u8(b)) return false;
            v = v << 7 | (b & 0x7F);
            if (!(b & 0x80)) return true;
        }
        return false;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// Compares four bytes at p with a tag.
inline bool isTag(const uint8_t* p, const char* fourcc) {
    return p[0] == static_cast<uint8_t>(fourcc[0]) && p[1] == static_cast<uint8_t>(fourcc[1]) &&
           p[2] == static_cast<uint8_t>(fourcc[2]) && p[3] == static_cast<uint8_t>(fourcc[3]);
}

}  // namespace twm
