#include "WavPipe.h"

#include <unistd.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "Failure.h"

namespace cli {

namespace {

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
void tag(std::vector<uint8_t>& out, const char* id) { out.insert(out.end(), id, id + 4); }

// The reader has gone. The C run-time may report that as EINVAL on Windows,
// where the system's own code says it.
bool closedPipe() {
#ifdef _WIN32
    if (_doserrno == ERROR_NO_DATA || _doserrno == ERROR_BROKEN_PIPE) return true;
#endif
    return errno == EPIPE;
}

}  // namespace

WavPipe::WavPipe(int fd, const Format& format) : fd_(fd), bytesPerSample_((format.bits + 7) / 8) {
    const auto channels = static_cast<uint32_t>(format.channels);
    const auto rate = static_cast<uint32_t>(format.rate);
    const uint32_t block = channels * static_cast<uint32_t>(bytesPerSample_);
    // Plain PCM says whole bytes of at most 16 bits in one or two channels;
    // anything else needs the extensible record.
    const bool extensible = channels > 2 || format.bits > 16 || format.bits % 8 != 0;
    std::vector<uint8_t> h;
    h.reserve(68);  // the extensible header's size
    tag(h, "RIFF");
    put32(h, 0xFFFFFFFFu);
    tag(h, "WAVE");
    tag(h, "fmt ");
    put32(h, extensible ? 40 : 16);
    put16(h, extensible ? 0xFFFE : 1);
    put16(h, channels);
    put32(h, rate);
    put32(h, rate * block);
    put16(h, block);
    put16(h, static_cast<uint32_t>(bytesPerSample_ * 8));
    if (extensible) {
        put16(h, 22);
        put16(h, static_cast<uint32_t>(format.bits));
        put32(h, 0);  // no speaker positions
        // KSDATAFORMAT_SUBTYPE_PCM
        const uint8_t pcm[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
        h.insert(h.end(), pcm, pcm + 16);
    }
    tag(h, "data");
    put32(h, 0xFFFFFFFFu - static_cast<uint32_t>(h.size()));
    if (!writeAll(h.data(), h.size()) && open_) throw ToolError("cannot write to standard output: " +
                                                                std::string(std::strerror(errno)));
}

bool WavPipe::write(const int32_t* samples, int32_t channels, int32_t frames) {
    std::vector<uint8_t> bytes;
    bytes.reserve(static_cast<size_t>(frames) * static_cast<size_t>(channels) * static_cast<size_t>(bytesPerSample_));
    for (int32_t i = 0; i < frames; ++i) {
        for (int32_t ch = 0; ch < channels; ++ch) {
            // Full scale: the sample's bytes are the top ones; 8-bit is unsigned.
            const auto v = static_cast<uint32_t>(samples[static_cast<size_t>(ch) * static_cast<size_t>(frames) + i]);
            if (bytesPerSample_ == 1) {
                bytes.push_back(static_cast<uint8_t>((v >> 24) ^ 0x80u));
                continue;
            }
            for (int b = 4 - bytesPerSample_; b < 4; ++b) bytes.push_back(static_cast<uint8_t>(v >> (8 * b)));
        }
    }
    if (!writeAll(bytes.data(), bytes.size()) && open_)
        throw ToolError("cannot write to standard output: " + std::string(std::strerror(errno)));
    return open_;
}

bool WavPipe::writeAll(const uint8_t* bytes, size_t size) {
    while (size > 0 && open_) {
        const ssize_t n = ::write(fd_, bytes, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (closedPipe()) open_ = false;
            return false;
        }
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return open_;
}

}  // namespace cli
