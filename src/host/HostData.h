// Reading and writing the host's data types: strings, 1-D int32 arrays and the
// dimension sizes of numeric arrays. Sizes handed to the host are computed in
// 64 bits; one that does not fit the host's int32 size is refused with 2.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tonewell/tonewell.h"

namespace tw::host {

// Element size in bytes of a numeric type code (any unknown code counts as 2).
int32_t elementSize(uint16_t typeCode);

// True when `bytes` can be passed to the host as an int32 size.
inline bool sizeFits(int64_t bytes) { return bytes >= 0 && bytes <= INT32_MAX; }

// Resizes the string to `length` characters plus the terminator, stores them.
// Returns the host's code (nonzero: nothing more written), or 2 when too long.
int32_t writeString(TwStringHandle handle, const char* text, size_t length);
int32_t writeString(TwStringHandle handle, const char* text);

// Copies at most n - 1 characters and a NUL; a null handle reads as empty.
void readString(TwStringHandle handle, char* buffer, size_t n);

// Length of a host string; 0 for a null handle or block.
int32_t stringLength(TwStringHandle handle);

// Resizes a 1-D int32 array to `count` elements and stores them.
int32_t writeInt32Array(TwArrayHandle handle, const int32_t* values, int32_t count);

// Size of dimension `index` of an array; 0 for a null handle or block.
int32_t arrayDimension(TwArrayHandle handle, int index);

// Address of the elements of an array of `dimensions` dimensions; null for a
// null handle or block.
uint8_t* arrayElements(TwArrayHandle handle, int dimensions);

}  // namespace tw::host
