// The exported control API of the virtual driver (tonewell_sound_virtual.h).
#include <new>

#include "api/Module.h"
#include "core/Globals.h"
#include "core/OutputBuffer.h"
#include "tonewell_sound_virtual.h"
#include "virtual/VirtualDriver.h"

using tws::virtualDriver;

extern "C" {

TWS_EXPORT tws_result tws_virtual_set_devices(const tws_virtual_device* devices, uint32_t count) {
    try {
        return virtualDriver().devices().replace(devices, count);
    } catch (const std::bad_alloc&) {
        return TWS_E_OUTOFMEMORY;
    }
}

TWS_EXPORT void tws_virtual_use_default_devices(void) { virtualDriver().devices().useDefaults(); }

TWS_EXPORT tws_result tws_virtual_fault_enumeration(uint32_t directions, tws_result result) {
    return virtualDriver().faults().setEnumeration(directions, result);
}

TWS_EXPORT tws_result tws_virtual_fault_device(const tws_guid* device, uint32_t operation,
                                               tws_result result, int32_t count) {
    return virtualDriver().faults().setDevice(device, operation, result, count);
}

TWS_EXPORT tws_result tws_virtual_fault_method(uint32_t method, uint32_t directions,
                                               tws_result result, uint32_t count) {
    return virtualDriver().faults().setMethod(method, directions, result, count);
}

TWS_EXPORT tws_result tws_virtual_lose_buffer(tws_buffer* buffer, uint32_t restore_failures) {
    const tws::BufferCore* core = tws::OutputBuffer::coreOf(buffer);
    if (core == nullptr) return TWS_E_INVALIDARG;
    return virtualDriver().loseBuffer(core, restore_failures);
}

TWS_EXPORT tws_result tws_virtual_lose_output(uint32_t index, uint32_t restore_failures) {
    return virtualDriver().loseOutput(index, restore_failures);
}

TWS_EXPORT void tws_virtual_clear_faults(void) { virtualDriver().faults().clear(); }

TWS_EXPORT tws_result tws_virtual_set_speed(double factor) {
    return virtualDriver().clock().setSpeed(factor);
}

TWS_EXPORT double tws_virtual_get_speed(void) { return virtualDriver().clock().speed(); }

TWS_EXPORT tws_result tws_virtual_set_manual_clock(int32_t manual) {
    virtualDriver().clock().setManual(manual != 0);
    return TWS_OK;
}

TWS_EXPORT tws_result tws_virtual_advance(uint64_t frames) {
    return virtualDriver().clock().advance(frames);
}

TWS_EXPORT tws_result tws_virtual_flush(void) { return virtualDriver().clock().flush(); }

TWS_EXPORT int64_t tws_virtual_output_index(const tws_buffer* buffer) {
    const tws::BufferCore* core = tws::OutputBuffer::coreOf(buffer);
    return core == nullptr ? -1 : virtualDriver().outputIndex(core);
}

TWS_EXPORT uint32_t tws_virtual_output_count(void) { return virtualDriver().taps().count(); }

TWS_EXPORT tws_result tws_virtual_tap_info(uint32_t index, tws_virtual_tap* info) {
    auto tap = virtualDriver().taps().find(index);
    if (tap == nullptr || info == nullptr) return TWS_E_INVALIDARG;
    tap->info(*info);
    return TWS_OK;
}

TWS_EXPORT int64_t tws_virtual_tap_read(uint32_t index, uint64_t offset, void* dest,
                                        uint64_t capacity) {
    auto tap = virtualDriver().taps().find(index);
    return tap == nullptr ? -1 : tap->read(offset, dest, capacity);
}

TWS_EXPORT int64_t tws_virtual_tap_drain(uint32_t index, void* dest, uint64_t capacity) {
    auto tap = virtualDriver().taps().find(index);
    return tap == nullptr ? -1 : tap->drain(dest, capacity);
}

TWS_EXPORT tws_result tws_virtual_set_tap_dir(const char* directory) {
    try {
        virtualDriver().taps().setDirectory(directory ? directory : "");
        return TWS_OK;
    } catch (const std::bad_alloc&) {
        return TWS_E_OUTOFMEMORY;
    }
}

TWS_EXPORT tws_result tws_virtual_set_tap_limit(uint64_t bytes) {
    virtualDriver().taps().setLimit(bytes);
    return TWS_OK;
}

TWS_EXPORT void tws_virtual_clear_taps(void) { virtualDriver().taps().clearReleased(); }

TWS_EXPORT void tws_virtual_live_counts(tws_virtual_counts* counts) {
    if (counts == nullptr) return;
    auto& live = tws::liveCounts();
    counts->sounds = live.sounds.load();
    counts->captures = live.captures.load();
    counts->buffers = live.buffers.load();
    counts->capture_buffers = live.captureBuffers.load();
    counts->threads = virtualDriver().clock().threadsAlive();
}

TWS_EXPORT void tws_virtual_reset(void) { virtualDriver().reset(); }

}  // extern "C"
