// Device queries: counts and capabilities of output and capture devices.
#include "device/DeviceInfo.h"
#include "device/DeviceManager.h"
#include "tonewell/tonewell.h"

using namespace tw;

extern "C" {

TONEWELL_API int32_t SoundNumDevices(uint8_t* inputFlag, int32_t* count) {
    int32_t n = DeviceManager::instance()->getNumDevices(inputFlag && *inputFlag != 0);
    if (count) *count = n;
    return 0;
}

TONEWELL_API int32_t SoundDeviceInfo(int32_t deviceIndex, uint8_t* inputFlag, TwArrayHandle channels,
                                     TwArrayHandle bitDepths, double* minRate, double* maxRate,
                                     TwStringHandle name) {
    return queryDeviceInfo(deviceIndex, inputFlag && *inputFlag != 0, channels, bitDepths, minRate,
                           maxRate, name);
}

}  // extern "C"
