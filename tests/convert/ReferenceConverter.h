// The conversion algorithm written the plain way, one sample at a time, to
// check the library's fast converters against bit for bit.
#pragma once

#include <cstdint>
#include <vector>

#include "convert/SampleConverter.h"

namespace reference {

// Same contract as tw::convertBlock for jobs that fit their array and bytes.
int32_t convertBlock(const tw::ConversionJob& job);

// A job over all of `device` and the first `columns` frames of a host array
// of `rows` rows.
inline tw::ConversionJob job(uint16_t type, uint32_t width, uint32_t channels, void* host, uint32_t rows,
                             uint32_t columns, std::vector<uint8_t>& device, tw::ConvertDirection direction) {
    return {.bytesPerSample = width, .channels = channels, .device = device.data(), .deviceBytes = device.size(),
            .typeCode = type, .rows = rows, .columns = columns, .hostElements = static_cast<uint8_t*>(host),
            .frames = columns, .direction = direction};
}

}  // namespace reference
