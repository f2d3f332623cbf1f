// The hashes that pin pictures and hit counts in the engine's tests.
#pragma once

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string>

#include "engine_fixture.h"
#include "image/pixel_graphic.h"

// FNV-1a, 64 bits, over bytes fed in an order fixed here (multi-byte values little-endian), so that a hash depends
// on nothing but the values: not on the machine's byte order nor on the picture's memory layout.
class TFnv1a64 {
 public:
  void Byte(std::uint8_t b) { hash_ = (hash_ ^ b) * kPrime; }
  void LittleEndian(std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) Byte(static_cast<std::uint8_t>(value >> (8 * i)));
  }
  std::uint64_t Value() const { return hash_; }

 private:
  static constexpr std::uint64_t kOffsetBasis = 0xcbf29ce484222325ull;
  static constexpr std::uint64_t kPrime = 0x100000001b3ull;
  std::uint64_t hash_ = kOffsetBasis;
};

inline std::string Hex(std::uint64_t value) {
  char text[19];
  std::snprintf(text, sizeof text, "0x%016" PRIx64, value);
  return text;
}

// Row by row from row 0, each pixel as red, green, blue.
inline std::uint64_t PictureHash(const TPixelGraphic& image) {
  TFnv1a64 h;
  for (int y = 0; y < image.Height(); ++y)
    for (int x = 0; x < image.Width(); ++x) h.LittleEndian(image.GetPixel(x, y), 3);
  return h.Value();
}

// The red, green and blue lists in turn, every entry as four bytes.
inline std::uint64_t CountsHash(const TTestFractal& f) {
  TFnv1a64 h;
  for (const THitList* list : {&f.red, &f.green, &f.blue})
    for (const std::int32_t count : *list) h.LittleEndian(static_cast<std::uint32_t>(count), 4);
  return h.Value();
}
