#include "file/SoundFile.h"

#include "core/ErrorCodes.h"

namespace tw {

int32_t SoundFile::seek(int32_t, int32_t) { return err::kDevice; }

}  // namespace tw
