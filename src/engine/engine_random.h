// The engine's random generator: xoshiro256** (fast enough to draw once per main step), seeded through splitmix64.
#pragma once

#include <cstdint>

struct TEngineRandom {
  std::uint64_t s[4] = {0, 0, 0, 0};
  // A seed was given: Randomize leaves the stream alone so that the seed decides everything.
  bool seeded = false;

  void Seed(std::uint64_t seed);
  // Reseeds from the clock unless seeded.
  void Randomize();

  // A stream of its own for orbit `index` of a parallel run, fixed by this generator's state (so by the seed, right
  // after seeding) and the index; this generator does not move. Seeded: the clock never reseeds it.
  TEngineRandom Derived(std::uint64_t index) const;

  // Uniform in [0, 1), a multiple of 2^-53.
  double Next() {
    const std::uint64_t result = Rotl(s[1] * 5, 7) * 9;
    const std::uint64_t t = s[1] << 17;
    s[2] ^= s[0];
    s[3] ^= s[1];
    s[1] ^= s[2];
    s[0] ^= s[3];
    s[2] ^= t;
    s[3] = Rotl(s[3], 45);
    return static_cast<double>(result >> 11) * 0x1.0p-53;
  }

 private:
  static std::uint64_t Rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
};

// The generator as it is at program start: a fixed seed, reseeded from the clock by every Randomize.
TEngineRandom InitialEngineRandom();
