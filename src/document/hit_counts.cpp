#include "document/hit_counts.h"

#include <sstream>
#include <utility>

#include "engine/render_context.h"
#include "engine/supersample.h"
#include "engine/tone.h"
#include "files/param_file.h"

namespace {

// Only 0, 19 and 39 are map offsets; anything else from a file would index past the coefficients. The stream counts
// as seeded: a restart must not reseed it from the clock.
TOrbitState Checked(TOrbitState s) {
  if (s.j != 19 && s.j != 39) s.j = 0;
  s.random.seeded = true;
  return s;
}

}  // namespace

THitCountOrbit ContextOrbit(const TRenderContext& context, const TFractalParams& v) {
  return {context.State(), v.lyapunov, v.iterations, 0};
}

void RestoreContextOrbit(TRenderContext& context, const THitCountOrbit& o, TFractalParams& v) {
  static_cast<TOrbitState&>(context.State()) = Checked(o.state);
  v.iterations = o.iterations < 0 ? 0 : o.iterations;
  v.lyapunov = o.lyapunov;
}

THitCountOrbit EngineOrbit(const TFractalParams& v) { return ContextOrbit(DefaultRenderContext(), v); }

void RestoreEngineOrbit(const THitCountOrbit& o, TFractalParams& v) { RestoreContextOrbit(DefaultRenderContext(), o, v); }

THitCountOrbit OtherOrbitToFile(const TOtherOrbit& orbit) { return {orbit.state, 0, orbit.iterations, 0}; }

TOtherOrbit OtherOrbitFromFile(const THitCountOrbit& o) { return {Checked(o.state), o.iterations < 0 ? 0 : o.iterations}; }

namespace {

// What every document holds besides its counts.
THitCountDocument DocumentOf(const TFractalParams& v, std::uint64_t mainSteps, std::uint64_t seed) {
  THitCountDocument d;
  std::ostringstream text;
  // Exact digits: a continued render must go on with the very coefficients it was drawn with.
  WriteParameterFile(text, v, '.', TNumberDigits::Exact);
  d.parameters = text.str();
  d.width = static_cast<std::uint32_t>(v.imageWidth);
  d.height = static_cast<std::uint32_t>(v.imageHeight);
  d.maps = static_cast<std::uint32_t>(v.maps < 0 ? 0 : v.maps);
  d.white = v.invert;
  d.mainSteps = mainSteps;
  d.seed = seed;
  return d;
}

}  // namespace

THitCountDocument CaptureHitCounts(const TFractalDocument& doc, std::uint64_t mainSteps, std::uint64_t seed,
                                   std::vector<THitCountOrbit> orbits) {
  const TFractalParams& v = doc.Record();
  THitCountDocument d = DocumentOf(v, mainSteps, seed);
  d.orbits = std::move(orbits);
  const std::size_t n = static_cast<std::size_t>(std::max(v.imageWidth, v.imageHeight));
  const THitList* lists[3] = {v.redList, v.greenList, v.blueList};
  for (int c = 0; c < 3; ++c) d.counts[c].reserve(d.CellCount());
  d.lead.reserve(d.CellCount());
  for (std::size_t ix = 0; ix < d.width; ++ix)
    for (std::size_t iy = 0; iy < d.height; ++iy) {
      const std::size_t cell = ix * n + iy;
      for (int c = 0; c < 3; ++c) d.counts[c].push_back((*lists[c])[cell]);
      d.lead.push_back(v.leadList != nullptr ? (*v.leadList)[cell] : kNoLead);
    }
  if (PaintsByGradient(v)) {
    d.colourSums.reserve(d.CellCount());
    d.colourHits.reserve(d.CellCount());
    for (std::size_t ix = 0; ix < d.width; ++ix)
      for (std::size_t iy = 0; iy < d.height; ++iy) {
        d.colourSums.push_back(v.colourCells->sums[ix * n + iy]);
        d.colourHits.push_back(v.colourCells->hits[ix * n + iy]);
      }
  }
  return d;
}

THitCountDocument CaptureGridCounts(const TFractalDocument& doc, const TSupersampledGrid& grid, std::uint64_t mainSteps,
                                    std::uint64_t seed) {
  THitCountDocument d = DocumentOf(doc.Record(), mainSteps, seed);
  d.supersample = static_cast<std::uint32_t>(grid.Supersample());
  // The grid's lists are the document's layout already.
  const TFractalParams& g = grid.Record();
  d.counts = {*g.redList, *g.greenList, *g.blueList};
  d.lead = *g.leadList;
  return d;
}

