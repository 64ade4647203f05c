#include "host/HostData.h"

#include <cstring>

#include "core/ErrorCodes.h"
#include "host/HostRuntime.h"

namespace tw::host {

int32_t elementSize(uint16_t typeCode) {
    switch (typeCode) {
        case TW_TYPE_I8: case TW_TYPE_U8: return 1;
        case TW_TYPE_I16: case TW_TYPE_U16: return 2;
        case TW_TYPE_I32: case TW_TYPE_U32: case TW_TYPE_F32: return 4;
        case TW_TYPE_I64: case TW_TYPE_U64: case TW_TYPE_F64: return 8;
        default: return 2;
    }
}

int32_t writeString(TwStringHandle handle, const char* text, size_t length) {
    if (!handle) return err::kOk;  // nowhere to write: skipped like a null out-pointer
    int64_t bytes = static_cast<int64_t>(length) + 5;
    if (!sizeFits(bytes)) return err::kNoMemory;
    int32_t r = sizeHandle(reinterpret_cast<void**>(handle), static_cast<int32_t>(bytes));
    if (r != 0) return r;
    TwString* block = *handle;
    block->length = static_cast<int32_t>(length);
    if (length) std::memcpy(block->text, text, length);
    block->text[length] = '\0';
    return err::kOk;
}

int32_t writeString(TwStringHandle handle, const char* text) {
    return writeString(handle, text, text ? std::strlen(text) : 0);
}

void readString(TwStringHandle handle, char* buffer, size_t n) {
    if (n == 0) return;
    size_t length = static_cast<size_t>(stringLength(handle));
    if (length > n - 1) length = n - 1;
    if (length) std::memcpy(buffer, (*handle)->text, length);
    buffer[length] = '\0';
}

int32_t stringLength(TwStringHandle handle) {
    if (!handle || !*handle) return 0;
    return (*handle)->length > 0 ? (*handle)->length : 0;
}

int32_t writeInt32Array(TwArrayHandle handle, const int32_t* values, int32_t count) {
    if (!handle) return err::kOk;
    if (count < 0) count = 0;
    int64_t bytes = 4 + 4 * static_cast<int64_t>(count);
    if (!sizeFits(bytes)) return err::kNoMemory;
    int32_t r = sizeHandle(reinterpret_cast<void**>(handle), static_cast<int32_t>(bytes));
    if (r != 0) return r;
    auto* block = reinterpret_cast<uint8_t*>(*handle);
    std::memcpy(block, &count, 4);
    if (count) std::memcpy(block + 4, values, 4 * static_cast<size_t>(count));
    return err::kOk;
}

int32_t arrayDimension(TwArrayHandle handle, int index) {
    if (!handle || !*handle || index < 0) return 0;
    int32_t value;
    std::memcpy(&value, reinterpret_cast<const uint8_t*>(*handle) + 4 * index, 4);
    return value;
}

uint8_t* arrayElements(TwArrayHandle handle, int dimensions) {
    if (!handle || !*handle) return nullptr;
    return reinterpret_cast<uint8_t*>(*handle) + 4 * dimensions;
}

}  // namespace tw::host
