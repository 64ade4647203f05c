#include "file/SoundFile.h"

#include "core/ErrorCodes.h"
#include "device/DeviceManager.h"

namespace tw {

SoundFile::SoundFile() { DeviceManager::instance()->registerTask(this); }

SoundFile::~SoundFile() { DeviceManager::instance()->unregisterTask(this); }

int32_t SoundFile::seek(int32_t, int32_t) { return err::kDevice; }

}  // namespace tw