std::unique_ptr<TPixelGraphic> RestoreHitCounts(TFractalDocument& doc, const THitCountDocument& counts,
                                                double filterRadius) {
  counts.CheckShape();
  // Read into a copy first: a parameter set that does not read leaves the document as it was.
  TFractalParams read = doc.Record();
  std::istringstream text(counts.parameters);
  const TParamReadResult result = ReadParameterFile(text, read, '.', "hit-count document", nullptr);
  if (result.readError || result.missingCount != 0)
    throw EHitCountFile("The parameter set in the document does not read (line " +
                        std::to_string(result.readError ? result.errorLine : 0) + ")");

  std::unique_ptr<TPixelGraphic> replaced = doc.Resize(static_cast<int>(counts.width), static_cast<int>(counts.height));
  // Everything a parameter file holds comes from the document; the picture, its size and the run state stay.
  doc.RestoreSettings(read);
  TDocumentRecord& v = doc.Params();
  v.maps = static_cast<std::int32_t>(std::min<std::uint32_t>(counts.maps, 3));
  v.invert = counts.white;
  v.randomize = false;
  doc.PrepareRun();

  const TFractalParams& r = doc.Record();
  if (counts.supersample > 1) {
    TSupersampledGridCells grid;
    for (int c = 0; c < 3; ++c) grid.counts[c] = counts.counts[c].data();
    grid.lead = counts.lead.data();
    grid.columns = std::int64_t{counts.width} * counts.supersample;
    grid.rows = std::int64_t{counts.height} * counts.supersample;
    std::int32_t* const lists[3] = {r.redList->data(), r.greenList->data(), r.blueList->data()};
    FilterSupersampled(grid, static_cast<int>(counts.supersample), filterRadius, r.imageWidth, r.imageHeight,
                       std::max(r.imageWidth, r.imageHeight), lists, r.leadList->data());
    RepaintPicture(v);
    return replaced;
  }
  const std::size_t n = static_cast<std::size_t>(std::max(r.imageWidth, r.imageHeight));
  THitList* lists[3] = {r.redList, r.greenList, r.blueList};
  std::size_t k = 0;
  for (std::size_t ix = 0; ix < counts.width; ++ix)
    for (std::size_t iy = 0; iy < counts.height; ++iy, ++k) {
      const std::size_t cell = ix * n + iy;
      for (int c = 0; c < 3; ++c) (*lists[c])[cell] = counts.counts[c][k];
      (*r.leadList)[cell] = counts.lead[k];
    }
  // PrepareRun made colour cells for a parameter set that colours by gradient.
  if (doc.Record().colourCells != nullptr) {
    TColourCells& cells = *doc.Record().colourCells;
    std::fill(cells.sums.begin(), cells.sums.end(), 0);
    std::fill(cells.hits.begin(), cells.hits.end(), 0);
    if (counts.HasColour()) {
      k = 0;
      for (std::size_t ix = 0; ix < counts.width; ++ix)
        for (std::size_t iy = 0; iy < counts.height; ++iy, ++k) {
          cells.sums[ix * n + iy] = counts.colourSums[k];
          cells.hits[ix * n + iy] = counts.colourHits[k];
        }
    }
  }
  RepaintPicture(v);
  return replaced;
}

TRenderFingerprint RenderFingerprintOf(const TFractalParams& v) {
  // The parameter file's own lines in exact digits, with the colouring put back to one fixed state.
  TFractalParams shape = v;
  shape.red = shape.green = shape.blue = shape.intensity = 0;
  shape.sqrtFilter = shape.invert = shape.logDensity = false;
  shape.toneBrightness = kDefaultToneBrightness;
  shape.toneGamma = kDefaultToneGamma;
  // How the colour coordinate is painted may change too; the colouring and the positions decide what is counted.
  shape.gradient = {};
  shape.gradientView = {};
  shape.vibrancy = kDefaultVibrancy;
  std::ostringstream text;
  WriteParameterFile(text, shape, '.', TNumberDigits::Exact);
  text << "maps " << v.maps << " size " << v.imageWidth << "x" << v.imageHeight;
  return {text.str()};
}

void PutOrbits(THitCountDocument& doc, const THitCountOrbit& first, const TOrbitsLeft& left) {
  doc.orbits.assign(1, first);
  for (const TOtherOrbit& other : left.others) doc.orbits.push_back(OtherOrbitToFile(other));
  const int count = static_cast<int>(doc.orbits.size());
  for (int k = 0; k < count; ++k)
    doc.orbits[static_cast<std::size_t>(k)].roundSteps = OrbitStepsOfRound(left.roundDone, k, count);
  doc.joined = left.joined;
}

TOrbitsLeft OrbitsLeftOf(const THitCountDocument& doc) {
  if (doc.orbits.empty()) throw EHitCountFile("The document was made by merging and holds no orbits to continue");
  if (doc.orbits.size() > static_cast<std::size_t>(kMaxOrbits))
    throw EHitCountFile("The document holds " + std::to_string(doc.orbits.size()) +
                        " orbits; this program continues at most " + std::to_string(kMaxOrbits));
  TOrbitsLeft left;
  for (const THitCountOrbit& orbit : doc.orbits) left.roundDone += orbit.roundSteps;
  const int count = static_cast<int>(doc.orbits.size());
  for (int k = 0; k < count; ++k)
    if (doc.orbits[static_cast<std::size_t>(k)].roundSteps != OrbitStepsOfRound(left.roundDone, k, count))
      throw EHitCountFile("The document holds orbits whose steps in their round do not fit together");
  for (std::size_t k = 1; k < doc.orbits.size(); ++k) left.others.push_back(OtherOrbitFromFile(doc.orbits[k]));
  left.joined = doc.joined;
  return left;
}
