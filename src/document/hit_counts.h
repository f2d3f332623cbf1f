// A fractal document's render as a hit-count document and back: the parameter set, the size, the counts and lead
// channels, and the engine's orbit, so that a render can be saved, continued, merged and painted again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "document/fractal_document.h"
#include "document/supersampled.h"
#include "engine/orbits.h"
#include "engine/render_context.h"
#include "files/hit_count_file.h"

// A context's orbit 0 as it stands, with the record's iterations and Lyapunov estimate.
THitCountOrbit ContextOrbit(const TRenderContext& context, const TFractalParams& v);
// Puts an orbit back into a context and the record, so that a continued run goes on exactly from it. The random
// stream counts as seeded (a restart must not reseed it from the clock).
void RestoreContextOrbit(TRenderContext& context, const THitCountOrbit& orbit, TFractalParams& v);
// The same on the default render context, which the windows share.
THitCountOrbit EngineOrbit(const TFractalParams& v);
void RestoreEngineOrbit(const THitCountOrbit& orbit, TFractalParams& v);

// Orbits 1 to K - 1 of a parallel render, for the document (after orbit 0) and back. Their random streams count as
// seeded.
THitCountOrbit OtherOrbitToFile(const TOtherOrbit& orbit);
TOtherOrbit OtherOrbitFromFile(const THitCountOrbit& orbit);

// A render's orbits into its document: orbit 0 as given (the engine's, see EngineOrbit), the other orbits of a
// parallel render and where they stand in their round from `left`.
void PutOrbits(THitCountDocument& doc, const THitCountOrbit& first, const TOrbitsLeft& left);
// What ContinueFractalOrbits needs of a document besides orbit 0. Raises EHitCountFile when the document has no
// orbits (it was merged), more than kMaxOrbits, or orbits whose steps in their round do not fit together.
TOrbitsLeft OrbitsLeftOf(const THitCountDocument& doc);

// The document's render: its parameter set (with a decimal point and exact digits), size, maps, White, and the counts and lead
// channels of the cells its picture covers.
THitCountDocument CaptureHitCounts(const TFractalDocument& doc, std::uint64_t mainSteps, std::uint64_t seed,
                                   std::vector<THitCountOrbit> orbits);

// Makes the document hold what counts holds: the parameter set read from its text, its size, maps and White,
// the counts and lead channels (a supersampled document's grid filtered at `filterRadius`), and the picture painted
// from them with the parameter set's colours and tone. The orbits are the caller's. Raises EHitCountFile (the
// document as it was) when the parameter text does not read, and what Resize raises when the picture cannot be
// made. Returns the picture it replaces, as Resize does.
std::unique_ptr<TPixelGraphic> RestoreHitCounts(TFractalDocument& doc, const THitCountDocument& counts,
                                                double filterRadius = 0);

// A supersampled render's document: the parameter set of the document, the picture's size, and the grid's counts.
THitCountDocument CaptureGridCounts(const TFractalDocument& doc, const TSupersampledGrid& grid, std::uint64_t mainSteps,
                                    std::uint64_t seed);

// What decides where a render's hits land and what they count, as opposed to how the counts are coloured: the view,
// size, families, variations, coefficients, maps and probabilities. A stopped render can be continued while these
// stay as they were; colours, intensity, the filters and the tone may change in between.
struct TRenderFingerprint {
  std::string text;
  bool operator==(const TRenderFingerprint& other) const { return text == other.text; }
  bool operator!=(const TRenderFingerprint& other) const { return text != other.text; }
};
TRenderFingerprint RenderFingerprintOf(const TFractalParams& v);
