// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one process-wide pseudo-random generator. It is seeded from the clock once at start-up;
// tests and tools may seed it for repeatable draws.

#include <cstdint>

void RandomizeFromClock();
void RandomSeed(std::uint64_t seed);

// A uniform integer from 0 to range - 1; 0 when range is below 1.
std::int32_t RandomInt(std::int32_t range);
// A uniform value in [0, 1).
double RandomDouble();
