#include "virtual/VirtualDriver.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

#include "core/BufferCore.h"
#include "virtual/VirtualDevices.h"
#include "virtual/VirtualStream.h"

namespace tws {

namespace {

constexpr const char* kModuleName = "tonewell-virtual";

double speedFromEnvironment() {
    const char* text = std::getenv("TONEWELL_VIRTUAL_SPEED");
    if (text == nullptr || *text == '\0') return 1.0;
    char* end = nullptr;
    double value = std::strtod(text, &end);
    return (*end == '\0' && value > 0.0 && std::isfinite(value)) ? value : 1.0;
}

uint64_t tapLimitFromEnvironment() {
    const char* text = std::getenv("TONEWELL_VIRTUAL_TAP_LIMIT");
    if (text == nullptr || *text == '\0') return TapStore::kDefaultLimit;
    char* end = nullptr;
    unsigned long long value = std::strtoull(text, &end, 10);
    return *end == '\0' ? value : TapStore::kDefaultLimit;
}

}  // namespace

VirtualDriver::VirtualDriver() : clock_(speedFromEnvironment()) { applyEnvironment(); }

void VirtualDriver::applyEnvironment() {
    clock_.setSpeed(speedFromEnvironment());
    const char* dir = std::getenv("TONEWELL_VIRTUAL_TAP_DIR");
    taps_.setDirectory(dir ? dir : "");
    taps_.setLimit(tapLimitFromEnvironment());
}

void VirtualDriver::reset() {
    devices_.useDefaults();
    faults_.clear();
    clock_.setManual(false);
    applyEnvironment();
    taps_.clearReleased();
    taps_.restartNumbering();
}

tws_result VirtualDriver::enumerate(Direction direction, std::vector<DeviceEntry>& out) {
    if (tws_result r = faults_.enumeration(direction)) return r;
    for (const auto& d : devices_.list(direction)) out.push_back({d.guid, d.description, kModuleName});
    return TWS_OK;
}

tws_result VirtualDriver::openOutput(const tws_guid* guid, std::shared_ptr<OutputDevice>& out) {
    VirtualDeviceDesc desc;
    if (!devices_.find(Direction::Output, guid, desc)) return TWS_ERR_NODRIVER;
    if (tws_result r = faults_.device(desc.guid, TWS_VIRTUAL_DEVICE_CREATE)) return r;
    out = std::make_shared<VirtualOutputDevice>(std::move(desc), *this);
    return TWS_OK;
}

tws_result VirtualDriver::openCapture(const tws_guid* guid, std::shared_ptr<CaptureDevice>& out) {
    VirtualDeviceDesc desc;
    if (!devices_.find(Direction::Capture, guid, desc)) return TWS_ERR_NODRIVER;
    if (tws_result r = faults_.device(desc.guid, TWS_VIRTUAL_DEVICE_CREATE)) return r;
    out = std::make_shared<VirtualCaptureDevice>(std::move(desc), *this);
    return TWS_OK;
}

tws_result VirtualDriver::methodFault(Method method, Direction direction) {
    return faults_.method(method, direction);
}

void VirtualDriver::remember(VirtualStream* stream) {
    std::lock_guard lock(streamsMutex_);
    streams_.push_back(stream);
}

void VirtualDriver::forget(VirtualStream* stream) {
    std::lock_guard lock(streamsMutex_);
    std::erase(streams_, stream);
}

int64_t VirtualDriver::outputIndex(const BufferCore* buffer) {
    std::lock_guard lock(streamsMutex_);
    for (auto* s : streams_)
        if (&s->buffer() == buffer && s->tap()) return s->tap()->index();
    return -1;
}

tws_result VirtualDriver::loseOutput(uint32_t index, uint32_t restoreFailures) {
    std::lock_guard lock(streamsMutex_);
    for (auto* s : streams_) {
        if (s->tap() && s->tap()->index() == index) {
            s->lose(restoreFailures);
            return TWS_OK;
        }
    }
    return TWS_E_INVALIDARG;
}

tws_result VirtualDriver::loseBuffer(const BufferCore* buffer, uint32_t restoreFailures) {
    std::lock_guard lock(streamsMutex_);
    for (auto* s : streams_) {
        if (&s->buffer() == buffer) {
            s->lose(restoreFailures);
            return TWS_OK;
        }
    }
    return TWS_E_INVALIDARG;
}

}  // namespace tws
