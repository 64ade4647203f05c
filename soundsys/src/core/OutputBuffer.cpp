#include "core/OutputBuffer.h"

#include <new>

#include "core/BufferCall.h"
#include "core/Globals.h"

namespace tws {

namespace {

constexpr uint32_t kKnownFlags = 0x000FC3FFu;

OutputBuffer* self(tws_buffer* handle) { return static_cast<OutputBuffer*>(handle); }

void doRelease(tws_buffer* b) {
    if (b) self(b)->release();
}

tws_result doGetCaps(tws_buffer* b, tws_buffer_caps* caps) {
    if (!b || !caps || caps->dwSize != sizeof(tws_buffer_caps)) return TWS_E_INVALIDARG;
    auto& core = self(b)->core();
    *caps = {sizeof(tws_buffer_caps), core.flags(), core.bytes(), 0, 0};
    return TWS_OK;
}

tws_result doGetFormat(tws_buffer* b, tws_wave_format* format, uint32_t size, uint32_t* written) {
    return callCore<OutputBuffer>(b, Method::GetFormat, [&](BufferCore& core) -> tws_result {
        return core.getFormat(format, size, written);
    });
}

tws_result doGetStatus(tws_buffer* b, uint32_t* status) {
    if (!status) return TWS_E_INVALIDARG;
    return callCore<OutputBuffer>(b, Method::GetStatus, [&](BufferCore& core) -> tws_result {
        auto s = core.status();
        *status = (s.running ? TWS_BSTATUS_PLAYING : 0u) | (s.lost ? TWS_BSTATUS_BUFFERLOST : 0u) |
                  (s.running && s.looping ? TWS_BSTATUS_LOOPING : 0u);
        return TWS_OK;
    });
}

tws_result doGetPosition(tws_buffer* b, uint32_t* play, uint32_t* write) {
    return callCore<OutputBuffer>(b, Method::GetPosition, [&](BufferCore& core) -> tws_result {
        core.positions(play, write);
        return TWS_OK;
    });
}

tws_result doSetPosition(tws_buffer* b, uint32_t offset) {
    return callCore<OutputBuffer>(b, Method::SetPosition, [&](BufferCore& core) -> tws_result {
        return core.setPosition(offset);
    });
}

tws_result doLock(tws_buffer* b, uint32_t offset, uint32_t bytes, void** ptr1, uint32_t* bytes1,
                  void** ptr2, uint32_t* bytes2, uint32_t flags) {
    if (flags & ~(TWS_BLOCK_FROMWRITECURSOR | TWS_BLOCK_ENTIREBUFFER)) return TWS_E_INVALIDARG;
    return callCore<OutputBuffer>(b, Method::Lock, [&](BufferCore& core) -> tws_result {
        return core.lock(offset, bytes, flags & TWS_BLOCK_ENTIREBUFFER, flags & TWS_BLOCK_FROMWRITECURSOR, ptr1,
                         bytes1, ptr2, bytes2);
    });
}

tws_result doUnlock(tws_buffer* b, void* ptr1, uint32_t bytes1, void* ptr2, uint32_t bytes2) {
    return callCore<OutputBuffer>(b, Method::Unlock, [&](BufferCore& core) -> tws_result {
        return core.unlock(ptr1, bytes1, ptr2, bytes2);
    });
}

tws_result doPlay(tws_buffer* b, uint32_t flags) {
    return callCore<OutputBuffer>(b, Method::Play, [&](BufferCore& core) -> tws_result {
        return core.run(flags & TWS_BPLAY_LOOPING);
    });
}

tws_result doStop(tws_buffer* b) {
    return callCore<OutputBuffer>(b, Method::Stop, [&](BufferCore& core) -> tws_result {
        core.halt();
        return TWS_OK;
    });
}

tws_result doSetVolume(tws_buffer* b, int32_t volume) {
    return callCore<OutputBuffer>(b, Method::SetVolume, [&](BufferCore& core) -> tws_result {
        if (!(core.flags() & TWS_BCAPS_CTRLVOLUME)) return TWS_ERR_CONTROLUNAVAIL;
        return core.setVolume(volume);
    });
}

tws_result doGetVolume(tws_buffer* b, int32_t* volume) {
    if (!volume) return TWS_E_INVALIDARG;
    return callCore<OutputBuffer>(b, Method::GetVolume, [&](BufferCore& core) -> tws_result {
        if (!(core.flags() & TWS_BCAPS_CTRLVOLUME)) return TWS_ERR_CONTROLUNAVAIL;
        *volume = core.volume();
        return TWS_OK;
    });
}

tws_result doRestore(tws_buffer* b) {
    return callCore<OutputBuffer>(b, Method::Restore, [&](BufferCore& core) -> tws_result {
        return core.restore();
    });
}

tws_result doSetNotifications(tws_buffer* b, uint32_t count, const tws_position_notify* positions) {
    return callCore<OutputBuffer>(b, Method::SetNotifications, [&](BufferCore& core) -> tws_result {
        if (!(core.flags() & TWS_BCAPS_CTRLPOSITIONNOTIFY)) return TWS_ERR_CONTROLUNAVAIL;
        return core.setNotifications(count, positions);
    });
}

constexpr tws_buffer_vtbl kVtbl = {
    doRelease,     doGetCaps, doGetFormat, doGetStatus, doGetPosition,     doSetPosition, doLock,
    doUnlock,      doPlay,    doStop,      doSetVolume, doGetVolume,       doRestore,
    doSetNotifications,
};

}  // namespace

OutputBuffer::OutputBuffer(std::shared_ptr<OutputDevice> device, const Format& format,
                           uint32_t flags, Driver& driver)
    : tws_buffer{&kVtbl}, device_(std::move(device)), core_(Direction::Output, format, flags, driver) {}

BufferCore* OutputBuffer::coreOf(const tws_buffer* handle) {
    if (handle == nullptr || handle->vtbl != &kVtbl) return nullptr;
    return &static_cast<OutputBuffer*>(const_cast<tws_buffer*>(handle))->core_;
}

void OutputBuffer::release() {
    core_.shutdown();
    delete this;
    liveCounts().buffers.fetch_sub(1);
}

tws_result OutputBuffer::create(const std::shared_ptr<OutputDevice>& device, Driver& driver,
                                const tws_buffer_desc* desc, tws_buffer** out) {
    if (out == nullptr || desc == nullptr) return TWS_E_INVALIDARG;
    *out = nullptr;
    if (desc->dwSize != sizeof(tws_buffer_desc) || (desc->dwFlags & ~kKnownFlags))
        return TWS_E_INVALIDARG;
    if (tws_result r = driver.methodFault(Method::Create, Direction::Output)) return r;
    if (desc->dwFlags & TWS_BCAPS_PRIMARYBUFFER) return TWS_E_NOTIMPL;
    Format format;
    if (tws_result r = parseFormat(desc->lpwfxFormat, format)) return r;
    if (tws_result r = device->checkFormat(format)) return r;
    uint32_t bytes = desc->dwBufferBytes;
    if (bytes < TWS_BSIZE_MIN || bytes > TWS_BSIZE_MAX || bytes % format.blockAlign != 0)
        return TWS_E_INVALIDARG;

    auto* buffer = new (std::nothrow) OutputBuffer(device, format, desc->dwFlags, driver);
    if (buffer == nullptr) return TWS_E_OUTOFMEMORY;
    liveCounts().buffers.fetch_add(1);
    tws_result r = buffer->core_.allocate(bytes);
    std::unique_ptr<Stream> stream;
    if (r == TWS_OK) r = device->openStream(buffer->core_, stream);
    if (r != TWS_OK) {
        buffer->release();
        return r;
    }
    buffer->core_.attach(std::move(stream));
    *out = buffer;
    return TWS_OK;
}

}  // namespace tws
