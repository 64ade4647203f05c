#include "core/Faults.h"

#include <mutex>

#include "tonewell_music_control.h"

namespace twm {

namespace {

struct Fault {
    int32_t result = 0;
    int32_t count = 0;  // < 0: until cleared
};

struct FaultTable {
    std::mutex mutex;
    Fault faults[TWM_FAULT_COUNT];
};

FaultTable& table() {
    static FaultTable* t = new FaultTable();
    return *t;
}

}  // namespace

int32_t injectedFault(uint32_t operation) {
    if (operation == 0 || operation >= TWM_FAULT_COUNT) return TWM_OK;
    FaultTable& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    Fault& f = t.faults[operation];
    if (f.count == 0) return TWM_OK;
    if (f.count > 0) --f.count;
    return f.result;
}

int32_t armFault(uint32_t operation, int32_t result, int32_t count) {
    if (operation == 0 || operation >= TWM_FAULT_COUNT) return TWM_E_INVALIDARG;
    FaultTable& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    t.faults[operation] = (result == 0 || count == 0) ? Fault{} : Fault{result, count};
    return TWM_OK;
}

void clearFaults() {
    FaultTable& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    for (Fault& f : t.faults) f = Fault{};
}

}  // namespace twm
