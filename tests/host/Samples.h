// Host arrays of any sample type, element by element as double: what the
// file, input and output tests write and read back.
#pragma once

#include <cmath>
#include <functional>

#include <gtest/gtest.h>

#include "convert/SampleTypes.h"
#include "host/TestHost.h"

namespace testhost {

// A 2-D array of `type` with `value(row, col)` as its elements (as double,
// stored with a plain cast).
inline ArrayPtr makeSamples(uint16_t type, int32_t rows, int32_t cols,
                            const std::function<double(int32_t, int32_t)>& value) {
    auto array = makeArray2D(type, rows, cols);
    const bool known = tw::convert::withSampleType(type, false, [&](auto h) {
        for (int32_t r = 0; r < rows; ++r)
            for (int32_t c = 0; c < cols; ++c)
                set2D<decltype(h)>(array.get(), r, c, static_cast<decltype(h)>(value(r, c)));
        return true;
    });
    EXPECT_TRUE(known) << "no samples of type " << type;
    return array;
}

// Element (row, col) of an array as double.
inline double sampleAt(TwArrayHandle data, uint16_t type, int32_t row, int32_t col) {
    return tw::convert::withSampleType(type, std::nan(""), [&](auto h) {
        return static_cast<double>(get2D<decltype(h)>(data, row, col));
    });
}

}  // namespace testhost
