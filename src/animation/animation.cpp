#include "animation/animation.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "document/presets.h"
#include "engine/supersample.h"

namespace {

// Frames and keyframes are matched by time: a frame within this of a keyframe is that keyframe.
constexpr double kTimeTolerance = 1e-9;
constexpr double kMaxFrameRate = 1000;
constexpr int kMaxAnimationOrbits = 256;
constexpr int kMaxAnimationSide = 16384;

struct TSwitchField {
  bool TFractalParams::*field;
  const char* label;
};

// Every switch a parameter set stores, in the order the families and variations are applied. The derived family
// switches (G-Mira / Martin 01, IFS-01) follow from the variants and are not compared on their own.
constexpr std::array<TSwitchField, 37> kSwitches = {{
    {&TFractalParams::latoocarfian01, "the family Latoocarfian 01"},
    {&TFractalParams::latoocarfian02, "the family Latoocarfian 02"},
    {&TFractalParams::ifs02, "the family IFS-02"},
    {&TFractalParams::cif01, "the family CIF-01"},
    {&TFractalParams::cif02, "the family CIF-02"},
    {&TFractalParams::mira0101, "the G-Mira / Martin variant 1"},
    {&TFractalParams::mira0102, "the G-Mira / Martin variant 2"},
    {&TFractalParams::mira0103, "the G-Mira / Martin variant 3"},
    {&TFractalParams::mira0104, "the G-Mira / Martin variant 4"},
    {&TFractalParams::mira0105, "the G-Mira / Martin variant 5"},
    {&TFractalParams::mira0106, "the G-Mira / Martin variant 6"},
    {&TFractalParams::mira0107, "the G-Mira / Martin variant 7"},
    {&TFractalParams::mira0108, "the G-Mira / Martin variant 8"},
    {&TFractalParams::mira0109, "the G-Mira / Martin variant 9"},
    {&TFractalParams::mira0110, "the G-Mira / Martin variant 10"},
    {&TFractalParams::mira0111, "the G-Mira / Martin variant 11"},
    {&TFractalParams::mira0112, "the G-Mira / Martin variant 12"},
    {&TFractalParams::mira0113, "the G-Mira / Martin variant 13"},
    {&TFractalParams::ifs0101, "the IFS-01 variant 1"},
    {&TFractalParams::ifs0102, "the IFS-01 variant 2"},
    {&TFractalParams::ifs0103, "the IFS-01 variant 3"},
    {&TFractalParams::ifs0104, "the IFS-01 variant 4"},
    {&TFractalParams::ifs0105, "the IFS-01 variant 5"},
    {&TFractalParams::ifs0106, "the IFS-01 variant 6"},
    {&TFractalParams::ifs0107, "the IFS-01 variant 7"},
    {&TFractalParams::ifs0108, "the IFS-01 variant 8"},
    {&TFractalParams::none, "the variation None"},
    {&TFractalParams::linear, "the variation Linear"},
    {&TFractalParams::sinusoidal, "the variation Sinusoidal"},
    {&TFractalParams::spherical, "the variation Spherical"},
    {&TFractalParams::swirl, "the variation Swirl"},
    {&TFractalParams::horseshoe, "the variation Horseshoe"},
    {&TFractalParams::polar, "the variation Polar"},
    {&TFractalParams::bent, "the variation Bent"},
    {&TFractalParams::invert, "White"},
    {&TFractalParams::sqrtFilter, "the square-root filter"},
    {&TFractalParams::logDensity, "the log-density tone"},
}};

std::string KeyframeName(const std::vector<TKeyframe>& keyframes, std::size_t k) {
  const std::string number = std::to_string(k + 1);
  return keyframes[k].path.empty() ? number : number + " (\"" + keyframes[k].path + "\")";
}

const char* OnOff(bool on) { return on ? "on" : "off"; }

// The first field in which b differs from a among those that must match, with how each has it.
std::optional<std::string> FirstDifference(const TFractalParams& a, const TFractalParams& b) {
  for (const TSwitchField& s : kSwitches) {
    if (a.*s.field != b.*s.field)
      return std::string(s.label) + " (" + OnOff(a.*s.field) + " and " + OnOff(b.*s.field) + ")";
  }
  if (a.maps != b.maps)
    return "the number of maps (" + std::to_string(a.maps) + " and " + std::to_string(b.maps) + ")";
  if (a.colouring != b.colouring) {
    const auto name = [](TColouring c) { return c == TColouring::Gradient ? "gradient" : "defined"; };
    return std::string("the colouring (") + name(a.colouring) + " and " + name(b.colouring) + ")";
  }
  if (!(a.gradient == b.gradient))
    return "the gradient (\"" + a.gradient.Get().name + "\" and \"" + b.gradient.Get().name + "\")";
  if (a.gradientView.reversed != b.gradientView.reversed)
    return std::string("the gradient's direction (reversed ") + OnOff(a.gradientView.reversed) + " and " +
           OnOff(b.gradientView.reversed) + ")";
  return std::nullopt;
}

// The doubles that move between keyframes besides the coefficients and the view: colours, tone, gradient
// placement, colour positions.
constexpr int kChannelCount = 13;
template <class V>
auto& Channel(V& v, int c) {
  switch (c) {
    case 0: return v.red;
    case 1: return v.green;
    case 2: return v.blue;
    case 3: return v.intensity;
    case 4: return v.probability;
    case 5: return v.randomizer;
    case 6: return v.toneBrightness;
    case 7: return v.toneGamma;
    case 8: return v.vibrancy;
    case 9: return v.gradientView.offset;
    case 10: return v.colourPositions[0];
    case 11: return v.colourPositions[1];
    default: return v.colourPositions[2];
  }
}

// Where a time falls: segment k runs from keyframe k to k + 1, s is the eased position within it (0..1).
struct TSegmentPoint {
  std::size_t k = 0;
  double s = 0;
};

// Slow in and out: the first segment starts at rest and leaves at the speed the next one has (2s^2 - s^3), the
// last mirrors it, and a single segment does both (smoothstep). Interior keyframes keep their times.
double Ease(double s, std::size_t k, std::size_t segments) {
  if (segments == 1) return s * s * (3 - 2 * s);
  if (k == 0) return s * s * (2 - s);
  if (k == segments - 1) {
    const double r = 1 - s;
    return 1 - r * r * (2 - r);
  }
  return s;
}

class TInterpolator {
 public:
  TInterpolator(const TAnimation& animation, TSegmentPoint at) : a_(animation), at_(at) {}

