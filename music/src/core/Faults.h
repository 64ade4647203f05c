// Injected failures of engine operations, armed through the control
// interface. An armed operation fails without doing anything.
#pragma once

#include <cstdint>

namespace twm {

// TWM_OK, or the result the next call of the operation must fail with.
int32_t injectedFault(uint32_t operation);
int32_t armFault(uint32_t operation, int32_t result, int32_t count);
void clearFaults();

}  // namespace twm
