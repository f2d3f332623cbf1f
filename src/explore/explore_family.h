// What a search draws its candidates from: a formula family (one preset, or any preset of a group), the
// variations, and the random coefficients, colours and seed of candidate i. Candidate i is fixed by the search's
// seed and i alone.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/engine_random.h"
#include "engine/fractal_params.h"

enum class TFamilyGroup {
  Mira,          // a G-Mira / Martin preset, 01..09
  Ifs,           // an IFS-01 preset, IFS0101..IFS0108
  Latoocarfian,  // Latoocarfian 01
  Cif,           // IFS0101 with CIF 01 or CIF 02
  Any,           // one of the above, drawn per candidate
};

inline constexpr int kExploreMiraPresets = 9;  // the menu's "01.)" .. "09.)"
inline constexpr int kExploreIfsPresets = 8;

struct TExploreFamily {
  TFamilyGroup group = TFamilyGroup::Mira;
  int preset = 0;  // 0: any preset of the group, drawn per candidate; else the preset's number
};

// "mira", "mira01".."mira09", "ifs", "ifs01".."ifs08", "latoocarfian", "cif", "any"; nothing for anything else.
std::optional<TExploreFamily> ParseExploreFamily(const std::string& name);
std::string ExploreFamilyName(const TExploreFamily& family);
// The names ParseExploreFamily takes, for messages and help.
std::string ExploreFamilyNames();

// What a record draws, for captions: "G-Mira / Martin 04", "IFS0103", "Latoocarfian 01", "IFS0101 + CIF 02".
std::string FamilyCaption(const TFractalParams& v);
// True for the families whose picture comes of the random choice of maps (IFS-01, CIF), false for the attractors,
// whose picture is one chaotic orbit.
bool IsMapSystem(const TFractalParams& v);

// The variations a candidate gets (the record's switches none..bent) and their weight.
struct TVariationChoice {
  bool none = true, linear = false, sinusoidal = false, spherical = false, swirl = false, horseshoe = false,
       polar = false, bent = false;
  double probability = 0.1;
};
// A comma-separated list of "none", "linear", "sinusoidal", "spherical", "swirl", "horseshoe", "polar", "bent";
// nothing for an unknown name or an empty list.
std::optional<TVariationChoice> ParseVariations(const std::string& list);
void ApplyVariations(const TVariationChoice& choice, TFractalParams& v);

// A new record for candidate `index` of a search: a first-show record of width x height with the family's
// switches, the variations, two maps, log-density tone, coefficients (Random - 0.5) * randomizer as the engine
// draws them, colours of its own, and the seed its picture is drawn with. The view is the default one until
// the candidate is framed. No picture or lists.
struct TCandidateSeed {
  TFractalParams params{};
  std::uint64_t renderSeed = 0;
};
TCandidateSeed MakeCandidate(const TExploreFamily& family, const TVariationChoice& variations, int width, int height,
                             std::uint64_t searchSeed, std::uint64_t index);

// Variant `index` of `base` at relative distance `distance`: each coefficient a of af and af2 becomes
// a * (1 + distance * u) + distance * 0.1 * u' (u, u' uniform in -1..1), so that zero coefficients move too.
// Colours, variations, switches and tone stay; the view stays too (the caller frames it again or not).
TCandidateSeed MutateCandidate(const TFractalParams& base, double distance, std::uint64_t searchSeed,
                               std::uint64_t index);

// The stream of candidate `index`: the search seed's stream, derived by the index.
TEngineRandom CandidateStream(std::uint64_t searchSeed, std::uint64_t index);