  // The value at the segment's point of the scalar that keyframe j holds as value(j). Smooth: a cubic Hermite
  // curve with Catmull-Rom tangents over the keyframes' (uneven) times, one-sided at the ends. Either way the value
  // stays between the segment's two keyframe values, so nothing overshoots into a range a field does not allow
  // (a negative gamma, a colour position beyond 1), and a value equal at both ends stays exactly that.
  template <class TValue>
  double At(const TValue& value) const {
    const std::size_t k = at_.k;
    const double p0 = value(k), p1 = value(k + 1);
    if (p0 == p1) return p0;
    const double s = at_.s;
    double result = p0 + (p1 - p0) * s;
    if (a_.interpolation == TInterpolation::Smooth) {
      const double h = Time(k + 1) - Time(k);
      const double m0 = Tangent(value, k), m1 = Tangent(value, k + 1);
      const double s2 = s * s, s3 = s2 * s;
      result = (2 * s3 - 3 * s2 + 1) * p0 + (s3 - 2 * s2 + s) * h * m0 + (-2 * s3 + 3 * s2) * p1 +
               (s3 - s2) * h * m1;
    }
    return std::clamp(result, std::min(p0, p1), std::max(p0, p1));
  }

  // For what multiplies (the zoom, the gradient's scale): even steps in the logarithm.
  template <class TValue>
  double LogAt(const TValue& value) const {
    if (value(at_.k) == value(at_.k + 1)) return value(at_.k);
    return std::exp(At([&](std::size_t j) { return std::log(value(j)); }));
  }

