#include "explore/explore_family.h"

#include <array>
#include <cstdio>
#include <sstream>

#include "document/first_show.h"
#include "document/presets.h"
#include "document/view_coords.h"

namespace {

constexpr char kMiraName[] = "mira";
constexpr char kIfsName[] = "ifs";
constexpr char kLatoocarfianName[] = "latoocarfian";
constexpr char kCifName[] = "cif";
constexpr char kAnyName[] = "any";

// The spread of the random coefficients, (Random - 0.5) * randomizer, by group. Latoocarfian's sines take 2 pi
// times their coefficients: beyond about 0.6 they fold so fast that the set is noise. The others draw from -1..1
// as a new window does.
double RandomizerOf(TFamilyGroup group) { return group == TFamilyGroup::Latoocarfian ? 1.2 : 2.0; }

std::string TwoDigits(int n) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", n);
  return text;
}

int Pick(TEngineRandom& random, int count) {
  const int k = static_cast<int>(random.Next() * count);
  return k < count ? k : count - 1;
}

// Turns the group and preset into switches; Any and preset 0 draw from the stream.
void SetFamily(TExploreFamily family, TFractalParams& v, TEngineRandom& random) {
  if (family.group == TFamilyGroup::Any) {
    constexpr TFamilyGroup kGroups[] = {TFamilyGroup::Mira, TFamilyGroup::Ifs, TFamilyGroup::Latoocarfian,
                                        TFamilyGroup::Cif};
    family = {kGroups[Pick(random, 4)], 0};
  }
  switch (family.group) {
    case TFamilyGroup::Mira:
      MiraVariant(v, family.preset > 0 ? family.preset : 1 + Pick(random, kExploreMiraPresets)) = true;
      break;
    case TFamilyGroup::Ifs:
      IfsVariant(v, family.preset > 0 ? family.preset : 1 + Pick(random, kExploreIfsPresets)) = true;
      break;
    case TFamilyGroup::Latoocarfian: v.latoocarfian01 = true; break;
    case TFamilyGroup::Cif:
      v.ifs0101 = true;
      (Pick(random, 2) == 0 ? v.cif01 : v.cif02) = true;
      break;
    case TFamilyGroup::Any: break;
  }
  v.randomizer = RandomizerOf(family.group);
  DeriveFamilySwitches(v);
}

using TVariationSwitch = bool TFractalParams::*;
using TChoiceSwitch = bool TVariationChoice::*;
struct TVariationName {
  const char* name;
  TVariationSwitch record;
  TChoiceSwitch choice;
};
constexpr std::array<TVariationName, 8> kVariationNames = {{
    {"none", &TFractalParams::none, &TVariationChoice::none},
    {"linear", &TFractalParams::linear, &TVariationChoice::linear},
    {"sinusoidal", &TFractalParams::sinusoidal, &TVariationChoice::sinusoidal},
    {"spherical", &TFractalParams::spherical, &TVariationChoice::spherical},
    {"swirl", &TFractalParams::swirl, &TVariationChoice::swirl},
    {"horseshoe", &TFractalParams::horseshoe, &TVariationChoice::horseshoe},
    {"polar", &TFractalParams::polar, &TVariationChoice::polar},
    {"bent", &TFractalParams::bent, &TVariationChoice::bent},
}};

}  // namespace

std::optional<TExploreFamily> ParseExploreFamily(const std::string& name) {
  if (name == kMiraName) return TExploreFamily{TFamilyGroup::Mira, 0};
  if (name == kIfsName) return TExploreFamily{TFamilyGroup::Ifs, 0};
  if (name == kLatoocarfianName) return TExploreFamily{TFamilyGroup::Latoocarfian, 0};
  if (name == kCifName) return TExploreFamily{TFamilyGroup::Cif, 0};
  if (name == kAnyName) return TExploreFamily{TFamilyGroup::Any, 0};
  for (int k = 1; k <= kExploreMiraPresets; ++k)
    if (name == kMiraName + TwoDigits(k)) return TExploreFamily{TFamilyGroup::Mira, k};
  for (int k = 1; k <= kExploreIfsPresets; ++k)
    if (name == kIfsName + TwoDigits(k)) return TExploreFamily{TFamilyGroup::Ifs, k};
  return std::nullopt;
}

std::string ExploreFamilyName(const TExploreFamily& family) {
  switch (family.group) {
    case TFamilyGroup::Mira: return kMiraName + (family.preset > 0 ? TwoDigits(family.preset) : "");
    case TFamilyGroup::Ifs: return kIfsName + (family.preset > 0 ? TwoDigits(family.preset) : "");
    case TFamilyGroup::Latoocarfian: return kLatoocarfianName;
    case TFamilyGroup::Cif: return kCifName;
    case TFamilyGroup::Any: break;
  }
  return kAnyName;
}

std::string ExploreFamilyNames() { return "mira, mira01..mira09, ifs, ifs01..ifs08, latoocarfian, cif, any"; }

