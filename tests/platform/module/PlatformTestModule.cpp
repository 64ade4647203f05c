// Loaded and unloaded by the module tests; exports one function.
extern "C" __attribute__((visibility("default"))) int platformTestModuleValue() { return 7; }