 private:
  double Time(std::size_t j) const { return a_.keyframes[j].time; }

  template <class TValue>
  double Tangent(const TValue& value, std::size_t j) const {
    const std::size_t last = a_.keyframes.size() - 1;
    const std::size_t before = j == 0 ? 0 : j - 1, after = j == last ? last : j + 1;
    return (value(after) - value(before)) / (Time(after) - Time(before));
  }

  const TAnimation& a_;
  TSegmentPoint at_;
};

}  // namespace

int TAnimation::FrameCount() const {
  if (keyframes.empty() || !(frameRate > 0)) return 0;
  const double span = (keyframes.back().time - keyframes.front().time) * frameRate;
  if (!(span < kMaxAnimationFrames)) return kMaxAnimationFrames + 1;
  return static_cast<int>(std::floor(span + kTimeTolerance)) + 1;
}

double TAnimation::TimeOfFrame(int frame) const {
  return (keyframes.empty() ? 0.0 : keyframes.front().time) + frame / frameRate;
}

std::int64_t TAnimation::StepsPerFrame() const {
  return steps > 0 ? steps : TBackgroundRenderSpec::StepsForQuality(width, height, quality);
}

void CheckKeyframesMatch(const std::vector<TKeyframe>& keyframes) {
  for (std::size_t k = 1; k < keyframes.size(); ++k) {
    if (const auto difference = FirstDifference(keyframes[k - 1].params, keyframes[k].params)) {
      throw EAnimation("keyframes " + KeyframeName(keyframes, k - 1) + " and " + KeyframeName(keyframes, k) +
                       " differ in " + *difference + ": families and switches must match between keyframes");
    }
  }
}

void CheckAnimation(const TAnimation& a) {
  if (a.keyframes.empty()) throw EAnimation("the animation has no keyframes");
  for (std::size_t k = 0; k < a.keyframes.size(); ++k) {
    const TKeyframe& key = a.keyframes[k];
    if (!std::isfinite(key.time)) throw EAnimation("keyframe " + KeyframeName(a.keyframes, k) + " has no time");
    if (k > 0 && !(key.time > a.keyframes[k - 1].time))
      throw EAnimation("keyframe " + KeyframeName(a.keyframes, k) + " does not come after keyframe " +
                       KeyframeName(a.keyframes, k - 1) + ": times must increase");
    if (!(key.params.zoom > 0) || !std::isfinite(key.params.zoom) || !std::isfinite(key.params.xCenter) ||
        !std::isfinite(key.params.yCenter))
      throw EAnimation("keyframe " + KeyframeName(a.keyframes, k) + " has a view that cannot be drawn");
  }
  if (!(a.frameRate > 0 && a.frameRate <= kMaxFrameRate))
    throw EAnimation("the frame rate must be above 0 and at most " + std::to_string(int(kMaxFrameRate)));
  if (a.width < 1 || a.height < 1 || a.width > kMaxAnimationSide || a.height > kMaxAnimationSide)
    throw EAnimation("the frame size must be 1 to " + std::to_string(kMaxAnimationSide) + " pixels on each side");
  if (const std::string problem = SupersampleProblem(a.supersample, a.filterRadius); !problem.empty())
    throw EAnimation(problem);
  if (a.steps < 0 || (a.steps == 0 && !(a.quality > 0 && std::isfinite(a.quality))))
    throw EAnimation("a frame needs steps: quality or steps above 0");
  if (a.orbits < 1 || a.orbits > kMaxAnimationOrbits)
    throw EAnimation("the orbits must be 1 to " + std::to_string(kMaxAnimationOrbits));
  if (a.FrameCount() > kMaxAnimationFrames)
    throw EAnimation("the animation has more than " + std::to_string(kMaxAnimationFrames) + " frames");
  CheckKeyframesMatch(a.keyframes);
  TFractalParams first = a.keyframes.front().params;
  DeriveFamilySwitches(first);
  if (!SelectsAFamily(first))
    throw EAnimation("the keyframes select nothing to draw: no G-Mira / Martin or IFS-01 variant and not "
                     "Latoocarfian 01");
  const bool supersampled = a.supersample > 1 || a.filterRadius > 0;
  if (supersampled && a.keyframes.front().params.colouring == TColouring::Gradient)
    throw EAnimation("the gradient colouring cannot be drawn supersampled: its colour cells are not filtered into "
                     "the picture (supersample 1, filter-radius 0)");
}

