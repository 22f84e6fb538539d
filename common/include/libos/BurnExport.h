// Marks a function as part of the module's exported C interface; everything else
// stays hidden.
#pragma once

#if defined(_WIN32)
#define BURN_EXPORT extern "C" __declspec(dllexport)
#else
#define BURN_EXPORT extern "C" __attribute__((visibility("default")))
#endif
