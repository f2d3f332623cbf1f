// ovel-ifs-render with hit-count documents: a render saved and resumed is the render that never stopped, a document
// painted again with its own settings is the picture the render wrote, documents merge into their sum, and Ctrl+C
// writes what was drawn.
#include "cli/hit_count_commands.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <csignal>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cli/render.h"
#include "cli_test_support.h"

using namespace cli_test;

namespace {

TRenderOptions Render(const std::string& out, std::int64_t steps, std::uint64_t seed = 5) {
  TRenderOptions o;
  o.outputPath = out;
  o.steps = steps;
  o.seed = seed;
  o.width = 160;
  o.height = 120;
  return o;
}

std::string Gallery(const std::string& name) { return std::string(OVEL_SOURCE_DIR) + "/docs/gallery/" + name + ".ifs"; }

THitCountDocument Load(const std::string& path) { return LoadHitCountDocument(path); }

std::string Failure(const std::function<void()>& run) {
  try {
    run();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "(done)";
}

}  // namespace

TEST(HitCountCommands, ARenderResumedIsByteForByteOneLongRenderPictureAndDocument) {
  TempFolder folder;
  for (const char* params : {"martin-loops", "ifs-crystal", "gumowski-mira"}) {
    for (const int supersample : {1, 3})
    for (const int tone : {0, 1, 2}) {
      const bool log = tone == 1;
      // The gradient colouring does not draw supersampled.
      if (supersample > 1 && tone == 2) continue;
      TRenderOptions whole = Render(folder / "whole.bmp", 250000);
      whole.paramsPath = Gallery(params);
      whole.saveCountsPath = folder / "whole.ovc";
      if (log) whole.tone = TRenderTone::Log;
      if (tone == 2) whole.colouring = TColouring::Gradient;
      // A supersampled document keeps its grid; the filter is the command line's, at resume as at the start.
      whole.supersample = supersample;
      whole.filterRadius = supersample > 1 ? 1 : 0;
      RenderParameterSet(whole);

      TRenderOptions first = whole;
      first.steps = 100001;
      first.outputPath = folder / "first.bmp";
      first.saveCountsPath = folder / "first.ovc";
      RenderParameterSet(first);

      TRenderOptions rest;
      rest.resumePath = folder / "first.ovc";
      rest.steps = 149999;
      rest.outputPath = folder / "resumed.bmp";
      rest.saveCountsPath = folder / "resumed.ovc";
      rest.filterRadius = whole.filterRadius;
      const TRenderSummary summary = RenderParameterSet(rest);
      SCOPED_TRACE(std::string(params) + (log ? " log" : tone == 2 ? " gradient" : "") + " supersampled " +
                   std::to_string(supersample));
      EXPECT_TRUE(summary.resumed);
      EXPECT_EQ(summary.steps, 149999);
      EXPECT_EQ(ReadBytes(folder / "resumed.bmp"), ReadBytes(folder / "whole.bmp"));
      EXPECT_EQ(ReadBytes(folder / "resumed.ovc"), ReadBytes(folder / "whole.ovc"));
      EXPECT_EQ(Load(folder / "resumed.ovc").mainSteps, 250000u);
      EXPECT_EQ(Load(folder / "resumed.ovc").supersample, static_cast<std::uint32_t>(supersample));
    }
  }
}

TEST(HitCountCommands, RetoningWithTheStoredSettingsGivesThePictureTheRenderWroteAndOptionsOverrideThem) {
  TempFolder folder;
  TRenderOptions render = Render(folder / "render.bmp", 80000);
  render.paramsPath = Gallery("ifs-crystal");
  render.saveCountsPath = folder / "render.ovc";
  render.white = true;
  render.tone = TRenderTone::Sqrt;
  render.red = 1.7;
  RenderParameterSet(render);

  TRenderOptions retone;
  retone.retonePath = folder / "render.ovc";
  retone.outputPath = folder / "again.bmp";
  const TRenderSummary summary = RetoneDocument(retone);
  EXPECT_EQ(summary.steps, 80000);
  EXPECT_EQ(ReadBytes(folder / "again.bmp"), ReadBytes(folder / "render.bmp"));

  retone.outputPath = folder / "log.bmp";
  retone.tone = TRenderTone::Log;
  retone.brightness = 3;
  RetoneDocument(retone);
  EXPECT_NE(ReadBytes(folder / "log.bmp"), ReadBytes(folder / "render.bmp"));
  // The same as a render drawn in that tone from the start.
  render.tone = TRenderTone::Log;
  render.brightness = 3;
  render.outputPath = folder / "log-render.bmp";
  render.saveCountsPath.reset();
  RenderParameterSet(render);
  EXPECT_EQ(ReadBytes(folder / "log.bmp"), ReadBytes(folder / "log-render.bmp"));
}

TEST(HitCountCommands, AGradientDocumentIsRecolouredWithAnotherGradientAsIfDrawnWithItFromTheStart) {
  TempFolder folder;
  TRenderOptions render = Render(folder / "render.bmp", 80000);
  render.paramsPath = Gallery("sine-ribbon");
  render.saveCountsPath = folder / "render.ovc";
  render.colouring = TColouring::Gradient;
  RenderParameterSet(render);

  TRenderOptions retone;
  retone.retonePath = folder / "render.ovc";
  retone.outputPath = folder / "again.bmp";
  RetoneDocument(retone);
  EXPECT_EQ(ReadBytes(folder / "again.bmp"), ReadBytes(folder / "render.bmp"));

  retone.outputPath = folder / "viridis.bmp";
  retone.gradient = "viridis";
  retone.gradientOffset = 0.3;
  retone.vibrancy = 0.5;
  RetoneDocument(retone);
  EXPECT_NE(ReadBytes(folder / "viridis.bmp"), ReadBytes(folder / "render.bmp"));
  render.gradient = "viridis";
  render.gradientOffset = 0.3;
  render.vibrancy = 0.5;
  render.outputPath = folder / "viridis-render.bmp";
  render.saveCountsPath.reset();
  RenderParameterSet(render);
  EXPECT_EQ(ReadBytes(folder / "viridis.bmp"), ReadBytes(folder / "viridis-render.bmp"));

  // A document of the defined colouring holds no colour coordinates to paint a gradient from.
  TRenderOptions defined = Render(folder / "defined.ovc", 20000);
  defined.paramsPath = Gallery("sine-ribbon");
  RenderParameterSet(defined);
  TRenderOptions wrong;
  wrong.retonePath = folder / "defined.ovc";
  wrong.outputPath = folder / "wrong.bmp";
  wrong.colouring = TColouring::Gradient;
  EXPECT_EQ(Failure([&] { RetoneDocument(wrong); }),
            "the document holds no colour coordinates to paint a gradient from: it was drawn with the defined "
            "colouring (render it again with --colouring gradient)");
  EXPECT_FALSE(std::filesystem::exists(folder / "wrong.bmp"));
}

TEST(HitCountCommands, MergedDocumentsHoldTheSumOfTheirCountsAndRefuseAnotherParameterSet) {
  TempFolder folder;
  for (std::uint64_t seed : {1, 2, 3}) {
    TRenderOptions o = Render(folder / "part.bmp", 30000, seed);
    o.paramsPath = Gallery("ifs-crystal");
    o.saveCountsPath = folder / ("part" + std::to_string(seed) + ".ovc");
    RenderParameterSet(o);
  }
  TRenderOptions merge;
  merge.merge = true;
  merge.mergePaths = {folder / "part1.ovc", folder / "part2.ovc", folder / "part3.ovc"};
  merge.outputPath = folder / "sum.ovc";
  EXPECT_EQ(FormatRenderSummary(MergeDocuments(merge)), "merged 3 documents: 90000 steps");
  const THitCountDocument sum = Load(folder / "sum.ovc");
  const THitCountDocument parts[3] = {Load(folder / "part1.ovc"), Load(folder / "part2.ovc"),
                                      Load(folder / "part3.ovc")};
  for (int c = 0; c < 3; ++c)
    for (std::size_t k = 0; k < sum.counts[c].size(); ++k)
      ASSERT_EQ(sum.counts[c][k], parts[0].counts[c][k] + parts[1].counts[c][k] + parts[2].counts[c][k]);
  EXPECT_NE(parts[0].counts, parts[1].counts);

  // A picture straight from the merge; a sum that cannot be resumed says so.
  merge.outputPath = folder / "sum.png";
  MergeDocuments(merge);
  EXPECT_FALSE(ReadBytes(folder / "sum.png").empty());
  TRenderOptions resume;
  resume.resumePath = folder / "sum.ovc";
  resume.outputPath = folder / "more.png";
  EXPECT_EQ(Failure([&] { RenderParameterSet(resume); }),
            "cannot continue \"" + folder / "sum.ovc" + "\": The document was made by merging and holds no orbits to continue");

  TRenderOptions other = Render(folder / "other.bmp", 30000, 4);
  other.paramsPath = Gallery("martin-loops");
  other.saveCountsPath = folder / "other.ovc";
  RenderParameterSet(other);
  merge.mergePaths.push_back(folder / "other.ovc");
  EXPECT_EQ(Failure([&] { MergeDocuments(merge); }).rfind("Cannot merge: parameter line ", 0), 0u);
  TRenderOptions finer = Render(folder / "finer.bmp", 30000, 4);
  finer.paramsPath = Gallery("ifs-crystal");
  finer.supersample = 2;
  finer.saveCountsPath = folder / "finer.ovc";
  RenderParameterSet(finer);
  merge.mergePaths = {folder / "part1.ovc", folder / "finer.ovc"};
  EXPECT_EQ(Failure([&] { MergeDocuments(merge); }),
            "Cannot merge: document 2 was supersampled 2 times, document 1 1 times");
  std::ofstream(folder / "junk.ovc") << "junk";
  merge.mergePaths = {folder / "part1.ovc", folder / "junk.ovc"};
  EXPECT_EQ(Failure([&] { MergeDocuments(merge); }),
            "Cannot read hit-count document \"" + folder / "junk.ovc" + "\": This is not a hit-count document");
}

TEST(HitCountCommands, OptionsForDocumentsAreCheckedBeforeAnythingRuns) {
  const auto usage = [](const std::vector<std::string>& args) {
    return Failure([&] { ParseRenderArguments(args); });
  };
  EXPECT_EQ(usage({"--merge"}), "--merge needs the hit-count documents to add");
  EXPECT_EQ(usage({"--retone", "a.ovc", "b.ifs"}),
            "--retone paints a document; a parameter file cannot be given too: 'b.ifs'");
  EXPECT_EQ(usage({"--merge", "a.ovc", "--resume", "b.ovc"}), "--merge and --resume cannot be used together");
  EXPECT_EQ(usage({"--tone", "loud"}), "invalid value 'loud' for --tone: expected linear|log|sqrt");
  EXPECT_EQ(usage({"--brightness", "0"}), "invalid value '0' for --brightness: expected a number from 0.01 to 100");
  const TRenderOptions o = ParseRenderArguments({"--merge", "a.ovc", "b.ovc", "-o", "c.ovc", "--tone-gamma", "3"});
  EXPECT_EQ(o.mergePaths, (std::vector<std::string>{"a.ovc", "b.ovc"}));
  EXPECT_EQ(o.toneGamma, 3.0);
  TempFolder folder;
  TRenderOptions bad = Render(folder / "x.png", 10);
  bad.saveCountsPath = folder / "x.png";
  EXPECT_EQ(Failure([&] { RenderParameterSet(bad); }),
            "the hit-count document \"" + folder / "x.png" + "\" must end in .ovc");
  EXPECT_TRUE(folder.Names().empty());
}

// The real program under Ctrl+C: once it has its handler (seen in /proc, not guessed by a sleep), one SIGINT stops
// the render, which writes its picture and document and leaves with status 130.
TEST(HitCountCommands, CtrlCOnceWritesWhatWasDrawnAndExitsWith130) {
  TempFolder folder;
  const pid_t child = fork();
  if (child == 0) {
    if (chdir(folder.Path().c_str()) != 0) _exit(127);
    const int err = open(".stderr", O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (err < 0) _exit(127);
    dup2(err, STDERR_FILENO);
    execl(OVEL_RENDER_EXE, OVEL_RENDER_EXE, "--seconds", "600", "--seed", "9", "-o", "pic.png", "--save-counts",
          "pic.ovc", static_cast<char*>(nullptr));
    _exit(127);
  }
  // SigCgt in /proc/PID/status lists the signals the program catches; SIGINT is bit 2 of it.
  const auto catchesSigint = [&] {
    std::ifstream status("/proc/" + std::to_string(child) + "/status");
    std::string line;
    while (std::getline(status, line))
      if (line.rfind("SigCgt:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) & (1u << (SIGINT - 1))) != 0;
    return false;
  };
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!catchesSigint() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_TRUE(catchesSigint());
  kill(child, SIGINT);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  const std::string err = ReadBytes(folder / ".stderr");
  EXPECT_EQ(err.rfind("interrupted: rendered ", 0), 0u) << err;
  EXPECT_NE(err.find("; wrote pic.png and pic.ovc\n"), std::string::npos) << err;
  EXPECT_FALSE(ReadBytes(folder / "pic.png").empty());
  const THitCountDocument doc = Load(folder / "pic.ovc");
  EXPECT_EQ(doc.orbits.size(), 8u) << "the render's eight orbits, the default";
  EXPECT_EQ(doc.seed, 9u);
}

// The README's recipe for many machines, run on this one: GNU parallel runs four seeds two at a time, each writing a
// document, and one merge adds them. The merged counts must be the sum of the parts.
TEST(HitCountCommands, TheGnuParallelRecipeMergesFourSeedsIntoTheSumOfTheirCounts) {
  if (std::system("parallel --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "GNU parallel is not installed (scripts/setup installs it)";
  TempFolder folder;
  const std::string bin = std::filesystem::path(OVEL_RENDER_EXE).parent_path().string();
  // As in the README's "Rendering on many machines", with fewer steps and a merged document beside the picture.
  std::ofstream(folder / "recipe.sh") << "set -e\ncd '" << folder.Path() << "'\nPATH='" << bin << "':\"$PATH\"\n"
                                      << "seq 1 4 | parallel -j2 --will-cite ovel-ifs-render '" << Gallery("ifs-crystal")
                                      << "' --seed {} --steps 200000 -o part-{}.ovc --quiet\n"
                                      << "ovel-ifs-render --merge part-*.ovc -o crystal.png --quiet\n"
                                      << "ovel-ifs-render --merge part-*.ovc -o crystal.ovc --quiet\n";
  ASSERT_EQ(std::system(("bash '" + folder / "recipe.sh" + "'").c_str()), 0);
  const THitCountDocument sum = Load(folder / "crystal.ovc");
  EXPECT_EQ(sum.mainSteps, 800000u);
  std::vector<std::int64_t> expected(sum.counts[0].size() * 3, 0);
  for (int seed = 1; seed <= 4; ++seed) {
    const THitCountDocument part = Load(folder / ("part-" + std::to_string(seed) + ".ovc"));
    EXPECT_EQ(part.seed, static_cast<std::uint64_t>(seed));
    for (int c = 0; c < 3; ++c)
      for (std::size_t k = 0; k < part.counts[c].size(); ++k) expected[c * part.counts[c].size() + k] += part.counts[c][k];
  }
  for (int c = 0; c < 3; ++c)
    for (std::size_t k = 0; k < sum.counts[c].size(); ++k)
      ASSERT_EQ(sum.counts[c][k], expected[c * sum.counts[c].size() + k]) << "channel " << c << " cell " << k;
  EXPECT_FALSE(ReadBytes(folder / "crystal.png").empty());
}
