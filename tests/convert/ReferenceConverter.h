// The conversion algorithm written the plain way, one sample at a time, to
// check the library's fast converters against bit for bit.
#pragma once

#include <cstdint>

#include "convert/SampleConverter.h"

namespace reference {

// Same contract as tw::convertBlock for jobs that fit their array and bytes.
int32_t convertBlock(const tw::ConversionJob& job);

}  // namespace reference
