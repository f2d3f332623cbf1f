// Gradients: the colours the gradient colouring paints with, as a row of evenly spaced colours between which the
// colour is interpolated. The built-in gradients live here; files of other programs are read by files/gradient_file.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct TGradientColour {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const TGradientColour&) const = default;
};

inline constexpr std::size_t kMinGradientColours = 2;
inline constexpr std::size_t kMaxGradientColours = 256;

struct TGradient {
  std::string name;
  std::vector<TGradientColour> colours;  // kMinGradientColours to kMaxGradientColours, at 0, 1 / (n - 1), ..., 1
  bool operator==(const TGradient&) const = default;
};

// A record holds its gradient by a shared pointer, so that copying a record (undo steps, the orbits of a parallel
// run) does not copy the colours; two records compare equal when their gradients hold the same colours. nullptr is
// the default gradient.
struct TGradientRef {
  std::shared_ptr<const TGradient> gradient;
  const TGradient& Get() const;
  bool operator==(const TGradientRef& other) const { return Get() == other.Get(); }
};

inline constexpr char kDefaultGradientName[] = "plasma";

// The built-in gradients, in the order --help and the chooser list them.
const std::vector<TGradient>& BuiltInGradients();
// nullptr when no built-in gradient has that name (names are lower case; the match ignores case).
const TGradient* FindBuiltInGradient(const std::string& name);
TGradientRef BuiltInGradientRef(const std::string& name);

// How a record applies its gradient: the colour coordinate u (0..1) shows the gradient at frac(u * scale + offset),
// read from the far end when reversed. A scale above 1 repeats the gradient, below 1 shows part of it.
struct TGradientView {
  double offset = 0;
  double scale = 1;
  bool reversed = false;
  bool operator==(const TGradientView&) const = default;
};
inline constexpr double kMinGradientScale = 0.01, kMaxGradientScale = 100;
bool GradientScaleIsValid(double scale);

// The colour (0..1 each) at position u (0..1) of the gradient itself, linearly interpolated.
std::array<double, 3> GradientColourAt(const TGradient& gradient, double u);

// The gradient seen through `view`, sampled at `levels` evenly spaced colour coordinates (the centres of their
// intervals): entry i is the colour at coordinate (i + 0.5) / levels.
std::vector<std::array<double, 3>> SampleGradient(const TGradient& gradient, const TGradientView& view, int levels);
