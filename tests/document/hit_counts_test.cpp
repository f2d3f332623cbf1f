// A render saved as a hit-count document and continued gives exactly the render that never stopped; a document
// puts back the parameter set, size, counts and picture, and one that does not read changes nothing.
#include "document/hit_counts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "engine/formula.h"
#include "engine/tone.h"

namespace {

struct TRendered {
  std::vector<std::uint8_t> pixels;
  THitList red, green, blue;
  TLeadList lead;
  TColourCells colour;
  std::int64_t restarts = 0;
};

TRendered Snapshot(const TFractalDocument& doc) {
  const TFractalParams& v = doc.Record();
  const TPixelGraphic& p = *doc.Picture();
  TRendered r;
  r.pixels.assign(p.Bits(), p.Bits() + p.ImageSize());
  r.red = *v.redList;
  r.green = *v.greenList;
  r.blue = *v.blueList;
  r.lead = *v.leadList;
  if (v.colourCells != nullptr) r.colour = *v.colourCells;
  r.restarts = GetEngineCounters().restarts;
  return r;
}

void ExpectSame(const TRendered& a, const TRendered& b) {
  EXPECT_EQ(a.pixels, b.pixels);
  EXPECT_EQ(a.red, b.red);
  EXPECT_EQ(a.green, b.green);
  EXPECT_EQ(a.blue, b.blue);
  EXPECT_EQ(a.lead, b.lead);
  EXPECT_EQ(a.colour.sums, b.colour.sums);
  EXPECT_EQ(a.colour.hits, b.colour.hits);
}

// A gallery parameter set; with `randomize` its family draws random coefficients from the seed instead, spread by
// `randomizer`, so that escapes and the restarts they cause happen along the way.
struct TCase {
  const char* file;
  bool randomize;
  double randomizer;
};

enum class TTone { Defined, LogDensity, Gradient };

void StartRender(TFractalDocument& doc, const TCase& c, std::uint64_t seed, TTone tone) {
  ResetEngineState();
  SeedEngineRandom(seed);
  doc.Resize(doc.Record().imageWidth, doc.Record().imageHeight);
  const TParamReadResult read =
      doc.Load(std::string(OVEL_SOURCE_DIR) + "/docs/gallery/" + c.file + ".ifs", '.', nullptr);
  ASSERT_FALSE(read.readError);
  doc.SetMaps(2);
  doc.Params().randomize = c.randomize;
  if (c.randomize) doc.Params().randomizer = c.randomizer;
  doc.Params().logDensity = tone == TTone::LogDensity;
  if (tone == TTone::Gradient) doc.Params().colouring = TColouring::Gradient;
  ASSERT_TRUE(doc.PrepareRun());
}

void RunFor(TFractalParams& v, std::int64_t steps, bool resume) {
  SetEngineStepBudget(steps);
  v.abort = false;
  if (resume)
    ContinueFractal(&v);
  else
    RunFractal(&v);
  SetEngineStepBudget(kNoStepBudget);
}

}  // namespace

TEST(HitCountDocument, AResumedRenderIsByteForByteTheRenderThatNeverStopped) {
  std::int64_t restarts = 0;
  const TCase cases[] = {{"martin-loops", false, 0}, {"gumowski-mira", false, 0}, {"ifs-crystal", false, 0},
                         {"ifs-crystal", true, 2.6}};
  for (const TTone tone : {TTone::Defined, TTone::LogDensity, TTone::Gradient}) {
    for (const TCase& c : cases) {
      const std::uint64_t seed = 17;
      TFractalDocument whole(150, 110);
      StartRender(whole, c, seed, tone);
      RunFor(whole.Params(), 150000, false);
      const TRendered once = Snapshot(whole);

      TFractalDocument first(150, 110);
      StartRender(first, c, seed, tone);
      RunFor(first.Params(), 60000, false);
      std::ostringstream bytes;
      WriteHitCountDocument(bytes, CaptureHitCounts(first, 60000, seed, {EngineOrbit(first.Record())}));

      // Another document, after the engine has been used for something else.
      ResetEngineState();
      std::istringstream in(bytes.str());
      const THitCountDocument saved = ReadHitCountDocument(in);
      TFractalDocument resumed(400, 300);
      RestoreHitCounts(resumed, saved);
      RestoreEngineOrbit(saved.orbits.at(0), resumed.Params());
      RunFor(resumed.Params(), 90000, true);
      SCOPED_TRACE(std::string(c.file) + (c.randomize ? " randomized" : "") +
                   (tone == TTone::LogDensity ? ", log density" : tone == TTone::Gradient ? ", gradient" : ""));
      EXPECT_EQ(saved.HasColour(), tone == TTone::Gradient);
      ExpectSame(Snapshot(resumed), once);
      EXPECT_EQ(GetEngineCounters().restarts, once.restarts);
      EXPECT_GT(std::count_if(once.lead.begin(), once.lead.end(), [](std::uint8_t l) { return l != 0; }), 1000);
      restarts += once.restarts;
    }
  }
  EXPECT_GT(restarts, 0);  // the randomized case restarts along the way
}

TEST(HitCountDocument, RestoringPutsBackSizeParametersAndThePictureAndAFaultyOneChangesNothing) {
  TFractalDocument source(90, 60);
  StartRender(source, {"ifs-crystal", true, 1}, 4, TTone::Defined);
  source.Params().red = 0.25;
  RunFor(source.Params(), 20000, false);
  THitCountDocument counts = CaptureHitCounts(source, 20000, 4, {});

  TFractalDocument target(400, 300);
  RestoreHitCounts(target, counts);
  EXPECT_EQ(target.Record().imageWidth, 90);
  EXPECT_EQ(target.Record().imageHeight, 60);
  EXPECT_EQ(target.Record().red, 0.25);
  EXPECT_EQ(target.Record().af, source.Record().af);
  EXPECT_EQ(target.Record().plotXMax, source.Record().plotXMax);
  ExpectSame(Snapshot(target), Snapshot(source));

  counts.parameters = "Ovel-IFS v0.005\r\nnot a number\r\n";
  counts.width = 30;
  counts.height = 20;
  for (auto& c : counts.counts) c.assign(600, 0);
  counts.lead.assign(600, 0);
  TFractalDocument untouched(70, 50);
  untouched.Params().red = 0.75;
  EXPECT_THROW(RestoreHitCounts(untouched, counts), EHitCountFile);
  EXPECT_EQ(untouched.Record().imageWidth, 70);
  EXPECT_EQ(untouched.Record().red, 0.75);
}
