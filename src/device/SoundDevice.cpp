#include "device/SoundDevice.h"

#include <cstring>
#include <new>

#include "host/HostRuntime.h"

namespace tw {

SoundDevice::SoundDevice(const tws_guid* guid) {
    if (guid) guid_ = *guid;
}

SoundDevice::~SoundDevice() { delete[] name_; }

const char* SoundDevice::getName() const { return name_; }

void SoundDevice::setName(const char* text, const char* /*module*/) {
    delete[] name_;
    name_ = nullptr;
    if (!text) return;
    name_ = new (std::nothrow) char[std::strlen(text) + 1];
    if (name_) host::copyText(name_, text);
}

const tws_guid* SoundDevice::getGuid() const { return &guid_; }

}  // namespace tw
