// Conversion of a run of sample frames between a host 2-D array (one row per
// channel) and interleaved PCM bytes of 1 to 4 bytes per sample.
#pragma once

#include <cstdint>

namespace tw {

enum class ConvertDirection { DeviceToHost, HostToDevice };

// One copy, as the host data block describes it.
struct ConversionJob {
    uint32_t bytesPerSample = 0;  // device sample width, 1..4
    uint32_t channels = 0;        // device channels per frame
    uint8_t* device = nullptr;    // interleaved PCM frames
    uint64_t deviceBytes = 0;
    uint16_t typeCode = 0;        // host numeric type code
    uint32_t rows = 0;            // host array dimensions
    uint32_t columns = 0;
    uint8_t* hostElements = nullptr;  // first element of the host array
    uint32_t start = 0;               // first host column to convert
    uint32_t frames = 0;
    ConvertDirection direction = ConvertDirection::HostToDevice;
};

// Converts the job's frames. Host to device, a channel without its own row
// takes the last row. Device to host, channels beyond the array's rows are
// dropped. Returns 0; -4824 when a float sample outside [-1, 1] was clipped
// (every sample is still converted); 42 when the type code or width has no
// converter or the job does not fit its array or bytes (nothing converted).
int32_t convertBlock(const ConversionJob& job);

// True for the host type codes that carry samples: 2, 3, 5, 9 and 10.
bool isSampleType(uint16_t typeCode);

}  // namespace tw
