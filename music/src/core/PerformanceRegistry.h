// The performances alive, newest last, for the control interface.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

namespace twm {

class Performance;

class PerformanceRegistry {
public:
    void add(Performance* p);
    void remove(Performance* p);
    // Master volume of the newest performance; false when there is none.
    bool newestMasterVolume(int32_t& volume);

private:
    std::mutex mutex_;
    std::vector<Performance*> alive_;
};

PerformanceRegistry& performances();

}  // namespace twm
