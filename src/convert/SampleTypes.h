// The host element types behind the sample type codes, in one place: the
// converters of every kind pick their loops through it.
#pragma once

#include <cstdint>
#include <type_traits>

#include "tonewell/tonewell.h"

namespace tw::convert {

// f(H{}) for the element type H that `typeCode` names; `none` when it names
// no sample type.
template <class R, class F>
R withSampleType(uint16_t typeCode, R none, F f) {
    switch (typeCode) {
        case TW_TYPE_U8: return f(uint8_t{});
        case TW_TYPE_I16: return f(int16_t{});
        case TW_TYPE_I32: return f(int32_t{});
        case TW_TYPE_F32: return f(float{});
        case TW_TYPE_F64: return f(double{});
        default: return none;
    }
}

// The type code of element type H.
template <class H> constexpr uint16_t sampleTypeCode() {
    if constexpr (std::is_same_v<H, uint8_t>) return TW_TYPE_U8;
    else if constexpr (std::is_same_v<H, int16_t>) return TW_TYPE_I16;
    else if constexpr (std::is_same_v<H, int32_t>) return TW_TYPE_I32;
    else if constexpr (std::is_same_v<H, float>) return TW_TYPE_F32;
    else return TW_TYPE_F64;
}

// H's place among the five element types, 0..4, for tables indexed by type.
template <class H> constexpr int sampleTypeIndex() {
    if constexpr (std::is_same_v<H, uint8_t>) return 0;
    else if constexpr (std::is_same_v<H, int16_t>) return 1;
    else if constexpr (std::is_same_v<H, int32_t>) return 2;
    else if constexpr (std::is_same_v<H, float>) return 3;
    else return 4;
}

// The five type codes in table order, and their short names for reports.
inline constexpr uint16_t kSampleTypeCodes[] = {TW_TYPE_U8, TW_TYPE_I16, TW_TYPE_I32, TW_TYPE_F32, TW_TYPE_F64};
inline const char* sampleTypeName(uint16_t typeCode) {
    return withSampleType(typeCode, "?", [](auto h) {
        constexpr int i = sampleTypeIndex<decltype(h)>();
        return i == 0 ? "u8" : i == 1 ? "i16" : i == 2 ? "i32" : i == 3 ? "f32" : "f64";
    });
}

}  // namespace tw::convert
