#include "engine/gradient.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace {

struct TBuiltIn {
  const char* name;
  std::vector<std::uint32_t> colours;  // 0xRRGGBB, evenly spaced
};

// Our own gradients, besides four perceptually uniform ones: viridis, magma, inferno and plasma are matplotlib's
// colormaps by Nathaniel Smith and Stefan van der Walt, released into the public domain under CC0; they are
// sampled here at nine evenly spaced points (interpolated linearly in sRGB between them, so uniform only to the
// eye, not to the last digit).
const std::vector<TBuiltIn>& BuiltInTable() {
  static const std::vector<TBuiltIn> table = {
      {"plasma", {0x0d0887, 0x4c02a1, 0x7e03a8, 0xa82296, 0xcb4679, 0xe56b5d, 0xf89441, 0xfdc328, 0xf0f921}},
      {"viridis", {0x440154, 0x472c7a, 0x3b518b, 0x2c718e, 0x21908d, 0x27ad81, 0x5cc863, 0xaadc32, 0xfde725}},
      {"magma", {0x000004, 0x1c1044, 0x4f127b, 0x812581, 0xb5367a, 0xe55064, 0xfb8761, 0xfec287, 0xfcfdbf}},
      {"inferno", {0x000004, 0x1f0c48, 0x550f6d, 0x88226a, 0xba3655, 0xe35933, 0xf98e09, 0xf9cb35, 0xfcffa4}},
      {"fire", {0x3a0000, 0x8b0a00, 0xd43d00, 0xff8a00, 0xffd23f, 0xfff6c8}},
      {"ember", {0x2b0a0a, 0x7a1f0f, 0xc8451a, 0xf28c28, 0xffc94d}},
      {"lava", {0x4d0000, 0xa30000, 0xe63900, 0xff8c00, 0xffd000, 0xff4000}},
      {"sunset", {0x2b0f54, 0x6b1d7a, 0xab2f6f, 0xe35a4f, 0xf7a33b, 0xfde38a}},
      {"ice", {0x0b1d51, 0x1f4e9c, 0x3f8fd2, 0x8fd3f4, 0xe6f7ff}},
      {"glacier", {0xf0fbff, 0xbfe6f5, 0x7ab8d9, 0x3f7fb3, 0x1c3f73}},
      {"ocean", {0x02152e, 0x05386b, 0x0a6e8a, 0x14a3a0, 0x7de2d1}},
      {"emerald", {0x002b1f, 0x006b4a, 0x00a86b, 0x5fe0a8, 0xd0ffe8}},
      {"forest", {0x0f2e1a, 0x1f5c2e, 0x3f8f3a, 0x8cbf4a, 0xe0e87a}},
      {"aurora", {0x0a2a43, 0x1b7f79, 0x3ed598, 0xb7f36b, 0xd66bff}},
      {"tropic", {0x00429d, 0x00a0b0, 0x8fd14f, 0xffd300, 0xff5e3a}},
      {"citrus", {0xff7b00, 0xffb000, 0xffe600, 0xb6e300, 0x4fc400}},
      {"desert", {0x5c3a1e, 0xa0672f, 0xd9a45b, 0xf2d59a, 0x8fb8c9}},
      {"copper", {0x2a1408, 0x6e3519, 0xb8662f, 0xe89b5c, 0xffd1a3}},
      {"plum", {0x2d0a2d, 0x5c1a5c, 0x8f3a8f, 0xc46fb8, 0xf0b3e0}},
      {"ultraviolet", {0x12002b, 0x3d00a3, 0x8a2be2, 0xd65cff, 0xffb3ff}},
      {"candy", {0xff4f9a, 0xffa3d1, 0x9b7bff, 0x52d1ff, 0x7dffb2}},
      {"neon", {0xff00d4, 0x7a00ff, 0x00b3ff, 0x00ffa2, 0xfff200}},
      {"pastel", {0xffb3ba, 0xffdfba, 0xffffba, 0xbaffc9, 0xbae1ff}},
      {"contrast", {0x1f4fff, 0x6fa8ff, 0xc7d9ff, 0xffc38a, 0xff5a1f}},
      {"steel", {0x1c232b, 0x3b4a5a, 0x66788c, 0x9aaabb, 0xd4dde6}},
      {"grey", {0x202020, 0xffffff}},
      // Cyclic: the ends meet, so an offset rotates them without a seam.
      {"rainbow", {0xff0000, 0xffff00, 0x00ff00, 0x00ffff, 0x0000ff, 0xff00ff, 0xff0000}},
      {"twilight", {0xe2d9e2, 0x9e93c4, 0x5d4a9e, 0x3b1f4f, 0x8a3a5f, 0xc98f7f, 0xe2d9e2}},
  };
  return table;
}

std::vector<TGradient> MakeBuiltIns() {
  std::vector<TGradient> gradients;
  for (const TBuiltIn& b : BuiltInTable()) {
    TGradient g;
    g.name = b.name;
    for (const std::uint32_t c : b.colours)
      g.colours.push_back({static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
                           static_cast<std::uint8_t>(c)});
    gradients.push_back(std::move(g));
  }
  return gradients;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

}  // namespace

const std::vector<TGradient>& BuiltInGradients() {
  static const std::vector<TGradient> gradients = MakeBuiltIns();
  return gradients;
}

const TGradient* FindBuiltInGradient(const std::string& name) {
  const std::string wanted = Lower(name);
  for (const TGradient& g : BuiltInGradients())
    if (g.name == wanted) return &g;
  return nullptr;
}

TGradientRef BuiltInGradientRef(const std::string& name) {
  const TGradient* g = FindBuiltInGradient(name);
  if (g == nullptr) return {};
  // The built-ins live as long as the program: a pointer that owns nothing.
  return {std::shared_ptr<const TGradient>(std::shared_ptr<const TGradient>{}, g)};
}

const TGradient& TGradientRef::Get() const {
  return gradient != nullptr ? *gradient : *FindBuiltInGradient(kDefaultGradientName);
}

bool GradientScaleIsValid(double scale) { return scale >= kMinGradientScale && scale <= kMaxGradientScale; }

std::array<double, 3> GradientColourAt(const TGradient& gradient, double u) {
  const std::size_t n = gradient.colours.size();
  if (n == 0) return {0, 0, 0};
  if (n == 1 || !(u > 0)) {
    const TGradientColour& c = gradient.colours.front();
    return {c.r / 255.0, c.g / 255.0, c.b / 255.0};
  }
  const double at = std::min(u, 1.0) * static_cast<double>(n - 1);
  const std::size_t k = std::min(static_cast<std::size_t>(at), n - 2);
  const double f = at - static_cast<double>(k);
  const TGradientColour& a = gradient.colours[k];
  const TGradientColour& b = gradient.colours[k + 1];
  return {(a.r + (b.r - a.r) * f) / 255.0, (a.g + (b.g - a.g) * f) / 255.0, (a.b + (b.b - a.b) * f) / 255.0};
}

std::vector<std::array<double, 3>> SampleGradient(const TGradient& gradient, const TGradientView& view, int levels) {
  std::vector<std::array<double, 3>> table(static_cast<std::size_t>(std::max(levels, 0)));
  const double scale = GradientScaleIsValid(view.scale) ? view.scale : 1;
  const double offset = std::isfinite(view.offset) ? view.offset : 0;
  for (int i = 0; i < levels; ++i) {
    const double u = (i + 0.5) / levels * scale + offset;
    double at = u - std::floor(u);
    if (view.reversed) at = 1 - at;
    table[static_cast<std::size_t>(i)] = GradientColourAt(gradient, at);
  }
  return table;
}