TFractalParams ParamsAtTime(const TAnimation& a, double time) {
  if (a.keyframes.empty()) throw EAnimation("the animation has no keyframes");
  const std::vector<TKeyframe>& keys = a.keyframes;
  const auto clean = [](TFractalParams v) {
    v.image = nullptr;
    v.redList = v.greenList = v.blueList = nullptr;
    v.leadList = nullptr;
    v.colourCells = nullptr;
    return v;
  };
  for (const TKeyframe& key : keys) {
    if (std::abs(time - key.time) <= kTimeTolerance) return clean(key.params);
  }
  if (time <= keys.front().time) return clean(keys.front().params);
  if (time >= keys.back().time) return clean(keys.back().params);

  TSegmentPoint at;
  at.k = static_cast<std::size_t>(
      std::upper_bound(keys.begin(), keys.end(), time, [](double t, const TKeyframe& key) { return t < key.time; }) -
      keys.begin() - 1);
  const double t0 = keys[at.k].time, t1 = keys[at.k + 1].time;
  at.s = std::clamp((time - t0) / (t1 - t0), 0.0, 1.0);
  if (a.ease) at.s = Ease(at.s, at.k, keys.size() - 1);
  const TInterpolator interpolate(a, at);

  // Switches, sizes and whatever does not move come from the segment's first keyframe.
  TFractalParams v = clean(keys[at.k].params);
  for (int c = 0; c < kChannelCount; ++c)
    Channel(v, c) = interpolate.At([&](std::size_t j) { return Channel(keys[j].params, c); });
  for (int i = 1; i <= kCoefficientCount; ++i) {
    v.af[i] = interpolate.At([&](std::size_t j) { return keys[j].params.af[i]; });
    v.af2[i] = interpolate.At([&](std::size_t j) { return keys[j].params.af2[i]; });
  }
  v.gradientView.scale = interpolate.LogAt([&](std::size_t j) { return keys[j].params.gradientView.scale; });

  // The zoom moves at constant speed in its logarithm. The centre follows the width of the view, so that the point
  // the two keyframes' views show at the same place of the picture stays there throughout: zooming into a point
  // keeps it still, instead of the centre gliding at a constant speed that a deep view would see as a rush.
  const double z0 = keys[at.k].params.zoom, z1 = keys[at.k + 1].params.zoom;
  v.zoom = interpolate.LogAt([&](std::size_t j) { return keys[j].params.zoom; });
  if (z0 != z1) {
    const double w = std::clamp((1 / v.zoom - 1 / z0) / (1 / z1 - 1 / z0), 0.0, 1.0);
    const TFractalParams& p0 = keys[at.k].params;
    const TFractalParams& p1 = keys[at.k + 1].params;
    v.xCenter = p0.xCenter + (p1.xCenter - p0.xCenter) * w;
    v.yCenter = p0.yCenter + (p1.yCenter - p0.yCenter) * w;
  } else {
    v.xCenter = interpolate.At([&](std::size_t j) { return keys[j].params.xCenter; });
    v.yCenter = interpolate.At([&](std::size_t j) { return keys[j].params.yCenter; });
  }
  return v;
}

TFractalParams FrameParams(const TAnimation& animation, int frame) {
  return ParamsAtTime(animation, animation.TimeOfFrame(frame));
}
