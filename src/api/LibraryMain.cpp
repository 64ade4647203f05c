// Attach and detach of the library: the registries live exactly as long as
// the library is loaded, both at dlclose and at process exit.
#include "core/Registries.h"

namespace {

__attribute__((constructor)) void onAttach() { tw::libraryAttach(); }
__attribute__((destructor)) void onDetach() { tw::libraryDetach(); }

}  // namespace
