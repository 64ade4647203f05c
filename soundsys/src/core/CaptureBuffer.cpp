#include "core/CaptureBuffer.h"

#include <new>

#include "core/BufferCall.h"
#include "core/Globals.h"

namespace tws {

namespace {

CaptureBuffer* self(tws_capture_buffer* handle) { return static_cast<CaptureBuffer*>(handle); }

void doRelease(tws_capture_buffer* b) {
    if (b) self(b)->release();
}

tws_result doGetFormat(tws_capture_buffer* b, tws_wave_format* format, uint32_t size,
                       uint32_t* written) {
    return callCore<CaptureBuffer>(b, Method::GetFormat, [&](BufferCore& core) -> tws_result {
        return core.getFormat(format, size, written);
    });
}

tws_result doGetStatus(tws_capture_buffer* b, uint32_t* status) {
    if (!status) return TWS_E_INVALIDARG;
    return callCore<CaptureBuffer>(b, Method::GetStatus, [&](BufferCore& core) -> tws_result {
        auto s = core.status();
        *status = (s.running ? TWS_CBSTATUS_CAPTURING : 0u) |
                  (s.running && s.looping ? TWS_CBSTATUS_LOOPING : 0u);
        return TWS_OK;
    });
}

tws_result doGetPosition(tws_capture_buffer* b, uint32_t* capture, uint32_t* read) {
    return callCore<CaptureBuffer>(b, Method::GetPosition, [&](BufferCore& core) -> tws_result {
        core.positions(capture, read);
        return TWS_OK;
    });
}

tws_result doLock(tws_capture_buffer* b, uint32_t offset, uint32_t bytes, void** ptr1,
                  uint32_t* bytes1, void** ptr2, uint32_t* bytes2, uint32_t flags) {
    if (flags & ~TWS_CBLOCK_ENTIREBUFFER) return TWS_E_INVALIDARG;
    return callCore<CaptureBuffer>(b, Method::Lock, [&](BufferCore& core) -> tws_result {
        return core.lock(offset, bytes, flags & TWS_CBLOCK_ENTIREBUFFER, false, ptr1, bytes1, ptr2, bytes2);
    });
}

tws_result doUnlock(tws_capture_buffer* b, void* ptr1, uint32_t bytes1, void* ptr2,
                    uint32_t bytes2) {
    return callCore<CaptureBuffer>(b, Method::Unlock, [&](BufferCore& core) -> tws_result {
        return core.unlock(ptr1, bytes1, ptr2, bytes2);
    });
}

tws_result doStart(tws_capture_buffer* b, uint32_t flags) {
    return callCore<CaptureBuffer>(b, Method::Start, [&](BufferCore& core) -> tws_result {
        return core.run(flags & TWS_CBSTART_LOOPING);
    });
}

tws_result doStop(tws_capture_buffer* b) {
    return callCore<CaptureBuffer>(b, Method::Stop, [&](BufferCore& core) -> tws_result {
        core.halt();
        return TWS_OK;
    });
}

tws_result doSetNotifications(tws_capture_buffer* b, uint32_t count,
                              const tws_position_notify* positions) {
    return callCore<CaptureBuffer>(b, Method::SetNotifications, [&](BufferCore& core) -> tws_result {
        return core.setNotifications(count, positions);
    });
}

constexpr tws_capture_buffer_vtbl kVtbl = {
    doRelease, doGetFormat, doGetStatus, doGetPosition,      doLock,
    doUnlock,  doStart,     doStop,      doSetNotifications,
};

}  // namespace

CaptureBuffer::CaptureBuffer(std::shared_ptr<CaptureDevice> device, const Format& format,
                             Driver& driver)
    : tws_capture_buffer{&kVtbl},
      device_(std::move(device)),
      core_(Direction::Capture, format, 0, driver) {}

void CaptureBuffer::release() {
    core_.shutdown();
    delete this;
    liveCounts().captureBuffers.fetch_sub(1);
}

tws_result CaptureBuffer::create(const std::shared_ptr<CaptureDevice>& device, Driver& driver,
                                 const tws_capture_buffer_desc* desc, tws_capture_buffer** out) {
    if (out == nullptr || desc == nullptr) return TWS_E_INVALIDARG;
    *out = nullptr;
    if (desc->dwSize != sizeof(tws_capture_buffer_desc) || desc->dwFlags != 0)
        return TWS_E_INVALIDARG;
    if (tws_result r = driver.methodFault(Method::Create, Direction::Capture)) return r;
    if (desc->dwFXCount != 0) return TWS_ERR_FXUNAVAILABLE;
    Format format;
    if (tws_result r = parseFormat(desc->lpwfxFormat, format)) return r;
    if (tws_result r = device->adjustFormat(format)) return r;
    uint32_t bytes = desc->dwBufferBytes;
    if (bytes < TWS_BSIZE_MIN || bytes > TWS_BSIZE_MAX || bytes % format.blockAlign != 0)
        return TWS_E_INVALIDARG;

    auto* buffer = new (std::nothrow) CaptureBuffer(device, format, driver);
    if (buffer == nullptr) return TWS_E_OUTOFMEMORY;
    liveCounts().captureBuffers.fetch_add(1);
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
