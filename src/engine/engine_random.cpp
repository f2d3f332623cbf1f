#include "engine/engine_random.h"

#include <atomic>
#include <chrono>

namespace {

std::uint64_t SplitMix64(std::uint64_t& x) {
  std::uint64_t z = (x += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

void Fill(TEngineRandom& r, std::uint64_t seed) {
  for (std::uint64_t& word : r.s) word = SplitMix64(seed);
}

}  // namespace

void TEngineRandom::Seed(std::uint64_t seed) {
  Fill(*this, seed);
  seeded = true;
}

void TEngineRandom::Randomize() {
  if (seeded) return;
  // Two reseeds within one clock tick must still differ, or back-to-back restarts would repeat their coefficients.
  static std::atomic<std::uint64_t> calls{0};
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  const auto wall = std::chrono::system_clock::now().time_since_epoch().count();
  Fill(*this, static_cast<std::uint64_t>(now) ^ (static_cast<std::uint64_t>(wall) << 1) ^
                  (++calls * 0xD1B54A32D192ED03ull));
}

TEngineRandom TEngineRandom::Derived(std::uint64_t index) const {
  // The four words and the index through splitmix64 in turn: neighbouring indices give unrelated streams.
  std::uint64_t mix = index * 0xD1B54A32D192ED03ull;
  for (const std::uint64_t word : s) mix = SplitMix64(mix) ^ word;
  TEngineRandom r;
  Fill(r, SplitMix64(mix));
  r.seeded = true;
  return r;
}

TEngineRandom InitialEngineRandom() {
  TEngineRandom r;
  Fill(r, 0);
  return r;
}
