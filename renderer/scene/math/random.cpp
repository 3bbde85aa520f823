#include "renderer/scene/math/random.h"

namespace pellarin {

namespace {
std::uint32_t state = 1;
}  // namespace

int nextRandom() {
  state = state * 214013u + 2531011u;  // wraps modulo 2^32
  return static_cast<int>((state >> 16) & 0x7FFFu);
}

float randomUnit() {
  return static_cast<float>(nextRandom() & 0x7FFF) / 32767.0f;
}

float randomSigned() {
  return randomUnit() * 2 - 1;
}

std::uint32_t randomState() {
  return state;
}

void setRandomState(std::uint32_t newState) {
  state = newState;
}

}  // namespace pellarin
