#pragma once
// The renderer's one random generator. It is never seeded from outside, so every run draws the
// same sequence; the order of draws across the program therefore decides what is shown.

#include <cstdint>

namespace pellarin {

// Next output, 0..32767.
int nextRandom();

// nextRandom() / 32767, in [0, 1].
float randomUnit();

// randomUnit() * 2 - 1, in [-1, 1].
float randomSigned();

// The generator's state word; starts at 1. For tests that need a known sequence.
std::uint32_t randomState();
void setRandomState(std::uint32_t state);

}  // namespace pellarin
