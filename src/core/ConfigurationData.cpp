#include "core/ConfigurationData.h"

#include <cstring>

#include "core/ErrorCodes.h"
#include "core/InputConfiguration.h"
#include "platform/Module.h"

namespace tw {

// A task runs threads of the library and of the sound system module: from
// the first one on, unloading must not tear them down (see pinModuleOf).
ConfigurationData::ConfigurationData() {
    platform::pinModuleOf(reinterpret_cast<const void*>(&ConfigurationData::naturalTypeCode));
}

int32_t ConfigurationData::getStateDesc(char*) { return err::kNotSupported; }
int32_t ConfigurationData::isRunning() { return 0; }
int32_t ConfigurationData::getModeFlag() { return 0; }

uint16_t ConfigurationData::naturalTypeCode(uint32_t bitsPerSample) {
    if (bitsPerSample < 9) return TW_TYPE_U8;
    if (bitsPerSample > 16) return TW_TYPE_I32;
    return TW_TYPE_I16;
}

int32_t InputConfiguration::getStateDesc(char* text) {
    std::strcpy(text, "NotImpl ");
    return err::kOk;
}

}  // namespace tw
