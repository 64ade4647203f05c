#include "core/PerformanceRegistry.h"

#include <algorithm>

#include "core/Performance.h"

namespace twm {

void PerformanceRegistry::add(Performance* p) {
    std::lock_guard<std::mutex> lock(mutex_);
    alive_.push_back(p);
}

void PerformanceRegistry::remove(Performance* p) {
    std::lock_guard<std::mutex> lock(mutex_);
    alive_.erase(std::remove(alive_.begin(), alive_.end(), p), alive_.end());
}

bool PerformanceRegistry::newestMasterVolume(int32_t& volume) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (alive_.empty()) return false;
    return alive_.back()->getMasterVolume(&volume) == 0;
}

PerformanceRegistry& performances() {
    static PerformanceRegistry* registry = new PerformanceRegistry();
    return *registry;
}

}  // namespace twm
