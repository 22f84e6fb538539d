// The one setting that shortens every fixed pause of the module (polling, retries,
// worker pauses) for tests and demonstrations. Read once per process.
//
//   BURNMODULE_TIME_SCALE=<factor>   e.g. 0.01 turns a 60 s poll into 600 ms.
//
// Absent, empty or not a positive number: 1 (the production timings).
#pragma once

// A pause of the given production length in milliseconds, scaled; at least 1 ms.
int ScaledMs(int _iProductionMs);

// The factor in force.
double BurnTimeScale();
