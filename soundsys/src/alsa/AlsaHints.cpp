#include "alsa/AlsaHints.h"

#include <alsa/asoundlib.h>

#include <cstdlib>
#include <cstring>

namespace tws {

namespace {

std::string takeHint(void* hint, const char* id) {
    char* value = snd_device_name_get_hint(hint, id);
    std::string text = value ? value : "";
    std::free(value);
    return text;
}

bool forDirection(const std::string& ioid, Direction direction) {
    if (ioid.empty()) return true;  // both directions
    return ioid == (direction == Direction::Output ? "Output" : "Input");
}

uint64_t fnv1a(const std::string& text, uint64_t seed) {
    uint64_t h = seed;
    for (unsigned char c : text) {
        h ^= c;
        h *= 0x100000001B3ull;
    }
    return h;
}

}  // namespace

std::vector<AlsaHint> pcmHints(Direction direction) {
    std::vector<AlsaHint> list;
    void** hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) < 0 || hints == nullptr) return list;
    for (void** h = hints; *h != nullptr; ++h) {
        std::string name = takeHint(*h, "NAME");
        if (name.empty() || name == "null" || !forDirection(takeHint(*h, "IOID"), direction))
            continue;
        std::string text = takeHint(*h, "DESC");
        text = text.substr(0, text.find('\n'));
        list.push_back({name, text.empty() ? name : text + " (" + name + ")"});
    }
    snd_device_name_free_hint(hints);
    return list;
}

tws_guid guidForName(Direction direction, const std::string& name) {
    const std::string key = (direction == Direction::Output ? "out:" : "in:") + name;
    const uint64_t hi = fnv1a(key, 0xCBF29CE484222325ull);
    const uint64_t lo = fnv1a(key, 0x84222325CBF29CE4ull ^ hi);
    tws_guid g{};
    g.Data1 = static_cast<uint32_t>(hi >> 32);
    g.Data2 = static_cast<uint16_t>(hi >> 16);
    // Name-based identifier: version 8, RFC 4122 variant; never all zero.
    g.Data3 = static_cast<uint16_t>((hi & 0x0FFF) | 0x8000);
    for (int i = 0; i < 8; ++i) g.Data4[i] = static_cast<uint8_t>(lo >> (56 - 8 * i));
    g.Data4[0] = static_cast<uint8_t>((g.Data4[0] & 0x3F) | 0x80);
    return g;
}

}  // namespace tws