std::string FamilyCaption(const TFractalParams& v) {
  std::string caption;
  const auto add = [&](const std::string& part) { caption += (caption.empty() ? "" : " + ") + part; };
  if (v.latoocarfian01) add("Latoocarfian 01");
  if (v.latoocarfian02) add("Latoocarfian 02");
  for (int k = 1; k <= kMiraVariantCount; ++k)
    if (MiraVariant(v, k)) add("G-Mira / Martin " + TwoDigits(k));
  for (int k = 1; k <= kIfsVariantCount; ++k)
    if (IfsVariant(v, k)) add("IFS01" + TwoDigits(k));
  if (v.ifs02) add("IFS-02");
  if (v.cif01) add("CIF 01");
  if (v.cif02) add("CIF 02");
  return caption;
}

bool IsMapSystem(const TFractalParams& v) {
  return !v.latoocarfian01 && !v.latoocarfian02 && !v.mira01 && (v.ifs01 || v.cif01 || v.cif02 || v.ifs02);
}

std::optional<TVariationChoice> ParseVariations(const std::string& list) {
  TVariationChoice choice;
  choice.none = false;
  std::istringstream in(list);
  std::string name;
  bool any = false;
  while (std::getline(in, name, ',')) {
    bool known = false;
    for (const TVariationName& entry : kVariationNames) {
      if (name == entry.name) {
        choice.*entry.choice = true;
        known = true;
      }
    }
    if (!known) return std::nullopt;
    any = true;
  }
  if (!any) return std::nullopt;
  return choice;
}

void ApplyVariations(const TVariationChoice& choice, TFractalParams& v) {
  for (const TVariationName& entry : kVariationNames) v.*entry.record = choice.*entry.choice;
  v.probability = choice.probability;
}

TEngineRandom CandidateStream(std::uint64_t searchSeed, std::uint64_t index) {
  TEngineRandom base;
  base.Seed(searchSeed);
  return base.Derived(index);
}

namespace {

std::uint64_t DrawSeed(TEngineRandom& random) {
  // 53 random bits: a seed that prints and parses as an ordinary number.
  return static_cast<std::uint64_t>(random.Next() * 0x1.0p53);
}

}  // namespace

TCandidateSeed MakeCandidate(const TExploreFamily& family, const TVariationChoice& variations, int width, int height,
                             std::uint64_t searchSeed, std::uint64_t index) {
  TEngineRandom random = CandidateStream(searchSeed, index);
  TCandidateSeed candidate;
  TFractalParams& v = candidate.params;
  SetUpFirstShow(v, width, height);
  ClearVariantSwitches(v);
  v.randomize = false;
  SetFamily(family, v, random);
  ApplyVariations(variations, v);
  v.maps = 2;
  for (int k = 1; k <= kCoefficientCount; ++k) {
    v.af[k] = (random.Next() - 0.5) * v.randomizer;
    v.af2[k] = (random.Next() - 0.5) * v.randomizer;
  }
  // Latoocarfian's map reads a1..a4 at the step's map offset: one map in every group, or the random choice of maps
  // would mix two unrelated maps into noise.
  if (v.latoocarfian01) {
    for (int k = 1; k <= 4; ++k) v.af[19 + k] = v.af[39 + k] = v.af[k];
  }
  // Colours: one factor near full, the others anywhere from dim to full, so that hues differ from set to set.
  double* factors[3] = {&v.red, &v.green, &v.blue};
  const int lead = Pick(random, 3);
  for (int c = 0; c < 3; ++c) *factors[c] = c == lead ? 0.9 + 0.1 * random.Next() : 0.3 + 0.7 * random.Next();
  // Log density keeps the brightness of a set whatever its size and steps: the thumbnail and a poster of the same
  // file look alike.
  v.logDensity = true;
  v.intensity = 30;
  candidate.renderSeed = DrawSeed(random);
  ResetCoordinates(v);
  return candidate;
}

TCandidateSeed MutateCandidate(const TFractalParams& base, double distance, std::uint64_t searchSeed,
                               std::uint64_t index) {
  TEngineRandom random = CandidateStream(searchSeed, index);
  TCandidateSeed candidate;
  TFractalParams& v = candidate.params;
  v = base;
  v.image = nullptr;
  v.redList = v.greenList = v.blueList = nullptr;
  v.leadList = nullptr;
  v.randomize = false;
  v.abort = false;
  const auto move = [&](double a) {
    const double u = 2 * random.Next() - 1, w = 2 * random.Next() - 1;
    return a * (1 + distance * u) + distance * 0.1 * w;
  };
  for (int k = 1; k <= kCoefficientCount; ++k) {
    v.af[k] = move(v.af[k]);
    v.af2[k] = move(v.af2[k]);
  }
  candidate.renderSeed = DrawSeed(random);
  return candidate;
}
